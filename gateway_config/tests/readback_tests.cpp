// Reading a fetched Config.csv back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "readback.h"

namespace {

QByteArray file(const char* summary, const char* title = "Line 4 , 11", const char* tail = "") {
  return QByteArray(summary) + "\r\nBridge\r\nTitle   , System_Node_Id\r\n" + title + "\r\n\r\nData_Arrays\r\n" + tail;
}

TEST(ReadBack, PcccSummaryGivesProtocolAndFieldsWithoutCarriageReturns) {
  const gw::CurrentConfig c = gw::parseCurrentConfig(file("//1-ETHERNET/IP-PCCC, 10.1.2.3, 7, 0"));
  ASSERT_TRUE(c.readable);
  EXPECT_EQ(c.protocolCode, 1);
  EXPECT_EQ(c.summaryFields, (QStringList{"//1-ETHERNET/IP-PCCC", "10.1.2.3", "7", "0"}));
  EXPECT_EQ(c.title, "Line 4");
  EXPECT_FALSE(c.hasCaptions);
  EXPECT_TRUE(c.field(9).isEmpty());
}

TEST(ReadBack, ModbusAndCipSummaries) {
  gw::CurrentConfig c = gw::parseCurrentConfig(file("//3-MODBUS/TCP, 10.1.2.3, 40001"));
  EXPECT_EQ(c.protocolCode, 3);
  EXPECT_EQ(c.field(2), "40001");
  c = gw::parseCurrentConfig(file("//2-ETHERNET/IP-CIP, 10.1.2.3, , 40001, 3"));
  EXPECT_EQ(c.protocolCode, 2);
  EXPECT_EQ(c.field(2), "");
  EXPECT_EQ(c.field(4), "3");
}

TEST(ReadBack, AnyOtherCodeIsCorruptButTheFileIsStillRead) {
  for (const char* first : {"//4-OTHER, 1.2.3.4", "1-ETHERNET/IP-PCCC, 1.2.3.4", "//x, 1.2.3.4", "//1.5, 1.2.3.4", ""}) {
    const gw::CurrentConfig c = gw::parseCurrentConfig(file(first));
    EXPECT_TRUE(c.readable) << first;
    EXPECT_EQ(c.protocolCode, 0) << first;
    EXPECT_EQ(c.title, "Line 4") << first;
  }
}

TEST(ReadBack, CaptionsTailRunsFromTheMarkerToTheEnd) {
  const gw::CurrentConfig c =
      gw::parseCurrentConfig(file("//3-MODBUS/TCP, 1.2.3.4, 40001", "T , 11", "x\r\n//RVSIM_Captions\r\nA\r\n\r\n"));
  EXPECT_TRUE(c.hasCaptions);
  // The file's last CR LF is the save's own; the one before belongs to the tail.
  EXPECT_EQ(c.captionsTail, "//RVSIM_Captions\r\nA\r\n");
  EXPECT_EQ(gw::parseCurrentConfig(file("//3-MODBUS/TCP, 1.2.3.4, 40001", "T , 11", "//RVSIM_Captions\r\nA"))
                .captionsTail,
            "//RVSIM_Captions\r\nA");
}

TEST(ReadBack, TitleIsCutAtItsFirstCommaAndKeepsItsBytes) {
  const gw::CurrentConfig c = gw::parseCurrentConfig(file("//3-MODBUS/TCP, 1.2.3.4, 40001", "  Stra\xdf" "e 5 , west , 11"));
  EXPECT_EQ(c.title, QString::fromUtf8("Straße 5"));
}

TEST(ReadBack, FilesThatCannotBeReadChangeNothing) {
  // Fewer than four lines, no comma in line 3, nothing at all.
  for (const QByteArray& bad : {QByteArray("//3-MODBUS/TCP, 1.2.3.4, 40001\r\nBridge\r\nTitle , Id"),
                                file("//3-MODBUS/TCP, 1.2.3.4, 40001", "no comma here"), QByteArray()}) {
    const gw::CurrentConfig c = gw::parseCurrentConfig(bad);
    EXPECT_FALSE(c.readable);
    EXPECT_EQ(c.protocolCode, 0);
    EXPECT_TRUE(c.summaryFields.isEmpty());
    EXPECT_TRUE(c.title.isEmpty());
  }
  QTemporaryDir tmp;
  EXPECT_FALSE(gw::readCurrentConfig(tmp.path()).readable);
  QFile f(QDir(tmp.path()).filePath("Config.csv"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(file("//1-ETHERNET/IP-PCCC, 10.1.2.3, 7, 0"));
  f.close();
  EXPECT_EQ(gw::readCurrentConfig(tmp.path()).protocolCode, 1);
}

TEST(ReadBack, LineFeedOnlyFilesReadTheSame) {
  QByteArray lf = file("//1-ETHERNET/IP-PCCC, 10.1.2.3, 7, 0");
  lf.replace("\r\n", "\n");
  const gw::CurrentConfig c = gw::parseCurrentConfig(lf);
  ASSERT_TRUE(c.readable);
  EXPECT_EQ(c.field(3), "0");
  EXPECT_EQ(c.title, "Line 4");
}

}  // namespace
