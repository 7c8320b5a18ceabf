// Comparing what was sent with what the module returned, and the status
// line after a save.
#include <gtest/gtest.h>

#include <QTime>

#include "verify.h"

namespace {

using Kind = gw::VerifyResult::Kind;

TEST(Verify, NamesTheFirstDifferingLine) {
  const QByteArray sent = "//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\nTitle , Id\r\nPress 4 , 11\r\n\r\n";
  const struct {
    const char* fetched;
    Kind kind;
    int line;
    const char* sentLine;
    const char* moduleLine;
    bool moduleMissing;
    bool sentMissing;
  } rows[] = {
      {"//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\nTitle , Id\r\nPress 4 , 11\r\n\r\n", Kind::Identical, 0, "", "",
       false, false},
      {"//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\nTitle , Id\r\nPress 5 , 11\r\n\r\n", Kind::Differs, 4,
       "Press 4 , 11", "Press 5 , 11", false, false},
      // A lost CR is a difference in the line that lost it.
      {"//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\nTitle , Id\r\nPress 4 , 11\r\n\r\n", Kind::Differs, 2, "Bridge",
       "Bridge", false, false},
      {"//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\n", Kind::Differs, 3, "Title , Id", "", true, false},
      {"//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\nTitle , Id\r\nPress 4 , 11\r\n\r\nextra\r\n", Kind::Differs, 6,
       "", "extra", false, true},
  };
  for (const auto& r : rows) {
    const gw::VerifyResult v = gw::compareConfigs(sent, r.fetched);
    EXPECT_EQ(v.kind, r.kind) << r.fetched;
    if (r.kind == Kind::Identical) {
      EXPECT_EQ(v.message(), "Module holds the configuration sent");
      continue;
    }
    EXPECT_EQ(v.lineNumber, r.line) << r.fetched;
    EXPECT_EQ(v.sentLine, r.sentLine) << r.fetched;
    EXPECT_EQ(v.moduleLine, r.moduleLine) << r.fetched;
    EXPECT_EQ(v.moduleLineMissing, r.moduleMissing) << r.fetched;
    EXPECT_EQ(v.sentLineMissing, r.sentMissing) << r.fetched;
    EXPECT_TRUE(v.message().contains(QStringLiteral("line %1 differs").arg(r.line))) << v.message().toStdString();
  }
  EXPECT_EQ(gw::compareConfigs(sent, "//3-MODBUS/TCP, 10.1.2.3, 40001\r\nBridge\r\nTitle , Id\r\nPress 5 , 11\r\n")
                .message(),
            "Module holds a different configuration: line 4 differs (sent \"Press 4 , 11\", module holds "
            "\"Press 5 , 11\")");
}

TEST(Verify, StatusLineAfterASaveSaysWhatWentWhereAndWhen) {
  gw::RunResult upload;
  upload.lines = {gw::LineResult{"ruinet -i192.168.1.20 -u0 -fConfig.csv -p -o", true, true, 0}};
  const QTime at(15, 2, 11);
  EXPECT_EQ(gw::uploadStatusLine("Config.csv", "192.168.001.020", upload, at),
            "Config.csv loaded to 192.168.1.20 at 15:02:11");
  upload.outcome = gw::RunOutcome::Failed;
  upload.lines[0].exitCode = 1;
  EXPECT_EQ(gw::uploadStatusLine("Config.csv", "192.168.1.20", upload, at),
            "Config.csv NOT loaded to 192.168.1.20 at 15:02:11: ruinet ended with exit status 1.");
}

}  // namespace
