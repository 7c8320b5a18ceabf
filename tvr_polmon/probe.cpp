// Built against the poll engine's core alone: the sweep, the framing and the
// statistics run without any display library.
#include <QCoreApplication>

#include "drive_statistics.h"
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
  const QByteArray csv = polmon::statisticsCsv(engine.statisticsTable(), QDateTime::currentDateTime(), 0);
  const bool ok = engine.polling() && engine.errorCount() == 0 && csv.count("\r\n") == 22 &&
                  polmon::printableBytes("P1\r") == "P1<0D>" && polmon::decodeStatus("P7\r", QStringLiteral("A"));
  return ok ? 0 : 1;
}
