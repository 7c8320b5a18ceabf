// xav-rvsim-host: RVSIM's own window and server on a port of the caller's
// choosing, for the benchmark and the screenshot (the program itself always
// uses 502).
//   xav-rvsim-host PORT [--requests v1,v2,...] [--captions c1,c2,...]
//                       [--monitor] [--screenshot FILE --after MS]
#include <QApplication>
#include <QCheckBox>
#include <QTimer>

#include "form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RVSIM"));
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    fprintf(stderr, "usage: xav-rvsim-host PORT [--requests ..] [--captions ..] [--monitor] [--screenshot FILE --after MS]\n");
    return 2;
  }
  rvsim::Form1::Options options;
  options.port = static_cast<quint16>(args[1].toUInt());
  rvsim::Form1 form(options);
  QObject::connect(&form, &rvsim::Form1::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  form.show();
  QString screenshot;
  int afterMs = 3000;
  for (qsizetype i = 2; i < args.size(); ++i) {
    const QString a = args[i];
    if (a == QStringLiteral("--monitor")) {
      form.chkMonitor()->setChecked(true);
      continue;
    }
    if (i + 1 >= args.size()) break;
    const QString value = args[++i];
    const QStringList values = value.split(QLatin1Char(','));
    if (a == QStringLiteral("--requests")) {
      for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) form.reqReg(r + 1)->setText(values[r]);
    } else if (a == QStringLiteral("--captions")) {
      for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) form.capReg(r + 1)->setText(values[r]);
      form.CreateCaptionFile();
    } else if (a == QStringLiteral("--screenshot")) {
      screenshot = value;
    } else if (a == QStringLiteral("--after")) {
      afterMs = value.toInt();
    }
  }
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(afterMs, &form, [&] {
      const bool ok = form.grab().save(screenshot);
      QCoreApplication::exit(ok ? 0 : 1);
    });
  }
  return app.exec();
}
