// RVSIM: plays the PLC of a Modbus/TCP installation on a bench. It takes the
// gateway's connection (TCP port 502 unless told otherwise) and serves the
// register image, in its window or headless for test rigs.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

#include "app_info.h"
#include "command_line.h"
#include "headless_run.h"
#include "message_boxes.h"
#include "rvsim_window.h"
#include "simulator.h"

namespace {

int runWindow(const rvsim::RunOptions& options) {
  xav::installMessageBoxes();
  rvsim::Simulator::Options o;
  o.port = options.port;
  o.idleTimeoutMs = options.idleTimeoutMs;
  rvsim::Simulator simulator(o);
  rvsim::RvsimWindow window(simulator);
  // Queued: an end asked for during start-up takes effect once the loop runs.
  QObject::connect(&window, &rvsim::RvsimWindow::programEnd, &window,
                   [](int code) { QCoreApplication::exit(code); }, Qt::QueuedConnection);
  window.show();
  if (options.openTraffic) window.cmdTraffic_Click();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Qt's own options (-style, -platform ...) are the application's, not
  // mistakes; headless runs, answers to --help and mistakes need no display.
  const QStringList arguments = xav::withoutQtOptions(xav::argumentsOf(argc, argv));
  std::unique_ptr<QCoreApplication> app;
  if (rvsim::needsNoDisplay(arguments)) {
    // Qt's own event loop serves the headless mode with fewer locks and
    // calls per frame than the desktop's (glib) loop the window needs.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  QCommandLineParser parser;
  rvsim::addRunOptions(parser);
  // A core application leaves Qt's options in place; they are not ours to refuse.
  if (const auto end = xav::parseCommandLine(parser, xav::withoutQtOptions(app->arguments()))) return *end;
  rvsim::RunOptions options;
  QString error;
  if (!rvsim::readRunOptions(parser, &options, &error)) {
    std::fprintf(stderr, "RVSIM: %s\n", qPrintable(error));
    return 2;
  }
  return options.headless ? rvsim::runHeadless(options) : runWindow(options);
}
