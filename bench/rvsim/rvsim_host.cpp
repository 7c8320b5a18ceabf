// xav-rvsim-host: RVSIM's own window and server on a port of the caller's
// choosing, for the benchmark and the screenshot (the program itself always
// uses 502).
//   xav-rvsim-host PORT [--requests v1,v2,...] [--captions c1,c2,...]
//                       [--monitor] [--screenshot FILE --after MS]
#include <QApplication>
#include <QCheckBox>
#include <QTimer>

#include "app_info.h"
#include "form1.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-rvsim-host"),
                       QStringLiteral("RVSIM's window and server on a port of the caller's choosing."));
  parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("Port to listen on."));
  parser.addOption({QStringLiteral("requests"), QStringLiteral("Requests typed into the rows."), QStringLiteral("v1,v2,...")});
  parser.addOption({QStringLiteral("captions"), QStringLiteral("Captions of the rows (saved)."), QStringLiteral("c1,c2,...")});
  parser.addOption({QStringLiteral("monitor"), QStringLiteral("Turn the monitor on.")});
  parser.addOption({QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window and end."), QStringLiteral("FILE")});
  parser.addOption({QStringLiteral("after"), QStringLiteral("Milliseconds before the picture (default 3000)."), QStringLiteral("MS")});
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  // The window is RVSIM's, under RVSIM's name.
  QApplication::setApplicationName(QStringLiteral("RVSIM"));
  if (parser.positionalArguments().size() != 1) return xav::commandLineError(QStringLiteral("give the PORT"));
  rvsim::Form1::Options options;
  options.port = static_cast<quint16>(parser.positionalArguments().first().toUInt());
  rvsim::Form1 form(options);
  QObject::connect(&form, &rvsim::Form1::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  form.show();
  if (parser.isSet(QStringLiteral("monitor"))) form.chkMonitor()->setChecked(true);
  if (parser.isSet(QStringLiteral("requests"))) {
    const QStringList values = parser.value(QStringLiteral("requests")).split(QLatin1Char(','));
    for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) form.reqReg(r + 1)->setText(values[r]);
  }
  if (parser.isSet(QStringLiteral("captions"))) {
    const QStringList values = parser.value(QStringLiteral("captions")).split(QLatin1Char(','));
    for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) form.capReg(r + 1)->setText(values[r]);
    form.CreateCaptionFile();
  }
  const QString screenshot = parser.value(QStringLiteral("screenshot"));
  const int afterMs = parser.isSet(QStringLiteral("after")) ? parser.value(QStringLiteral("after")).toInt() : 3000;
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(afterMs, &form, [&] {
      const bool ok = form.grab().save(screenshot);
      QCoreApplication::exit(ok ? 0 : 1);
    });
  }
  return app.exec();
}
