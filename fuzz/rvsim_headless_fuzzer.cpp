// RVSIM's headless command input, any bytes: read from a pipe by the line
// reader, as standard input is, and answered by a session over a simulator
// that does not listen. Every line that goes out must be one JSON object.
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <unistd.h>

#include "console_io.h"
#include "fuzz_support.h"
#include "headless.h"
#include "simulator.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The whole input must fit the pipe, so that it is written before it is read.
  if (size > 60000) return 0;
  int fds[2];
  FUZZ_REQUIRE(::pipe(fds) == 0);
  for (size_t at = 0; at < size;) {
    const ssize_t n = ::write(fds[1], data + at, size - at);
    FUZZ_REQUIRE(n > 0);
    at += static_cast<size_t>(n);
  }
  ::close(fds[1]);

  bool ended = false;
  int lines = 0;
  {
    // One simulator for the run (making one per input would cost most of
    // the time); each input gets a session of its own.
    static rvsim::Simulator& simulator = *new rvsim::Simulator(rvsim::Simulator::Options{0});
    rvsim::HeadlessSession session(simulator, [&lines](QByteArrayView line, bool) {
      QJsonParseError error;
      const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
      FUZZ_REQUIRE(error.error == QJsonParseError::NoError && doc.isObject());
      FUZZ_REQUIRE(!line.contains('\n'));
      ++lines;
    });
    rvsim::LineReader reader(fds[0]);
    QObject::connect(&reader, &rvsim::LineReader::lineRead, &session, &rvsim::HeadlessSession::handleCommand);
    QObject::connect(&reader, &rvsim::LineReader::finished, [&ended] { ended = true; });
    // Each turn reads up to 4 KiB; the bound only stops a reader that never ends.
    for (int turn = 0; !ended && turn < 1000; ++turn) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  }
  ::close(fds[0]);
  FUZZ_REQUIRE(ended);
  (void)lines;
  return 0;
}
