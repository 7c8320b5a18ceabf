#include "headless_run.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "command_line.h"
#include "console_io.h"
#include "headless.h"
#include "simulator.h"

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace rvsim {

namespace {

#ifndef Q_OS_WIN
int signalPipe[2] = {-1, -1};

// A signal only writes a byte; the loop ends the program in its own time,
// so the output is flushed and the port given up in order.
void quitOnSignals(QObject* context) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [] { QCoreApplication::exit(0); });
  struct sigaction action {};
  action.sa_handler = [](int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
  };
  sigemptyset(&action.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
  // A reader of the output that went away is an error to note, not a signal that ends the program.
  std::signal(SIGPIPE, SIG_IGN);
}
#else
void quitOnSignals(QObject*) {}
#endif

}  // namespace

int runHeadless(const RunOptions& options) {
  QObject context;
  quitOnSignals(&context);
  Simulator::Options o;
  o.port = options.port;
  o.idleTimeoutMs = options.idleTimeoutMs;
  Simulator simulator(o);
  LineWriter output(1);
  HeadlessSession session(simulator, [&output](QByteArrayView line, bool urgent) { output.write(line, urgent); });
  session.setOutputDropCount([&output] { return output.droppedLines(); });
  QString error;
  if (!simulator.start(&error)) {
    session.reportFailure(error);
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  // Listening first: trouble with the captions file never holds up the gateway.
  session.announceListening();
  simulator.OpenCaptions();
  LineReader input(0);
  QObject::connect(&input, &LineReader::lineRead, &session, &HeadlessSession::handleCommand);
  QObject::connect(&input, &LineReader::lineTooLong, &session,
                   [&session](const QByteArray& head) { session.reportLineTooLong(head); });
  QObject::connect(&input, &LineReader::finished, &context, [] { QCoreApplication::exit(0); });
  QObject::connect(&session, &HeadlessSession::quitRequested, &context, [] { QCoreApplication::exit(0); });
  const int code = QCoreApplication::exec();
  simulator.stop();
  output.flushAll(2000);
  return code;
}

}  // namespace rvsim
