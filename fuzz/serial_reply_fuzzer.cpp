// The serial module's reply to a query, any bytes: its columns as the
// window reads them, and the record that saving those values again builds.
#include "fuzz_support.h"
#include "serial_record.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray reply = xav::fuzz::bytes(data, size);
  const xavcfg::ModuleReply r = xavcfg::readReply(reply);
  FUZZ_REQUIRE(r.mode >= 0 && r.mode <= 9);
  FUZZ_REQUIRE(r.baseRegister >= 0 && r.baseRegister <= 99999);
  FUZZ_REQUIRE(r.slaveAddress >= 0 && r.slaveAddress <= 99);
  FUZZ_REQUIRE(r.fileNumber >= 0 && r.fileNumber <= 999);
  FUZZ_REQUIRE(r.slaveRange >= 0 && r.slaveRange <= 9);
  // Any column, any width, also past the reply's end.
  if (size > 0) (void)xavcfg::replyField(reply, data[0] % 60, data[size - 1] % 12);

  if (!xavcfg::isKnownMode(r.mode)) return 0;
  xavcfg::SerialEntries e;
  e.mode = r.mode;
  e.baseReg = e.baseRegDF1 = QString::number(r.baseRegister);
  e.slave = e.slaveDF1 = QString::number(r.slaveAddress);
  e.fileNo = QString::number(r.fileNumber);
  if (xavcfg::isKnownSlaveRange(r.slaveRange)) e.slaveMode = QString::number(r.slaveRange);
  const xavcfg::RecordResult built = xavcfg::buildSerialRecord(e);
  // What the module said always fits the record it is saved back into;
  // only a DF1 file number the box refuses stops the save.
  if (r.mode == 5 && !xavcfg::isAcceptedDf1FileNumber(e.fileNo)) {
    FUZZ_REQUIRE(!built.ok && built.box == QStringLiteral("txtFileNo"));
    return 0;
  }
  FUZZ_REQUIRE(built.ok && built.record.size() == xavcfg::kRecordLength && built.record.startsWith('@'));
  const xavcfg::ModuleReply back = xavcfg::readReply(built.record.mid(1));
  FUZZ_REQUIRE(back.mode == r.mode);
  if (r.mode == 4 || r.mode == 5) FUZZ_REQUIRE(back.baseRegister == r.baseRegister && back.slaveAddress == r.slaveAddress);
  if (r.mode == 5) FUZZ_REQUIRE(back.fileNumber == r.fileNumber);
  if (r.mode == 3 && !e.slaveMode.isEmpty()) FUZZ_REQUIRE(back.slaveRange == r.slaveRange);
  return 0;
}
