#include "serial_verify.h"

#include "serial_record.h"
#include "serial_routines.h"

namespace xavcfg {

namespace {

struct Column {
  const char* field;
  int replyColumn;
  int width;
};

QString slaveRangeText(int index) {
  static const char* const ranges[] = {"None", "12-22", "23-33", "34-44", "45-55", "56-66"};
  return isKnownSlaveRange(index) ? QString::fromLatin1(ranges[index]) : QString::number(index);
}

}  // namespace

QString SerialVerifyResult::message(const QString& portText) const {
  switch (kind) {
    case Kind::Holds: return QStringLiteral("Module holds the record sent");
    case Kind::Differs:
      return QStringLiteral("The module does not hold the record sent: %1 sent %2, module holds %3.").arg(field, sent, held);
    case Kind::NoAnswer:
      return QStringLiteral("The XAV Module on %1 did not answer. Press the BLACK button on the XAV until a dash (-) "
                            "appears on the XAV display, then Verify again.")
          .arg(portText);
    case Kind::Cancelled: return QStringLiteral("Verify cancelled.");
  }
  return {};
}

SerialVerifyResult compareReplyWithRecord(const QByteArray& recordIn, const QByteArray& reply) {
  QByteArray record = recordIn;
  if (record.endsWith('\r')) record.chop(1);
  SerialVerifyResult r;
  r.reply = reply;
  // Both sides read as Connect reads a reply; the record is one column on.
  auto differs = [&](const char* field, int column, int width, bool range = false) {
    const int sent = replyField(record, column + 1, width);
    const int held = replyField(reply, column, width);
    if (sent == held) return false;
    r.kind = SerialVerifyResult::Kind::Differs;
    r.field = QString::fromLatin1(field);
    r.sent = range ? slaveRangeText(sent) : QString::number(sent);
    r.held = range ? slaveRangeText(held) : QString::number(held);
    return true;
  };
  if (differs("Mode", 1, 1)) return r;
  static const Column modbus[] = {{"Base register", 2, 5}, {"PLC Slave Address", 7, 2}};
  static const Column df1[] = {{"Base Register", 2, 5}, {"PLC Address", 7, 2}, {"File Number", 14, 3}};
  switch (replyField(record, 2, 1)) {
    case 3:
      if (differs("Slave range", 43, 1, true)) return r;
      break;
    case 4:
      for (const Column& c : modbus)
        if (differs(c.field, c.replyColumn, c.width)) return r;
      break;
    case 5:
      for (const Column& c : df1)
        if (differs(c.field, c.replyColumn, c.width)) return r;
      break;
    default:
      break;
  }
  r.kind = SerialVerifyResult::Kind::Holds;
  return r;
}

SerialVerifier::SerialVerifier(SerialRoutines& routines, QObject* parent) : QObject(parent), routines_(routines) {
  connect(&routines_, &SerialRoutines::queryFinished, this, &SerialVerifier::onQueryFinished);
}

bool SerialVerifier::start(const QByteArray& record) {
  QByteArray r = record;
  if (r.endsWith('\r')) r.chop(1);
  if (active_ || routines_.busy() || !routines_.portOpen() || r.size() != kRecordLength || !r.startsWith('@'))
    return false;
  record_ = r;
  active_ = true;
  routines_.QueryModule();
  return true;
}

void SerialVerifier::cancel() {
  if (!active_) return;
  routines_.cancel();
  active_ = false;
  SerialVerifyResult r;
  r.kind = SerialVerifyResult::Kind::Cancelled;
  emit finished(r);
}

void SerialVerifier::onQueryFinished(bool replied) {
  if (!active_) return;  // a Connect's exchange
  active_ = false;
  SerialVerifyResult r;
  if (replied) {
    r = compareReplyWithRecord(record_, routines_.ModuleRecord);
  } else {
    r.reply = routines_.ModuleRecord;
  }
  emit finished(r);
}

}  // namespace xavcfg
