// Links against the simulator core alone and uses it: a read frame answered
// from the register image, a request committed, the headless answer to
// "get". Proof that the simulator needs no display libraries.
#include <QCoreApplication>

#include "headless.h"
#include "simulator.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  rvsim::Simulator::Options options;
  options.port = 0;
  rvsim::Simulator simulator(options);
  simulator.commitRequest(2, 77);
  QByteArray answer;
  rvsim::HeadlessSession session(simulator, [&answer](QByteArrayView line, bool) { answer = line.toByteArray(); });
  session.handleCommand(QStringLiteral("get"));
  rvsim::RegisterImage image = simulator.image();
  const QByteArray read("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
  const rvsim::FrameOutcome out = rvsim::handleFrame(read, image, false, {});
  const bool ok = out.reply.size() == rvsim::kReadReplySize && static_cast<quint8>(out.reply[12]) == 77 &&
                  answer.contains("\"requests\":[0,77,");
  return ok ? 0 : 1;
}
