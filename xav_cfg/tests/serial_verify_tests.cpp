// Comparing the module's reply with the record sent: the columns Connect
// reads, one column apart, only those the sent mode carries.
#include <gtest/gtest.h>

#include "serial_record.h"
#include "serial_verify.h"

namespace {

using xavcfg::SerialVerifyResult;
using Kind = SerialVerifyResult::Kind;

QByteArray record(const char* head, int slaveRangeColumn44 = -1) {
  QByteArray r = QByteArray(head).leftJustified(xavcfg::kRecordLength, ' ');
  if (slaveRangeColumn44 >= 0) r[43] = char('0' + slaveRangeColumn44);
  return r;
}

// A reply as the module sends it: the record less its "@", plus whatever
// the module adds after column 44.
QByteArray replyTo(const QByteArray& rec) { return rec.mid(1) + "xyz"; }

TEST(SerialVerify, ComparesTheColumnsTheSentModeCarries) {
  const struct {
    QByteArray sent;
    QByteArray reply;
    Kind kind;
    const char* field;
    const char* sentValue;
    const char* heldValue;
  } rows[] = {
      {record("@4400010109600"), replyTo(record("@4400010109600")), Kind::Holds, "", "", ""},
      {record("@4400010109600"), replyTo(record("@4400250109600")), Kind::Differs, "Base register", "40001", "40025"},
      {record("@4400010109600"), replyTo(record("@4400010709600")), Kind::Differs, "PLC Slave Address", "1", "7"},
      {record("@4400010109600"), replyTo(record("@1000000000000")), Kind::Differs, "Mode", "4", "1"},
      {record("@5000000109600012"), replyTo(record("@5000000109600013")), Kind::Differs, "File Number", "12", "13"},
      {record("@5002160209600012"), replyTo(record("@5002160109600012")), Kind::Differs, "PLC Address", "2", "1"},
      {record("@3000000000000", 2), replyTo(record("@3000000000000", 2)), Kind::Holds, "", "", ""},
      {record("@3000000000000", 2), replyTo(record("@3000000000000", 0)), Kind::Differs, "Slave range", "23-33", "None"},
      // A reply too short for column 43 reads "None", as Connect reads it.
      {record("@3000000000000", 2), record("@3000000000000").mid(1, 30), Kind::Differs, "Slave range", "23-33", "None"},
      {record("@3000000000000", 0), record("@3000000000000").mid(1, 30), Kind::Holds, "", "", ""},
      // Modes without fields: whatever else the module reports is not compared.
      {record("@1000000000000"), replyTo(record("@1400250709600", 5)), Kind::Holds, "", "", ""},
      // The CR that ended the record on the line is no part of it.
      {record("@6000000000000") + '\r', replyTo(record("@6000000000000")), Kind::Holds, "", "", ""},
  };
  for (const auto& row : rows) {
    const SerialVerifyResult r = xavcfg::compareReplyWithRecord(row.sent, row.reply);
    SCOPED_TRACE(row.sent.constData());
    EXPECT_EQ(r.kind, row.kind);
    EXPECT_EQ(r.field, QString::fromLatin1(row.field));
    EXPECT_EQ(r.sent, QString::fromLatin1(row.sentValue));
    EXPECT_EQ(r.held, QString::fromLatin1(row.heldValue));
  }
}

TEST(SerialVerify, MessagesNameTheFieldOrTheBlackButton) {
  SerialVerifyResult r = xavcfg::compareReplyWithRecord(record("@4400010109600"), replyTo(record("@4400250109600")));
  EXPECT_EQ(r.message(QStringLiteral("COM 5")),
            QStringLiteral("The module does not hold the record sent: Base register sent 40001, module holds 40025."));
  r.kind = Kind::Holds;
  EXPECT_EQ(r.message(QStringLiteral("COM 5")), QStringLiteral("Module holds the record sent"));
  r.kind = Kind::NoAnswer;
  EXPECT_TRUE(r.message(QStringLiteral("COM 5")).contains(QStringLiteral("COM 5")));
  EXPECT_TRUE(r.message(QStringLiteral("COM 5")).contains(QStringLiteral("BLACK button")));
}

}  // namespace
