// xav-rvsim-host: RVSIM's window with requests, captions and the monitor
// preset, for screenshots of the window as the gateway fills it.
//   xav-rvsim-host PORT [--requests v1,v2,...] [--captions c1,c2,...]
//                       [--monitor] [--screenshot FILE --after MS]
//                       [--traffic-screenshot FILE]
#include <QApplication>
#include <QCommandLineParser>
#include <QCheckBox>
#include <QTimer>
#include <QWidget>

#include "app_info.h"
#include "rvsim_window.h"
#include "simulator.h"

namespace {

struct HostOptions {
  QString screenshot;
  QString trafficScreenshot;
  int afterMs = 3000;
};

void describeOptions(QCommandLineParser& parser) {
  xav::describeProgram(parser, QStringLiteral("xav-rvsim-host"),
                       QStringLiteral("RVSIM's window with requests, captions and the monitor preset, for\n"
                                      "screenshots of the window as the gateway fills it."));
  parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("Port to listen on."));
  parser.addOptions({
      {QStringLiteral("requests"), QStringLiteral("Requests committed in the rows."), QStringLiteral("v1,v2,...")},
      {QStringLiteral("captions"), QStringLiteral("Captions of the rows (saved)."), QStringLiteral("c1,c2,...")},
      {QStringLiteral("monitor"), QStringLiteral("Turn the monitor on.")},
      {QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window and end."), QStringLiteral("FILE")},
      {QStringLiteral("traffic-screenshot"), QStringLiteral("Open the Traffic window and save its picture too."),
       QStringLiteral("FILE")},
      {QStringLiteral("after"), QStringLiteral("Milliseconds before the pictures (default 3000)."), QStringLiteral("MS")},
  });
}

// Applies the presets to the shown window; returns the screenshot settings.
HostOptions applyPresets(const QCommandLineParser& parser, rvsim::Simulator& simulator, rvsim::RvsimWindow& window) {
  HostOptions o;
  if (parser.isSet(QStringLiteral("monitor"))) window.findChild<QCheckBox*>(QStringLiteral("chkMonitor"))->setChecked(true);
  if (parser.isSet(QStringLiteral("requests"))) {
    const QStringList values = parser.value(QStringLiteral("requests")).split(QLatin1Char(','));
    for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) simulator.commitRequest(r + 1, values[r].toInt());
  }
  if (parser.isSet(QStringLiteral("captions"))) {
    const QStringList values = parser.value(QStringLiteral("captions")).split(QLatin1Char(','));
    for (int r = 0; r < values.size() && r < rvsim::kRows; ++r) simulator.setCaption(r + 1, values[r]);
    simulator.CreateCaptionFile();
    simulator.OpenCaptions();
  }
  o.screenshot = parser.value(QStringLiteral("screenshot"));
  o.trafficScreenshot = parser.value(QStringLiteral("traffic-screenshot"));
  if (parser.isSet(QStringLiteral("after"))) o.afterMs = parser.value(QStringLiteral("after")).toInt();
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  QCommandLineParser parser;
  describeOptions(parser);
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  // The window is RVSIM's, under RVSIM's name.
  QApplication::setApplicationName(QStringLiteral("RVSIM"));
  if (parser.positionalArguments().size() != 1) return xav::commandLineError(QStringLiteral("give the PORT"));
  rvsim::Simulator::Options options;
  options.port = static_cast<quint16>(parser.positionalArguments().first().toUInt());
  rvsim::Simulator simulator(options);
  rvsim::RvsimWindow window(simulator);
  QObject::connect(&window, &rvsim::RvsimWindow::programEnd, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  window.show();
  const HostOptions o = applyPresets(parser, simulator, window);
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
