// Command texts byte for byte, in both flavours.
#include <gtest/gtest.h>

#include "commands.h"

using gw::Flavour;

namespace {

class CommandTexts : public ::testing::Test {
 protected:
  void SetUp() override { qputenv("comspec", "C:\\WINDOWS\\system32\\cmd.exe"); }
  void TearDown() override { qunsetenv("comspec"); }
};

TEST_F(CommandTexts, UploadsAreTwoLinesWithTheAddressRightBehindDashI) {
  EXPECT_EQ(gw::uploadConfigurationCommand("10.1.2.3"),
            "ruinet -i10.1.2.3 -u0 -fConfig.csv -p -o\r\nruinet -i10.1.2.3 -p -b\r\n");
  EXPECT_EQ(gw::uploadNetworkSettingsCommand("192.168.1.20"),
            "ruinet -i192.168.1.20 -u0 -ffs_tcp.ini -p -o\r\nruinet -i192.168.1.20 -p -b\r\n");
}

TEST_F(CommandTexts, WindowsFlavour) {
  EXPECT_EQ(gw::fetchConfigurationCommand("C:\\XAV tools", "192.168.1.20", Flavour::Windows),
            "\"C:\\XAV tools\\ruinet.exe\" -i 192.168.1.20 -u1 -fConfig.csv\r\n");
  // A directory written with forward slashes is still joined the Windows way.
  EXPECT_EQ(gw::fetchConfigurationCommand("C:/XAV", "10.1.2.3", Flavour::Windows),
            "\"C:\\XAV\\ruinet.exe\" -i 10.1.2.3 -u1 -fConfig.csv\r\n");
  EXPECT_EQ(gw::fetchNetworkSettingsCommand("10.1.2.3", Flavour::Windows),
            "C:\\WINDOWS\\system32\\cmd.exe /c RuiNet.exe ruinet.exe -i 10.1.2.3 -u1 -ffs_tcp.ini\r\n");
  EXPECT_EQ(gw::addressModeCommand("C:\\XAV tools", Flavour::Windows), "C:\\XAV tools\\RuiNet.exe -m1 ");
  EXPECT_EQ(gw::discoveryCommand(Flavour::Windows), "C:\\WINDOWS\\system32\\cmd.exe /c RuiPing.exe ruiping.exe -r0 > C.txt");
  EXPECT_EQ(gw::pingCommand("C:\\XAV tools", "192.168.1.20", Flavour::Windows),
            "C:\\WINDOWS\\system32\\cmd.exe /c ping -n 1 -w 100 192.168.1.20 >\"C:\\XAV tools\\png.txt\"");
}

TEST_F(CommandTexts, PosixFlavour) {
  EXPECT_EQ(gw::fetchConfigurationCommand("/home/op/xav tools", "192.168.1.20", Flavour::Posix),
            "\"/home/op/xav tools/ruinet.exe\" -i 192.168.1.20 -u1 -fConfig.csv\r\n");
  EXPECT_EQ(gw::fetchNetworkSettingsCommand("10.1.2.3", Flavour::Posix),
            "/bin/sh /c RuiNet.exe ruinet.exe -i 10.1.2.3 -u1 -ffs_tcp.ini\r\n");
  EXPECT_EQ(gw::addressModeCommand("/home/op/xav", Flavour::Posix), "/home/op/xav/RuiNet.exe -m1 ");
  EXPECT_EQ(gw::discoveryCommand(Flavour::Posix), "/bin/sh /c RuiPing.exe ruiping.exe -r0 > C.txt");
  EXPECT_EQ(gw::pingCommand("/home/op/xav", "127.0.0.2", Flavour::Posix),
            "/bin/sh /c ping -c 1 -W 0.1 127.0.0.2 >\"/home/op/xav/png.txt\"");
}

TEST_F(CommandTexts, OnlyDottedIPv4AddressesGetACommand) {
  for (const char* good : {"0.0.0.0", "255.255.255.255", "010.001.002.003", "127.0.0.1"})
    EXPECT_TRUE(gw::isDottedIPv4(good)) << good;
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "1.2.3.4 ", " 1.2.3.4", "1.2.3.0004",
                          "1.2.3.4;reboot", "1.2.3.4 -u0 -fx", "a.b.c.d", "1.2.3.-4", "1.2.3.+4", "१.2.3.4"})
    EXPECT_FALSE(gw::isDottedIPv4(QString::fromUtf8(bad))) << bad;

  const QString hostile = QStringLiteral("1.2.3.4 & del *");
  EXPECT_TRUE(gw::uploadConfigurationCommand(hostile).isEmpty());
  EXPECT_TRUE(gw::uploadNetworkSettingsCommand(hostile).isEmpty());
  EXPECT_TRUE(gw::fetchConfigurationCommand("/x", hostile, Flavour::Posix).isEmpty());
  EXPECT_TRUE(gw::fetchNetworkSettingsCommand(hostile, Flavour::Windows).isEmpty());
  EXPECT_TRUE(gw::pingCommand("/x", hostile, Flavour::Posix).isEmpty());
  EXPECT_TRUE(gw::notAnAddressMessage(hostile).contains(hostile));
}

TEST_F(CommandTexts, AddressesGoIntoEveryCommandInNormalForm) {
  // A system ping reads "011" as octal: 127.0.0.011 would ping 127.0.0.9.
  const struct {
    const char* given;
    const char* normal;
  } rows[] = {{"01.02.03.004", "1.2.3.4"}, {"127.0.0.011", "127.0.0.11"}, {"010.000.000.050", "10.0.0.50"},
              {"192.168.1.20", "192.168.1.20"}, {"000.00.0.255", "0.0.0.255"}, {"1.2.3.256", ""},
              {"1.2.3.0004", ""}, {"1.2.3", ""}};
  for (const auto& r : rows) {
    const QString normal = QString::fromLatin1(r.normal);
    EXPECT_EQ(gw::normalAddress(r.given), normal) << r.given;
    if (normal.isEmpty()) continue;
    EXPECT_EQ(gw::uploadConfigurationCommand(r.given), gw::uploadConfigurationCommand(normal)) << r.given;
    EXPECT_EQ(gw::uploadNetworkSettingsCommand(r.given), gw::uploadNetworkSettingsCommand(normal)) << r.given;
    for (Flavour f : {Flavour::Windows, Flavour::Posix}) {
      EXPECT_EQ(gw::fetchConfigurationCommand("/x", r.given, f), gw::fetchConfigurationCommand("/x", normal, f));
      EXPECT_EQ(gw::fetchNetworkSettingsCommand(r.given, f), gw::fetchNetworkSettingsCommand(normal, f));
      EXPECT_EQ(gw::pingCommand("/x", r.given, f), gw::pingCommand("/x", normal, f)) << r.given;
    }
  }
  EXPECT_EQ(gw::pingCommand("/x", "127.0.0.011", Flavour::Posix), "/bin/sh /c ping -c 1 -W 0.1 127.0.0.11 >\"/x/png.txt\"");
  EXPECT_EQ(gw::uploadConfigurationCommand("01.02.03.004"),
            "ruinet -i1.2.3.4 -u0 -fConfig.csv -p -o\r\nruinet -i1.2.3.4 -p -b\r\n");
}

TEST(PingReport, AnsweredOnlyWithoutUnreachableAndWithNoLoss) {
  EXPECT_TRUE(gw::pingReportAnswered("Packets: Sent = 1, Received = 1, Lost = 0 (0% loss),"));
  EXPECT_TRUE(gw::pingReportAnswered("1 packets transmitted, 1 received, 0% packet loss, time 0ms"));
  EXPECT_FALSE(gw::pingReportAnswered("1 packets transmitted, 0 received, 100% packet loss, time 0ms"));
  EXPECT_FALSE(gw::pingReportAnswered("Reply from 10.0.0.1: Destination host UNREACHABLE.\r\n(0% loss)"));
  EXPECT_FALSE(gw::pingReportAnswered("Request timed out.\r\nLost = 1 (100% loss)"));
  EXPECT_FALSE(gw::pingReportAnswered(""));
}

}  // namespace
