// xav-rvsim-host: RVSIM's window with requests, captions and the monitor
// preset, for screenshots of the window as the gateway fills it.
//   xav-rvsim-host PORT [--requests v1,v2,...] [--captions c1,c2,...]
//                       [--monitor] [--screenshot FILE --after MS]
//                       [--traffic-screenshot FILE]
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QWidget>

#include "rvsim_window.h"
#include "simulator.h"

namespace {

struct HostOptions {
  QString screenshot;
  QString trafficScreenshot;
  int afterMs = 3000;
};

// Applies the presets to the shown window; returns the screenshot settings.
HostOptions applyPresets(const QStringList& args, rvsim::Simulator& simulator, rvsim::RvsimWindow& window) {
  HostOptions o;
  for (qsizetype i = 2; i < args.size(); ++i) {
    const QString a = args[i];
    if (a == QStringLiteral("--monitor")) {
      window.findChild<QCheckBox*>(QStringLiteral("chkMonitor"))->setChecked(true);
      continue;
    }
    if (i + 1 >= args.size()) break;
    const QString value = args[++i];
    const QStringList values = value.split(QLatin1Char(','));
    if (a == QStringLiteral("--requests")) {
      for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) simulator.commitRequest(r + 1, values[r].toInt());
    } else if (a == QStringLiteral("--captions")) {
      for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) simulator.setCaption(r + 1, values[r]);
      simulator.CreateCaptionFile();
      simulator.OpenCaptions();
    } else if (a == QStringLiteral("--screenshot")) {
      o.screenshot = value;
    } else if (a == QStringLiteral("--traffic-screenshot")) {
      o.trafficScreenshot = value;
    } else if (a == QStringLiteral("--after")) {
      o.afterMs = value.toInt();
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RVSIM"));
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    fprintf(stderr, "usage: xav-rvsim-host PORT [--requests ..] [--captions ..] [--monitor] [--screenshot FILE --after MS] "
                    "[--traffic-screenshot FILE]\n");
    return 2;
  }
  rvsim::Simulator::Options options;
  options.port = static_cast<quint16>(args[1].toUInt());
  rvsim::Simulator simulator(options);
  rvsim::RvsimWindow window(simulator);
  QObject::connect(&window, &rvsim::RvsimWindow::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  window.show();
  const HostOptions o = applyPresets(args, simulator, window);
  if (!o.trafficScreenshot.isEmpty()) window.cmdTraffic_Click();
  if (!o.screenshot.isEmpty()) {
    QTimer::singleShot(o.afterMs, &window, [&] {
      window.showCounters();
      bool ok = window.grab().save(o.screenshot);
      if (!o.trafficScreenshot.isEmpty()) {
        auto* traffic = window.findChild<QWidget*>(QStringLiteral("frmTraffic"));
        ok = ok && traffic && traffic->grab().save(o.trafficScreenshot);
      }
      QCoreApplication::exit(ok ? 0 : 1);
    });
  }
  return app.exec();
}
