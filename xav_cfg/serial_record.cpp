#include "serial_record.h"

#include "numbers.h"

namespace xavcfg {

int replyField(const QByteArray& reply, int column, int width) {
  long long value = 0;
  bool inDigits = false;
  for (int i = column - 1; i < column - 1 + width && i < reply.size(); ++i) {
    const char c = reply.at(i);
    if (c == ' ' || c == '\t') continue;  // blanks are skipped
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    inDigits = true;
  }
  return inDigits ? static_cast<int>(value) : 0;
}

ModuleReply readReply(const QByteArray& reply) {
  ModuleReply r;
  r.mode = replyField(reply, 1, 1);
  r.baseRegister = replyField(reply, 2, 5);
  r.slaveAddress = replyField(reply, 7, 2);
  r.fileNumber = replyField(reply, 14, 3);
  r.slaveRange = replyField(reply, 43, 1);
  return r;
}

namespace {

struct NumberField {
  const QString* text;
  int width;
  const char* box;    // objectName
  const char* label;  // what the window calls it
};

long long columnMaximum(int width) {
  long long m = 1;
  for (int i = 0; i < width; ++i) m *= 10;
  return m - 1;
}

// Appends the field zero-padded to its width; false when it does not fit.
bool appendField(QByteArray& record, const NumberField& f, RecordResult& result) {
  const long long v = xav::leadingInteger(*f.text);
  if (v < 0 || v > columnMaximum(f.width)) {
    result.box = QString::fromLatin1(f.box);
    result.message = QStringLiteral("\"%1\" must be a whole number from 0 to %2 to fit the configuration record.")
                         .arg(QString::fromLatin1(f.label))
                         .arg(columnMaximum(f.width)) +
                     QStringLiteral("\r\n\r\nCorrect it and save again. Nothing was sent to the XAV module.");
    return false;
  }
  record += xav::zeroPadded(v, f.width).toLatin1();
  return true;
}

}  // namespace

bool isAcceptedDf1FileNumber(const QString& text) {
  const long long v = xav::leadingInteger(text);
  return v >= 7 && v <= 256 && v != 8;
}

RecordResult buildSerialRecord(const SerialEntries& e) {
  RecordResult result;
  if (!isKnownMode(e.mode)) {
    result.message = QStringLiteral(
        "No serial mode is selected.\r\n\r\nSelect the mode of the XAV module and save again. "
        "Nothing was sent to the XAV module.");
    return result;
  }
  QByteArray record("@");
  record += char('0' + e.mode);
  switch (e.mode) {
    case 4:
      if (!appendField(record, {&e.baseReg, 5, "txtBaseReg", "Base register"}, result) ||
          !appendField(record, {&e.slave, 2, "txtSlave", "PLC Slave Address"}, result))
        return result;
      record += "09600";
      break;
    case 5:
      if (!appendField(record, {&e.baseRegDF1, 5, "txtBaseRegDF1", "Base Register"}, result) ||
          !appendField(record, {&e.slaveDF1, 2, "txtSlaveDF1", "PLC Address"}, result))
        return result;
      record += "09600";
      // The box resets a refused number to 0; that must not reach the module.
      if (!isAcceptedDf1FileNumber(e.fileNo)) {
        result.box = QStringLiteral("txtFileNo");
        result.message = QStringLiteral(
            "\"File Number\" must be a whole number from 7 to 256, but not 8.\r\n\r\n"
            "Correct it and save again. Nothing was sent to the XAV module.");
        return result;
      }
      if (!appendField(record, {&e.fileNo, 3, "txtFileNo", "File Number"}, result)) return result;
      break;
    default:  // 1, 2, 3, 6 carry no numbers
      record += "00000" "00" "00000";
      break;
  }
  record = record.leftJustified(kRecordLength, ' ');
  if (e.mode == 3 && !e.slaveMode.isEmpty()) record[43] = e.slaveMode.at(0).toLatin1();
  result.ok = true;
  result.record = record;
  return result;
}

}  // namespace xavcfg
