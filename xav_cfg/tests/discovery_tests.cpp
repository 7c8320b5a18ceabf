#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "discovery.h"
#include "sessions.h"
#include "test_support.h"

using namespace xavcfg;
using xavcfg::testing::FakeNetworkHost;
using xavcfg::testing::ScratchDir;

namespace {

// The window's discovery run to its end: the entries it listed (each once
// its title came) and the modules that answered the ping.
struct Discovered {
  QStringList entries;
  QStringList answering;
};

Discovered discover() {
  gw::AddressTableSession session(gw::sharedUtilityRunner(), QDir::currentPath());
  Discovered d;
  QObject::connect(&session, &gw::AddressTableSession::moduleListed,
                   [&](const gw::ModuleEntry& m) { d.entries << moduleEntry(m.address, m.title); });
  QSignalSpy done(&session, &gw::Session::finished);
  if (!session.start() || !done.wait(30000)) return d;
  for (const gw::ModuleEntry& m : session.outcome().modules) d.answering << m.address;
  return d;
}

QStringList DiscoverModules(FakeNetworkHost&) { return discover().entries; }
QStringList answeringModules(FakeNetworkHost&) { return discover().answering; }

}  // namespace

TEST(AddressTable, PrefixedEntriesFromTheFourthLineOnGiveTheirAddresses) {
  const QString listing = QStringLiteral(
      "\r\nInterface: 127.0.0.1 --- 0xb\r\n"
      "  127.0.0.9             00-50-4e-99-99-99     dynamic\r\n"  // a heading line: ignored
      "  192.168.0.20          00-50-4e-10-20-30     dynamic\r\n"
      "  127.0.0.5             00-11-22-33-44-55     dynamic\r\n"
      "  127.0.0.6             00-40-9D-0A-0B-0C     dynamic\r\n"  // capitals still match
      "\t127.0.0.7\t00-40-9d-01-02-03\tstatic\r\n");
  EXPECT_EQ(modulesInAddressTable(listing),
            (QStringList{QStringLiteral("192.168.0.20"), QStringLiteral("127.0.0.6"), QStringLiteral("127.0.0.7")}));
  EXPECT_TRUE(modulesInAddressTable(QString()).isEmpty());
  EXPECT_TRUE(modulesInAddressTable(QStringLiteral("a\r\nb\r\nc\r\n")).isEmpty());
}

TEST(AddressTable, KernelNeighbourTablesMapOntoTheSameForm) {
  const QString procNetArp = QStringLiteral(
      "IP address       HW type     Flags       HW address            Mask     Device\n"
      "127.0.0.21       0x1         0x2         00:50:4e:10:20:30     *        lo\n"
      "127.0.0.22       0x1         0x2         00:11:22:33:44:55     *        lo\n"
      "127.0.0.23       0x1         0x2         00:40:9D:AB:CD:EF     *        lo\n");
  EXPECT_EQ(modulesInAddressTable(arpListingFromNeighbours(procNetArp)),
            (QStringList{QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.23")}));
  const QString ipNeigh = QStringLiteral(
      "127.0.0.31 dev lo lladdr 00:40:9d:01:02:03 REACHABLE\n"
      "127.0.0.32 dev lo  FAILED\n"
      "fe80::1 dev eth0 lladdr 00:50:4e:01:02:03 router STALE\n"
      "127.0.0.33 dev lo lladdr 00:50:4e:aa:bb:cc STALE\n");
  const QString mapped = arpListingFromNeighbours(ipNeigh);
  EXPECT_TRUE(mapped.contains(QLatin1String("00-40-9d-01-02-03")));
  EXPECT_EQ(modulesInAddressTable(mapped), (QStringList{QStringLiteral("127.0.0.31"), QStringLiteral("127.0.0.33")}));
}

TEST(Discovery, ReportsTitlesAndEntries) {
  EXPECT_EQ(titleFromConfig(xavcfg::testing::configWithTitle(QStringLiteral("//3-MODBUS/TCP, 1.2.3.4, 40001"),
                                                     QStringLiteral("  Line 4 press  "))),
            QStringLiteral("Line 4 press"));
  EXPECT_EQ(titleFromConfig("one\r\ntwo\r\nthree\r\n"), QString());  // no fourth line with a comma
  EXPECT_EQ(titleFromConfig("1\r\n2\r\n3\r\nno comma here\r\n"), QString());
  EXPECT_EQ(titleFromConfig(QByteArray()), QString());

  EXPECT_EQ(moduleEntry(QStringLiteral("127.0.0.5"), QStringLiteral("Press")), QStringLiteral("127.0.0.5 : Press"));
  EXPECT_EQ(addressOfEntry(QStringLiteral("127.0.0.5 : Press : 2")), QStringLiteral("127.0.0.5"));
  EXPECT_EQ(addressOfEntry(QStringLiteral("127.0.0.5")), QStringLiteral("127.0.0.5"));
}

TEST(Discovery, PingsEachCandidateOnceAndFetchesTitlesOfTheAnsweringOnes) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  FakeNetworkHost host;
  host.setTable({QStringLiteral("  127.0.0.11  00-50-4e-00-00-01  dynamic"),
                 QStringLiteral("  127.0.0.12  00-50-4e-00-00-02  dynamic"),
                 QStringLiteral("  127.0.0.13  00-40-9d-00-00-03  dynamic")});
  host.answering = {QStringLiteral("127.0.0.11"), QStringLiteral("127.0.0.13")};
  host.configs[QStringLiteral("127.0.0.11")] =
      xavcfg::testing::configWithTitle(QStringLiteral("//3-MODBUS/TCP, 1.2.3.4, 40001"), QStringLiteral("Mixer"));
  // 127.0.0.13 leaves no file: its entry has an empty title, not the title of
  // the file fetched before it.
  const QStringList entries = DiscoverModules(host);
  EXPECT_EQ(entries, (QStringList{QStringLiteral("127.0.0.11 : Mixer"), QStringLiteral("127.0.0.13 : ")}));
  EXPECT_EQ(host.calls, (QStringList{QStringLiteral("broadcast"), QStringLiteral("table"),
                                     QStringLiteral("ping 127.0.0.11"), QStringLiteral("ping 127.0.0.12"),
                                     QStringLiteral("ping 127.0.0.13"), QStringLiteral("fetch 127.0.0.11"),
                                     QStringLiteral("fetch 127.0.0.13")}));
}

TEST(Discovery, StopsAtAStepTheOperatorCancelled) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  FakeNetworkHost host;
  host.setTable({QStringLiteral("  127.0.0.11  00-50-4e-00-00-01  dynamic"),
                 QStringLiteral("  127.0.0.12  00-50-4e-00-00-02  dynamic"),
                 QStringLiteral("  127.0.0.13  00-40-9d-00-00-03  dynamic")});
  host.answering = {QStringLiteral("127.0.0.11"), QStringLiteral("127.0.0.12"), QStringLiteral("127.0.0.13")};
  host.interruptAt = QStringLiteral("ping 127.0.0.12");
  EXPECT_EQ(answeringModules(host), QStringList{QStringLiteral("127.0.0.11")});
  EXPECT_FALSE(host.calls.contains(QStringLiteral("ping 127.0.0.13")));

  host.calls.clear();
  host.interruptAt = QStringLiteral("fetch 127.0.0.11");
  EXPECT_TRUE(DiscoverModules(host).isEmpty());
  EXPECT_EQ(host.calls.last(), QStringLiteral("fetch 127.0.0.11"));

  host.calls.clear();
  host.interruptAt = QStringLiteral("table");
  EXPECT_TRUE(answeringModules(host).isEmpty());
  EXPECT_EQ(host.calls, (QStringList{QStringLiteral("broadcast"), QStringLiteral("table")}));
}

TEST(DiscoveryCommands, WindowsTextsAreTheOriginals) {
  qputenv("comspec", "C:\\WINDOWS\\system32\\cmd.exe");
  const gw::Flavour w = gw::Flavour::Windows;
  EXPECT_EQ(broadcastPingCommand(w), "C:\\WINDOWS\\system32\\cmd.exe /c ping -n 1 -w 150 192.168.0.255");
  EXPECT_EQ(addressTableCommand(QStringLiteral("C:/XAV tools"), w),
            "C:\\WINDOWS\\system32\\cmd.exe /c arp -a>\"C:\\XAV tools\\arp.txt\"");
  EXPECT_EQ(toolboxCommand(QStringLiteral("C:/XAV/Toolbox"), w), "C:\\XAV\\Toolbox\\FieldServerToolbox.exe ");
  EXPECT_TRUE(addressTableIsArpForm(w));
  qunsetenv("comspec");
}

TEST(DiscoveryCommands, PosixTwinsKeepOneEchoTheTimeOutsAndTheBroadcastAddress) {
  const gw::Flavour p = gw::Flavour::Posix;
  EXPECT_EQ(broadcastPingCommand(p), "/bin/sh /c ping -b -n -c 1 -W 0.15 192.168.0.255 >/dev/null 2>&1");
  EXPECT_EQ(addressTableCommand(QStringLiteral("/tmp/w"), p),
            "/bin/sh /c ip neigh show >\"/tmp/w/arp.txt\" 2>/dev/null || cat /proc/net/arp >\"/tmp/w/arp.txt\"");
  EXPECT_EQ(toolboxCommand(QStringLiteral("/opt/xav/Toolbox"), p), "/opt/xav/Toolbox/FieldServerToolbox.exe ");
  EXPECT_FALSE(addressTableIsArpForm(p));
}
