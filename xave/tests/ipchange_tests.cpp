// XAVE's "Change IP Address" over the bench: the dialog, the upload, the
// module reappearing at its new address, and the refusals.
#include <QFile>

#include "files.h"
#include "sessions.h"
#include "window_support.h"

namespace xave::testing {
namespace {

QByteArray lfOnly(QByteArray text) { return text.replace("\r\n", "\n"); }

TEST_F(XaveWindowTest, ChangedAddressIsUploadedAndTheModuleReappearsThere) {
  env.addModule("127.0.0.21", "MOVER", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  env.setModuleFile("127.0.0.21", "fs_tcp.ini", lfOnly(BenchEnv::defaultNetworkSettings("127.0.0.21")));
  start();
  pick("127.0.0.21");
  QString shownIp, shownMask;
  whenDialogShows([&](IpChangeDialog* d) {
    shownIp = d->findChild<QLineEdit*>("txtIP")->text();
    shownMask = d->findChild<QLineEdit*>("txtSubNet")->text();
    d->findChild<QLineEdit*>("txtIP")->setText("127.0.0.41");
    d->findChild<QLineEdit*>("txtSubNet")->setText("255.255.255.0");
    QTest::mouseClick(d->findChild<QPushButton*>("cmdChange"), Qt::LeftButton);
  });
  click("cmdToolbox");
  EXPECT_EQ(shownIp, "127.0.0.21");
  EXPECT_EQ(shownMask, "255.0.0.0");
  EXPECT_TRUE(messages.messages().empty());

  // After the module's restart time the list is scanned afresh.
  EXPECT_TRUE(waitFor([&] { return !window->isChangingAddress() && listed("127.0.0.41"); }, 10000));
  EXPECT_FALSE(listed("127.0.0.21"));
  EXPECT_FALSE(env.hasModule("127.0.0.21"));
  QByteArray expected = BenchEnv::defaultNetworkSettings("127.0.0.21");
  expected.replace("N1_IP = 127.0.0.21", "N1_IP = 127.0.0.41").replace("N1_NETMASK = 255.0.0.0", "N1_NETMASK = 255.255.255.0");
  // CR LF throughout, and no empty line added at the end.
  EXPECT_EQ(env.moduleFile("127.0.0.41", "fs_tcp.ini"), expected);
  EXPECT_TRUE(window->isScanning());
  EXPECT_FALSE(get<QPushButton>("cmdToolbox")->isEnabled());
}

TEST_F(XaveWindowTest, EscapeSendsNothingAndRefusedValuesAreNeverWritten) {
  env.addModule("127.0.0.22", "STAY", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  const QByteArray settings = env.moduleFile("127.0.0.22", "fs_tcp.ini");
  start();
  pick("127.0.0.22");
  QStringList refusals;
  bool stillOpen = false;
  whenDialogShows([&](IpChangeDialog* d) {
    auto* ip = d->findChild<QLineEdit*>("txtIP");
    auto* mask = d->findChild<QLineEdit*>("txtSubNet");
    auto* change = d->findChild<QPushButton*>("cmdChange");
    for (const char* bad : {"192.168.1", "192.168.1.300", "a.b.c.d", ""}) {
      ip->setText(QString::fromLatin1(bad));
      QTest::mouseClick(change, Qt::LeftButton);
      refusals << messages.lastText();
      messages.clear();
    }
    ip->setText("127.0.0.42");
    mask->setText("255.255.0");
    QTest::mouseClick(change, Qt::LeftButton);
    refusals << messages.lastText();
    stillOpen = d->isVisible();
    QTest::mouseClick(d->findChild<QPushButton*>("cmdEscape"), Qt::LeftButton);
  });
  click("cmdToolbox");
  ASSERT_EQ(refusals.size(), 5);
  for (const QString& r : refusals) EXPECT_FALSE(r.isEmpty());
  EXPECT_TRUE(stillOpen);
  QByteArray local;
  ASSERT_TRUE(xav::readWholeFile(env.workFile("fs_tcp.ini"), &local));
  EXPECT_EQ(local, settings) << "the fetched file stays as it came";
  EXPECT_EQ(env.moduleFile("127.0.0.22", "fs_tcp.ini"), settings);
  // The window still re-scans afterwards.
  EXPECT_TRUE(waitFor([&] { return !window->isChangingAddress() && listed("127.0.0.22"); }, 10000));
  EXPECT_TRUE(window->isScanning());
}

TEST_F(XaveWindowTest, SettingsFileMissingOrShortIsReportedAndNothingIsSent) {
  env.addModule("127.0.0.23", "SHORT", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  env.addModule("127.0.0.24", "NOFILE", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  const QByteArray shortFile = "[TCP]\r\nN1_DHCP = off\r\nN1_NAME = XAV\r\nN1_PORT = 0\r\nN1_IP = 127.0.0.23\r\n";
  env.setModuleFile("127.0.0.23", "fs_tcp.ini", shortFile);
  env.removeModuleFile("127.0.0.24", "fs_tcp.ini");
  // A settings file of another module left in the working directory must not stand in for a failed fetch.
  xav::writeWholeFile(env.workFile("fs_tcp.ini"), BenchEnv::defaultNetworkSettings("127.0.0.99"));
  start();
  bool dialogShown = false;
  whenDialogShows([&](IpChangeDialog* d) {
    dialogShown = true;
    d->reject();
  });
  for (const char* address : {"127.0.0.23", "127.0.0.24"}) {
    pick(QString::fromLatin1(address));
    messages.clear();
    click("cmdToolbox");
    EXPECT_EQ(messages.messages().size(), 1u) << address;
    EXPECT_TRUE(messages.lastText().contains(QString::fromLatin1(address))) << messages.lastText().toStdString();
    EXPECT_TRUE(waitFor([&] { return !window->isChangingAddress() && window->isScanning(); }, 10000));
  }
  EXPECT_FALSE(dialogShown);
  EXPECT_EQ(env.moduleFile("127.0.0.23", "fs_tcp.ini"), shortFile);
  EXPECT_TRUE(env.moduleFile("127.0.0.24", "fs_tcp.ini").isNull());
  EXPECT_TRUE(env.hasModule("127.0.0.23"));
  EXPECT_TRUE(env.hasModule("127.0.0.24"));
}

}  // namespace
}  // namespace xave::testing

namespace xave::testing {
namespace {

TEST_F(XaveWindowTest, ModuleNotAnsweringGetsTheLoadersAddressModeThenARescan) {
  env.addModule("127.0.0.25", "LOST", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  env.setPingDown({"127.0.0.25"});
  start();
  pick("127.0.0.25");
  ASSERT_TRUE(get<QPushButton>("cmdToolbox")->isEnabled()) << "the only module listed may have its address changed";
  messages.clear();
  bool dialogShown = false;
  whenDialogShows([&](IpChangeDialog* d) {
    dialogShown = true;
    d->reject();
  });
  click("cmdToolbox");
  EXPECT_FALSE(dialogShown);
  EXPECT_TRUE(messages.messages().empty()) << messages.lastText().toStdString();
  EXPECT_TRUE(waitFor([&] { return !window->isChangingAddress() && listed("127.0.0.25"); }, 10000));
  EXPECT_TRUE(window->isScanning());
  EXPECT_FALSE(get<QPushButton>("cmdToolbox")->isEnabled());
}

}  // namespace
}  // namespace xave::testing

namespace xave::testing {
namespace {

TEST_F(XaveWindowTest, AddressesWithLeadingZerosGoOutInNormalForm) {
  env.addModule("127.0.0.27", "ZEROS", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Zeros"));
  // A listing that writes the module's address with leading zeros; read as
  // octal, "027" would be another host.
  ASSERT_TRUE(env.replaceDiscoveryWith("BRIDGE NAME                    IP ADDRESS\r\n==========\r\n" +
                                       QByteArray("ZEROS").leftJustified(31, ' ') + "127.000.000.027\r\n"));
  start();
  pick("127.000.000.027");
  EXPECT_EQ(box("txtTitle")->text(), "Zeros") << "pinged and fetched at 127.0.0.27";
  EXPECT_TRUE(messages.messages().empty()) << messages.lastText().toStdString();

  whenDialogShows([&](IpChangeDialog* d) {
    d->findChild<QLineEdit*>("txtIP")->setText("127.000.000.043");
    d->findChild<QLineEdit*>("txtSubNet")->setText("255.255.255.000");
    QTest::mouseClick(d->findChild<QPushButton*>("cmdChange"), Qt::LeftButton);
  });
  click("cmdToolbox");
  EXPECT_TRUE(waitFor([&] { return !window->isChangingAddress(); }, 10000));
  ASSERT_TRUE(env.hasModule("127.0.0.43"));
  const QByteArray settings = env.moduleFile("127.0.0.43", "fs_tcp.ini");
  EXPECT_TRUE(settings.contains("\r\nN1_IP = 127.0.0.43\r\nN1_NETMASK = 255.255.255.0\r\n")) << settings.constData();
  const QStringList pinged = env.pingedAddresses();
  ASSERT_FALSE(pinged.isEmpty());
  for (const QString& a : pinged) EXPECT_EQ(a, "127.0.0.27");
}

}  // namespace
}  // namespace xave::testing

namespace xave::testing {
namespace {

// The session under the dialog: it pauses after the fetch with the module's
// own values, and neither a refused value nor a cancel sends anything; given
// the values at its start it does not pause.
TEST_F(XaveWindowTest, AskingIpChangeSendsNothingUntilGoodValuesArrive) {
  env.addModule("127.0.0.28", "ASKED", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  const QByteArray settings = env.moduleFile("127.0.0.28", "fs_tcp.ini");
  gw::UtilityRunner runner;
  gw::IpChangeSession session(runner, env.workDir());
  QString shownIp, shownMask;
  QObject::connect(&session, &gw::IpChangeSession::settingsFetched, [&](const QString& ip, const QString& mask) {
    shownIp = ip;
    shownMask = mask;
  });
  QList<gw::SessionOutcome> ends;
  QObject::connect(&session, &gw::Session::finished, [&](const gw::SessionOutcome& o) { ends << o; });

  ASSERT_TRUE(session.startAsking("127.0.0.28"));
  ASSERT_TRUE(waitFor([&] { return session.isAsking(); }));
  EXPECT_EQ(shownIp, "127.0.0.28");
  EXPECT_EQ(shownMask, "255.0.0.0");
  session.cancel();
  ASSERT_TRUE(waitFor([&] { return ends.size() == 1; }));
  EXPECT_EQ(ends[0].failure, gw::SessionFailure::Cancelled);
  EXPECT_FALSE(ends[0].configurationUnknown()) << "nothing was being sent";
  session.proceed("127.0.0.45", "");  // too late: the cancel decided
  QByteArray local;
  ASSERT_TRUE(xav::readWholeFile(env.workFile("fs_tcp.ini"), &local));
  EXPECT_EQ(local, settings) << "the fetched file stays as it came";

  ASSERT_TRUE(session.startAsking("127.0.0.28"));
  ASSERT_TRUE(waitFor([&] { return session.isAsking(); }));
  session.proceed("127.0.0.300", "");
  ASSERT_TRUE(waitFor([&] { return ends.size() == 2; }));
  EXPECT_EQ(ends[1].failure, gw::SessionFailure::InvalidEntries);
  EXPECT_EQ(env.moduleFile("127.0.0.28", "fs_tcp.ini"), settings);
  EXPECT_TRUE(env.hasModule("127.0.0.28"));

  // Given the values at the start (a script's way), it goes straight through, keeping the mask.
  ASSERT_TRUE(session.start("127.0.0.28", "127.0.0.46"));
  ASSERT_TRUE(waitFor([&] { return ends.size() == 3; }));
  EXPECT_TRUE(ends[2].succeeded()) << ends[2].message.toStdString();
  EXPECT_EQ(ends[2].newMask, "255.0.0.0");
  EXPECT_TRUE(waitFor([&] { return env.hasModule("127.0.0.46"); }));
}

}  // namespace
}  // namespace xave::testing
