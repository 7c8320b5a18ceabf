// Config.csv generation against files composed by hand, the save's refusals
// and the entry rules behind the validity colours.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "profiles.h"
#include "readback.h"

namespace {

QByteArray golden(const char* name) {
  QFile f(QDir(QStringLiteral(XAV_GOLDEN_DIR)).filePath(QLatin1String(name)));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
  return f.readAll();
}

gw::ConfigEntries entries(int protocol, const QString& plc, const QString& title) {
  gw::ConfigEntries e;
  e.protocol = protocol;
  e.plcAddress = plc;
  e.plcAddressValid = gw::isValidPlcAddress(plc);
  e.title = title;
  return e;
}

// Compares line by line first, so a failure names the line that differs.
void expectSameFile(const QByteArray& actual, const QByteArray& expected) {
  const QList<QByteArray> a = actual.split('\n');
  const QList<QByteArray> b = expected.split('\n');
  for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
    ASSERT_EQ(a[i].toStdString(), b[i].toStdString()) << "line " << i + 1;
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(actual, expected);
}

TEST(ConfigFile, ModbusWritesTheNormalFormOfTheAddress) {
  const gw::GeneratedConfig g = gw::generateConfig(entries(gw::kModbusTcp, "010.001.002.003", "Line 4 distributors"), {});
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  EXPECT_EQ(g.plcIp, "10.1.2.3");
  EXPECT_EQ(g.summaryLine, "//3-MODBUS/TCP, 10.1.2.3, 40001");
  EXPECT_FALSE(g.titleReplaced);
  expectSameFile(g.bytes, golden("modbus_40001.csv"));
  // No captions kept: last protocol line, then three CR LF.
  EXPECT_TRUE(g.bytes.endsWith("0.500s\r\n\r\n\r\n"));
}

TEST(ConfigFile, ModbusHighestRegisterEmptyTitleAndKeptTail) {
  gw::ConfigEntries e = entries(gw::kModbusTcp, "192.168.1.10", "   ");
  e.startRegister = "465514";
  const gw::GeneratedConfig g = gw::generateConfig(e, "//RVSIM_Captions\r\nInfeed A\r\nInfeed B\r\n");
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  EXPECT_TRUE(g.titleReplaced);
  EXPECT_EQ(g.title, "Change this title if desired.");
  expectSameFile(g.bytes, golden("modbus_465514_tail.csv"));
}

TEST(ConfigFile, PcccBaseZeroWithAPlaceholderInTheTitle) {
  const gw::GeneratedConfig g = gw::generateConfig(entries(gw::kPccc, "10.1.2.3", "Cell %01% west"), {});
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  expectSameFile(g.bytes, golden("pccc_7_0.csv"));
}

TEST(ConfigFile, PcccHighestBaseElement) {
  gw::ConfigEntries e = entries(gw::kPccc, "192.168.0.20", "Press 2");
  e.fileNumber = "255";
  e.baseElement = "214";
  const gw::GeneratedConfig g = gw::generateConfig(e, {});
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  expectSameFile(g.bytes, golden("pccc_255_214.csv"));
}

TEST(ConfigFile, PcccElementAddressesIgnoreAPlaceholderInTheTitle) {
  // Filling the first 40 "%03%" of the whole body would give the title the
  // first two addresses and shift every map row by two.
  const gw::GeneratedConfig g = gw::generateConfig(entries(gw::kPccc, "10.1.2.3", "Cell %03% west"), {});
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  const QByteArray normal = golden("pccc_7_0.csv");
  QByteArray expected = normal;
  expected.replace("Cell 10.1.2.3 west", "Cell %03% west");
  expectSameFile(g.bytes, expected);
}

TEST(ConfigFile, CipSlotThree) {
  gw::ConfigEntries e = entries(gw::kCip, "172.16.0.5", "Packing");
  e.slot = "3";
  const gw::GeneratedConfig g = gw::generateConfig(e, {});
  ASSERT_EQ(g.refusal, gw::Refusal::None);
  EXPECT_EQ(g.summaryLine, "//2-ETHERNET/IP-CIP, 172.16.0.5, , 40001, 3");
  expectSameFile(g.bytes, golden("cip_slot3.csv"));
}

TEST(ConfigFile, FieldTextsGoIntoTheSummaryAsTyped) {
  gw::ConfigEntries e = entries(gw::kPccc, "10.1.2.3", "T");
  e.fileNumber = "07";
  e.baseElement = " 5";
  gw::GeneratedConfig g = gw::generateConfig(e, {});
  EXPECT_EQ(g.summaryLine, "//1-ETHERNET/IP-PCCC, 10.1.2.3, 07,  5");
  EXPECT_TRUE(g.bytes.contains("N         , 007         , 005     , 1"));
  EXPECT_TRUE(g.bytes.contains("N         , 007         , 044     , 1"));

  e = entries(gw::kModbusTcp, "10.1.2.3", "T");
  e.startRegister = "40100";
  g = gw::generateConfig(e, {});
  EXPECT_TRUE(g.bytes.contains("PLC_01   , 40100  , 20"));
  EXPECT_TRUE(g.bytes.contains("PLC_01   , 40120  , 20"));
}

TEST(ConfigFile, RefusalsComeInTheSaveOrderAndWriteNothing) {
  gw::ConfigEntries e = entries(gw::kPccc, "192.168.1", "");
  e.fileNumberValid = false;
  gw::GeneratedConfig g = gw::generateConfig(e, {});
  EXPECT_EQ(g.refusal, gw::Refusal::IllegalIp);
  EXPECT_TRUE(g.bytes.isEmpty());
  EXPECT_TRUE(g.titleReplaced);  // the title default comes first
  EXPECT_EQ(gw::refusalMessage(g.refusal), "Enter a legal IP Address");

  e.plcAddress = "192.168.1.1";
  e.plcAddressValid = true;
  g = gw::generateConfig(e, {});
  EXPECT_EQ(g.refusal, gw::Refusal::BadFileOrBase);
  EXPECT_TRUE(g.bytes.isEmpty());
  EXPECT_EQ(gw::refusalMessage(g.refusal), "Correct File or Base Register Number");

  e.fileNumberValid = true;
  e.baseElementValid = false;
  EXPECT_EQ(gw::generateConfig(e, {}).refusal, gw::Refusal::BadFileOrBase);
  // Only PCCC looks at those two colours.
  e.protocol = gw::kModbusTcp;
  EXPECT_EQ(gw::generateConfig(e, {}).refusal, gw::Refusal::None);

  e.protocol = gw::kNoProtocol;
  g = gw::generateConfig(e, {});
  EXPECT_EQ(g.refusal, gw::Refusal::NoProtocol);
  EXPECT_TRUE(g.bytes.isEmpty());
  EXPECT_FALSE(gw::refusalMessage(g.refusal).isEmpty());
}

TEST(ConfigFile, TheSummaryLineReadsBackToTheSameEntries) {
  gw::ConfigEntries e = entries(gw::kCip, "010.000.000.009", "Dock, east");
  e.slot = "2";
  e.startRegister = "40011";
  const gw::CurrentConfig c = gw::parseCurrentConfig(gw::generateConfig(e, "//RVSIM_Captions\r\nA\r\n").bytes);
  ASSERT_TRUE(c.readable);
  EXPECT_EQ(c.protocolCode, gw::kCip);
  EXPECT_EQ(c.field(1), "10.0.0.9");
  EXPECT_EQ(c.field(3), "40011");
  EXPECT_EQ(c.field(4), "2");
  EXPECT_EQ(c.title, "Dock");
  EXPECT_EQ(c.captionsTail, "//RVSIM_Captions\r\nA\r\n");
}

// The entries a window holds after reading cfg back (the CIP register box is
// not restored; it keeps the text that was saved).
gw::ConfigEntries entriesReadBack(const gw::CurrentConfig& c) {
  gw::ConfigEntries e = entries(c.protocolCode, c.field(1), c.title);
  if (c.protocolCode == gw::kPccc) {
    e.fileNumber = c.field(2);
    e.baseElement = c.field(3);
  } else if (c.protocolCode == gw::kCip) {
    e.slot = c.field(4);
    e.startRegister = c.field(3);
  } else {
    e.startRegister = c.field(2);
  }
  return e;
}

TEST(ConfigFile, ReadBackThenSaveUnchangedKeepsEveryByte) {
  // The last row is a file as the original tools leave it after one more
  // cycle: its extra CR LF stays, and no further one is added.
  for (const char* name : {"modbus_40001.csv", "modbus_465514_tail.csv", "pccc_7_0.csv", "pccc_255_214.csv",
                           "cip_slot3.csv", "modbus_465514_tail_grown.csv"}) {
    QByteArray file = golden(name);
    for (int cycle = 0; cycle < 3; ++cycle) {
      const gw::CurrentConfig c = gw::parseCurrentConfig(file);
      ASSERT_TRUE(c.readable) << name;
      file = gw::generateConfig(entriesReadBack(c), c.captionsTail).bytes;
      expectSameFile(file, golden(name));
    }
  }
  const gw::CurrentConfig grown = gw::parseCurrentConfig(golden("modbus_465514_tail_grown.csv"));
  const gw::CurrentConfig plain = gw::parseCurrentConfig(golden("modbus_465514_tail.csv"));
  EXPECT_EQ(grown.summaryFields, plain.summaryFields);
  EXPECT_EQ(grown.title, plain.title);
  EXPECT_EQ(plain.captionsTail, "//RVSIM_Captions\r\nInfeed A\r\nInfeed B\r\n");
  EXPECT_EQ(grown.captionsTail, plain.captionsTail + "\r\n");
}

TEST(EntryRules, PlcAddress) {
  for (const char* ok : {"192.168.1.1", "0.0.0.0", "255.255.255.255", "a.b.c.d", "010.001.002.003", " 1.2.3.4"})
    EXPECT_TRUE(gw::isValidPlcAddress(ok)) << ok;
  for (const char* bad : {"192.168.1", "192.168..1", "192.168.1.300", "1.2.3.4.5", "", "256.1.1.1", "-1.2.3.4", "10.1.2.-3"})
    EXPECT_FALSE(gw::isValidPlcAddress(bad)) << bad;
  EXPECT_EQ(gw::normalPlcIp("192.168.001.010"), "192.168.1.10");
  EXPECT_EQ(gw::normalPlcIp("a.b.c.d"), "0.0.0.0");
}

TEST(EntryRules, NumbersAreTakenToTheNearestIntegerHalvesToEven) {
  EXPECT_TRUE(gw::isValidFileNumber("7"));
  EXPECT_TRUE(gw::isValidFileNumber("255"));
  EXPECT_TRUE(gw::isValidFileNumber("6.6"));
  EXPECT_FALSE(gw::isValidFileNumber("6.5"));  // to 6
  EXPECT_FALSE(gw::isValidFileNumber("256"));
  EXPECT_FALSE(gw::isValidFileNumber("abc"));
  EXPECT_TRUE(gw::isValidBaseElement("0"));
  EXPECT_TRUE(gw::isValidBaseElement("214"));
  EXPECT_TRUE(gw::isValidBaseElement("214.5"));  // to 214
  EXPECT_FALSE(gw::isValidBaseElement("215"));
  EXPECT_FALSE(gw::isValidBaseElement("-1"));
  EXPECT_TRUE(gw::isValidStartRegister("40001"));
  EXPECT_TRUE(gw::isValidStartRegister("465514"));
  EXPECT_FALSE(gw::isValidStartRegister("40000"));
  EXPECT_FALSE(gw::isValidStartRegister("465515"));
  EXPECT_FALSE(gw::isValidStartRegister(""));
}

TEST(ConfigFileOnDisk, WrittenWholeAndDeletedWhateverTheCase) {
  QTemporaryDir tmp;
  QDir d(tmp.path());
  QFile stale(d.filePath("CONFIG.CSV"));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write("old");
  stale.close();
  QString error;
  ASSERT_TRUE(gw::writeConfigFile(tmp.path(), "new\r\n", &error)) << error.toStdString();
  EXPECT_EQ(d.entryList(QDir::Files), QStringList{"Config.csv"});
  QFile f(d.filePath("Config.csv"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "new\r\n");

  QFile(d.filePath("config.csv")).open(QIODevice::WriteOnly);
  QFile(d.filePath("keep.csv")).open(QIODevice::WriteOnly);
  gw::deleteConfigCsv(tmp.path());
  EXPECT_EQ(d.entryList(QDir::Files), QStringList{"keep.csv"});

  EXPECT_FALSE(gw::writeConfigFile(d.filePath("keep.csv"), "x", &error));  // a file is no folder
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
