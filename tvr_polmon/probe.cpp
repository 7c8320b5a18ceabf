// Built against the poll engine's core alone: the sweep and the poll cycle
// run without any display library.
#include <QCoreApplication>

#include "poll_engine.h"
#include "polmon_log.h"

namespace {
// A port that never opens: the scan runs without traffic.
class NoPort final : public xav::SerialLink {
 public:
  bool open(int) override { return false; }
  void close() override {}
  bool isOpen() const override { return false; }
  qint64 bytesWaiting() override { return 0; }
  void discardInput() override {}
  void write(const QByteArray&) override {}
  QByteArray readAll() override { return {}; }
};
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  NoPort port;
  polmon::PollEngine engine(&port);
  engine.setLogPath(QString());
  engine.startScan(QStringLiteral("COM 1"));
  const bool ok = engine.polling() && engine.errorCount() == 0 &&
                  polmon::decodeStatus("P7\r", QStringLiteral("A")).has_value();
  return ok ? 0 : 1;
}
