#include <gtest/gtest.h>

#include "entry_rules.h"
#include "serial_record.h"

using namespace xavcfg;

namespace {
SerialEntries defaults(int mode) {
  SerialEntries e;
  e.mode = mode;
  e.baseReg = QStringLiteral("40001");
  e.slave = QStringLiteral("1");
  e.baseRegDF1 = QStringLiteral("0");
  e.slaveDF1 = QStringLiteral("1");
  e.fileNo = QStringLiteral("12");
  e.slaveMode = QStringLiteral("0");
  return e;
}
QByteArray blanks(int n) { return QByteArray(n, ' '); }
}  // namespace

TEST(SerialRecord, DefaultEntriesGiveTheRecordOfEachMode) {
  EXPECT_EQ(buildSerialRecord(defaults(1)).record, "@1" "00000" "00" "00000" + blanks(31));
  EXPECT_EQ(buildSerialRecord(defaults(2)).record, "@2" "00000" "00" "00000" + blanks(31));
  SerialEntries three = defaults(3);
  three.slaveMode = QStringLiteral("2");
  EXPECT_EQ(buildSerialRecord(three).record, "@3" "00000" "00" "00000" + blanks(29) + "2 ");
  EXPECT_EQ(buildSerialRecord(defaults(4)).record, "@4" "40001" "01" "09600" + blanks(31));
  EXPECT_EQ(buildSerialRecord(defaults(5)).record, "@5" "00000" "01" "09600" "012" + blanks(28));
  EXPECT_EQ(buildSerialRecord(defaults(6)).record, "@6" "00000" "00" "00000" + blanks(31));
  for (int m = 1; m <= 6; ++m) EXPECT_EQ(buildSerialRecord(defaults(m)).record.size(), kRecordLength) << m;
}

TEST(SerialRecord, NumbersAreReadLeadingRoundedAndPadded) {
  SerialEntries e = defaults(4);
  e.baseReg = QString();  // empty box sends zeros
  e.slave = QStringLiteral(" 7 slaves");
  EXPECT_EQ(buildSerialRecord(e).record.mid(2, 7), "0000007");
  e.baseReg = QStringLiteral("2.5");  // halves away from zero
  e.slave = QStringLiteral("1.49");
  EXPECT_EQ(buildSerialRecord(e).record.mid(2, 7), "0000301");
  SerialEntries d = defaults(5);
  d.baseRegDF1 = QStringLiteral("216");
  d.slaveDF1 = QStringLiteral("99");
  d.fileNo = QStringLiteral("256");
  EXPECT_EQ(buildSerialRecord(d).record.left(17), "@50021699" "09600" "256");
  // The mode 3 range goes into column 44 only; none selected leaves it blank.
  SerialEntries s = defaults(3);
  s.slaveMode = QStringLiteral("5");
  EXPECT_EQ(buildSerialRecord(s).record.at(43), '5');
  s.slaveMode.clear();
  EXPECT_EQ(buildSerialRecord(s).record.at(43), ' ');
  // Mode 4's own range box has nothing to do with column 44.
  SerialEntries four = defaults(4);
  four.slaveMode = QStringLiteral("3");
  EXPECT_EQ(buildSerialRecord(four).record.at(43), ' ');
}

TEST(SerialRecord, ValuesThatDoNotFitTheirColumnAreRefusedNamingTheBox) {
  struct Case {
    int mode;
    QString SerialEntries::*field;
    const char* text;
    const char* box;
    const char* label;
  } cases[] = {
      {4, &SerialEntries::baseReg, "100000", "txtBaseReg", "Base register"},
      {4, &SerialEntries::baseReg, "-1", "txtBaseReg", "Base register"},
      {4, &SerialEntries::slave, "100", "txtSlave", "PLC Slave Address"},
      {5, &SerialEntries::baseRegDF1, "123456", "txtBaseRegDF1", "Base Register"},
      {5, &SerialEntries::slaveDF1, "-3", "txtSlaveDF1", "PLC Address"},
      {5, &SerialEntries::fileNo, "1000", "txtFileNo", "File Number"},
      {5, &SerialEntries::fileNo, "0", "txtFileNo", "File Number"},
      {5, &SerialEntries::fileNo, "8", "txtFileNo", "File Number"},
      {5, &SerialEntries::slaveDF1, "99.5", "txtSlaveDF1", "PLC Address"},  // rounds to 100
  };
  for (const Case& c : cases) {
    SerialEntries e = defaults(c.mode);
    e.*c.field = QString::fromLatin1(c.text);
    const RecordResult r = buildSerialRecord(e);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_TRUE(r.record.isEmpty()) << c.text;
    EXPECT_EQ(r.box, QLatin1String(c.box)) << c.text;
    EXPECT_TRUE(r.message.contains(QLatin1String(c.label))) << qPrintable(r.message);
  }
  // Modes without numbers ignore the number boxes whatever they hold.
  SerialEntries one = defaults(1);
  one.baseReg = QStringLiteral("9999999");
  EXPECT_TRUE(buildSerialRecord(one).ok);
}

TEST(SerialRecord, NoModeMeansNothingToSend) {
  for (int m : {0, 7, 8, -1}) {
    const RecordResult r = buildSerialRecord(defaults(m));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.record.isEmpty());
    EXPECT_TRUE(r.message.contains(QLatin1String("No serial mode is selected")));
  }
}

TEST(ModuleReply, ColumnsAreReadAsLeadingNumbers) {
  // The reply is the record less its "@".
  const QByteArray mode5 = "5" "00123" "07" "09600" "042" + QByteArray(28, ' ');
  const ModuleReply r = readReply(mode5);
  EXPECT_EQ(r.mode, 5);
  EXPECT_EQ(r.baseRegister, 123);
  EXPECT_EQ(r.slaveAddress, 7);
  EXPECT_EQ(r.fileNumber, 42);
  const QByteArray mode3 = "3" "00000" "00" "00000" + QByteArray(29, ' ') + "4 ";
  EXPECT_EQ(readReply(mode3).slaveRange, 4);
  // Blanks are skipped, anything else ends the number, missing columns read 0.
  EXPECT_EQ(replyField(" 1 2 x99", 1, 8), 12);
  EXPECT_EQ(replyField("4ab", 2, 5), 0);
  EXPECT_EQ(replyField("4", 2, 5), 0);
  EXPECT_EQ(readReply(QByteArray(30, '3')).slaveRange, 0);  // a 30-character reply has no column 43
  EXPECT_EQ(readReply(QByteArray()).mode, 0);
}

TEST(EntryRules, Df1DisplayClampsAndShowsTheRegisterRanges) {
  Df1Display d = df1Display(QStringLiteral("0"), QStringLiteral("12"));
  EXPECT_EQ(d.baseText, QStringLiteral("0"));
  EXPECT_EQ(d.positions, QStringLiteral("N12:0 - N12:19"));
  EXPECT_EQ(d.requests, QStringLiteral("N12:20 - N12:39"));
  d = df1Display(QStringLiteral("300"), QStringLiteral("12"));
  EXPECT_EQ(d.baseText, QStringLiteral("216"));
  EXPECT_EQ(d.positions, QStringLiteral("N12:216 - N12:235"));
  EXPECT_EQ(d.requests, QStringLiteral("N12:236 - N12:255"));
  EXPECT_EQ(df1Display(QString(), QStringLiteral("7")).baseText, QStringLiteral("0"));
  EXPECT_EQ(lastRegisterText(QStringLiteral("40001")), QStringLiteral("40040"));
  EXPECT_EQ(lastRegisterText(QString()), QStringLiteral("39"));
  EXPECT_TRUE(isAcceptedDf1FileNumber(QStringLiteral("7")));
  EXPECT_TRUE(isAcceptedDf1FileNumber(QStringLiteral("256")));
  EXPECT_FALSE(isAcceptedDf1FileNumber(QStringLiteral("8")));
  EXPECT_FALSE(isAcceptedDf1FileNumber(QStringLiteral("6")));
  EXPECT_FALSE(isAcceptedDf1FileNumber(QStringLiteral("257")));
}
