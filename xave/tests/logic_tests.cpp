// Discovery listing, ping report and network-settings file rules.
#include <gtest/gtest.h>

#include "fs_tcp.h"
#include "modgetip.h"

namespace {

using namespace xave;

// A listing line: the name padded to 31 characters, then the address.
QString moduleLine(const QString& name, const QString& address, const QString& rest = QStringLiteral("  XAV"))
{
  return name.leftJustified(31, QLatin1Char(' ')) + address + rest + QStringLiteral("\r\n");
}

const QString kHeading = QStringLiteral("BRIDGE NAME                    IP ADDRESS      TYPE\r\n") +
                         QString(50, QLatin1Char('=')) + QStringLiteral("\r\n");

TEST(DiscoveryListing, OneLinePerModuleWithHeadingAndSeparatorDropped) {
  const QString text = kHeading + moduleLine("BRIDGE1", "192.168.1.20") + moduleLine("  Press line 4  ", "10.0.0.7");
  EXPECT_EQ(ParseDiscoveryOutput(text), "192.168.1.20, BRIDGE1\r\n10.0.0.7, Press line 4\r\n");
  EXPECT_EQ(ParseDiscoveryOutput(QString()), QString());
  EXPECT_EQ(ParseDiscoveryOutput(kHeading), QString());
}

TEST(DiscoveryListing, ColumnAndFilterRules) {
  // Address starting before column 32: not a module line.
  const QString early = QStringLiteral("SHORT     10.0.0.1").leftJustified(40, QLatin1Char(' ')) + "XAV\r\n";
  EXPECT_EQ(ParseDiscoveryOutput(early), QString());
  // "=" in the name field or the heading text are skipped.
  EXPECT_EQ(ParseDiscoveryOutput(moduleLine("A=B", "10.0.0.2")), QString());
  EXPECT_EQ(ParseDiscoveryOutput(moduleLine("BRIDGE NAME", "10.0.0.3")), QString());
  // Case-insensitive matching changes nothing for digits; LF-only lines work too.
  const QString lf = QStringLiteral("NODE").leftJustified(31, QLatin1Char(' ')) + "127.0.0.5\n" +
                     QStringLiteral("NODE2").leftJustified(31, QLatin1Char(' ')) + "127.0.0.6";
  EXPECT_EQ(ParseDiscoveryOutput(lf), "127.0.0.5, NODE\r\n127.0.0.6, NODE2\r\n");
  // A name of exactly 31 characters and a long trailer.
  EXPECT_EQ(ParseDiscoveryOutput(moduleLine(QString(31, QLatin1Char('N')), "1.2.3.4", " trailing, text")),
            QStringLiteral("1.2.3.4, ") + QString(31, QLatin1Char('N')) + "\r\n");
}

TEST(DiscoveryListing, TextAfterSeparatorAndEntries) {
  const QString text = kHeading + moduleLine("B1", "127.0.0.2");
  EXPECT_TRUE(textAfterSeparator(text).startsWith(QStringLiteral("\n")));
  EXPECT_EQ(ParseDiscoveryOutput(textAfterSeparator(text)), "127.0.0.2, B1\r\n");
  EXPECT_EQ(textAfterSeparator(QStringLiteral("abc")), "bc");

  const QStringList entries = listingEntries(QStringLiteral("192.168.1.20, BRIDGE1\r\n10.0.0.7, B2\r\n"));
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries[0], "192.168.1.20, BRIDGE1 : ");
  EXPECT_EQ(moduleIpFromEntry(entries[0]), "192.168.1.20");
  EXPECT_TRUE(listingEntries(QString()).isEmpty());
  EXPECT_EQ(moduleIpFromEntry(QStringLiteral("10.1.1.1")), "10.1.1.1");
  // The entry keeps the listing's spelling; the window compares and shows the normal form.
  EXPECT_EQ(moduleIpFromEntry(QStringLiteral("127.000.000.011, B : ")), "127.000.000.011");
  EXPECT_EQ(shownAddress(QStringLiteral("127.000.000.011")), "127.0.0.11");
  EXPECT_EQ(shownAddress(QStringLiteral("not an address")), "not an address");
  EXPECT_TRUE(sameModuleAddress(QStringLiteral("010.1.2.003"), QStringLiteral("10.1.2.3")));
  EXPECT_FALSE(sameModuleAddress(QStringLiteral("10.1.2.3"), QStringLiteral("10.1.2.30")));
}

const QByteArray kSettings =
    "[TCP]\r\nN1_DHCP = off\r\nN1_NAME = bridge\r\nN1_PORT = 502\r\nN1_IP = 127.0.0.5\r\nN1_NETMASK = "
    "255.0.0.0\r\nN1_GATEWAY = 127.0.0.1\r\n";

TEST(NetworkSettingsFile, ShowsLinesFiveAndSixAndRewritesWithCrLf) {
  NetworkSettings s = parseNetworkSettings(kSettings);
  ASSERT_TRUE(s.usable);
  EXPECT_EQ(s.ip, "127.0.0.5");
  EXPECT_EQ(s.mask, "255.0.0.0");
  QByteArray out = rewriteNetworkSettings(s.lines, "192.168.1.50", "255.255.255.0");
  QByteArray expected = kSettings;
  expected.replace("127.0.0.5", "192.168.1.50").replace("255.0.0.0", "255.255.255.0");
  EXPECT_EQ(out, expected) << "the file's own final line end, no empty line added";
  // Changing the address back gives the fetched file byte for byte.
  s = parseNetworkSettings(out);
  ASSERT_TRUE(s.usable);
  EXPECT_EQ(rewriteNetworkSettings(s.lines, "127.0.0.5", "255.0.0.0"), kSettings);

  // LF-only and mixed line ends come back as CR LF throughout.
  QByteArray lf = kSettings;
  lf.replace("\r\n", "\n");
  lf.replace("N1_NAME = bridge\n", "N1_NAME = bridge\r\n");
  s = parseNetworkSettings(lf);
  ASSERT_TRUE(s.usable);
  EXPECT_EQ(rewriteNetworkSettings(s.lines, s.ip, s.mask), kSettings);
  // A file without a final line end gets one; trailing empty lines stay as they were.
  s = parseNetworkSettings(kSettings.chopped(2));
  EXPECT_EQ(rewriteNetworkSettings(s.lines, s.ip, s.mask), kSettings);
  s = parseNetworkSettings(kSettings + "\r\n");
  EXPECT_EQ(rewriteNetworkSettings(s.lines, s.ip, s.mask), kSettings + "\r\n");
}

TEST(NetworkSettingsFile, FewerThanSixLinesIsNotUsable) {
  EXPECT_FALSE(parseNetworkSettings(QByteArray()).usable);
  EXPECT_FALSE(parseNetworkSettings("a\r\nb\r\nc\r\nd\r\nN1_IP = 1.2.3.4\r\n").usable);
  EXPECT_TRUE(parseNetworkSettings("a\nb\nc\nd\nN1_IP = 1.2.3.4\nN1_NETMASK = 255.0.0.0").usable);
}

}  // namespace
