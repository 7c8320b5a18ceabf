// Runs XAV_Cfg's core without a display: builds a serial record, reads a
// module's reply and picks the modules out of an address table.
#include "discovery.h"
#include "serial_record.h"

int main() {
  xavcfg::SerialEntries entries;
  entries.mode = 4;
  entries.baseReg = QStringLiteral("40001");
  entries.slave = QStringLiteral("1");
  const xavcfg::RecordResult record = xavcfg::buildSerialRecord(entries);
  const xavcfg::ModuleReply reply = xavcfg::readReply(record.record.mid(1));
  const QStringList modules = xavcfg::modulesInAddressTable(
      QStringLiteral("\r\nInterface\r\n  heading\r\n  127.0.0.21  00-50-4e-00-00-01  dynamic\r\n"));
  const bool ok = record.ok && record.record.size() == xavcfg::kRecordLength && reply.mode == 4 &&
                  reply.baseRegister == 40001 && modules == QStringList{QStringLiteral("127.0.0.21")};
  return ok ? 0 : 1;
}
