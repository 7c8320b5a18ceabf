// XAVE while utilities are slow, hang, fail or cannot start: the wait with
// its Cancel, closing during an upload, the discovery start error, the
// status line after a save, and Verify.
#include <QFile>
#include <QFrame>
#include <QRegularExpression>

#include <csignal>

#include "files.h"
#include "window_support.h"

namespace xave::testing {
namespace {

class XaveWaitTest : public XaveWindowTest {
 protected:
  QFrame* waitPanel() const { return get<QFrame>("fraWait"); }
  QString statusLine() const { return get<QLabel>("lblStatus")->text(); }
  // A loader left hanging by a failed test must not outlive it.
  void endHungLoaders() {
    for (qint64 pid : env.runningLoaders()) ::kill(static_cast<pid_t>(pid), SIGKILL);
  }
};

TEST_F(XaveWaitTest, HungLoaderShowsWhatItWaitsForAndCancelEndsIt) {
  const QByteArray original = makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Before");
  env.addModule("127.0.0.81", "HANGS", original);
  gw::sharedUtilityRunner().setLongWaitThreshold(300);
  start();
  pick("127.0.0.81");
  type("txtTitle", "After");
  env.setLoaderBehaviour("HANG", "send");

  QString shown;
  bool inputRefused = false, loaderRan = false, sawWait = false;
  whenTrue([&] { return waitPanel()->isVisible(); },
           [&] {
             sawWait = true;
             shown = get<QLabel>("lblWaiting")->text();
             inputRefused = !get<QPushButton>("cmdExit")->isEnabled() && !box("txtTitle")->isEnabled() &&
                            !list()->isEnabled();
             loaderRan = !env.runningLoaders().isEmpty();
             QTest::mouseClick(get<QPushButton>("cmdCancel"), Qt::LeftButton);
           },
           8000, [&] { endHungLoaders(); });
  click("cmdUpdateXAV");  // returns once the run has ended

  ASSERT_TRUE(sawWait);
  EXPECT_TRUE(shown.contains("ruinet")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("127.0.0.81")) << shown.toStdString();
  EXPECT_TRUE(QRegularExpression(": \\d+ s$").match(shown).hasMatch()) << shown.toStdString();
  EXPECT_TRUE(inputRefused);
  EXPECT_TRUE(loaderRan);
  // The loader is gone, the window usable again and plain about what happened.
  EXPECT_TRUE(waitFor([&] { return env.runningLoaders().isEmpty(); }));
  EXPECT_FALSE(waitPanel()->isVisible());
  EXPECT_TRUE(get<QPushButton>("cmdExit")->isEnabled());
  EXPECT_TRUE(get<QPushButton>("cmdUpdateXAV")->isEnabled());
  EXPECT_TRUE(box("txtTitle")->isEnabled());
  EXPECT_EQ(box("txtTitle")->text(), "After") << "the entries stay for another try";
  EXPECT_FALSE(get<QPushButton>("cmdVerify")->isEnabled());
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.lastText(), gw::cancelledOperationMessage("127.0.0.81"));
  EXPECT_TRUE(statusLine().startsWith("Config.csv NOT loaded to 127.0.0.81 at ")) << statusLine().toStdString();
  EXPECT_EQ(env.moduleFile("127.0.0.81", "Config.csv"), original);
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv")));

  // Saving again once the loader behaves sends the file.
  env.setLoaderBehaviour("HANG", {});
  messages.clear();
  click("cmdUpdateXAV");
  EXPECT_TRUE(messages.messages().empty()) << messages.lastText().toStdString();
  EXPECT_TRUE(env.moduleFile("127.0.0.81", "Config.csv").contains("After"));
}

TEST_F(XaveWaitTest, ShortUtilitiesShowNoWait) {
  env.addModule("127.0.0.82", "QUICK", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  // Far beyond a quick run even on a loaded machine: the panel waits for
  // the threshold, it never shows at once.
  gw::sharedUtilityRunner().setLongWaitThreshold(60000);
  start();
  bool sawWait = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { sawWait = sawWait || waitPanel()->isVisible(); });
  watch.start(5);
  pick("127.0.0.82");
  click("cmdUpdateXAV");
  EXPECT_FALSE(sawWait);
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(XaveWaitTest, CloseAskedForDuringAnUploadClosesOnceItEnds) {
  env.addModule("127.0.0.83", "SLOW", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Before"));
  start();
  pick("127.0.0.83");
  type("txtTitle", "Sent while closing");
  env.setLoaderBehaviour("DELAY_MS", "600");
  bool visibleAfterClose = false;
  whenTrue([&] { return window->isWaiting() && !env.runningLoaders().isEmpty(); },
           [&] {
             window->close();
             visibleAfterClose = window->isVisible();
           });
  click("cmdUpdateXAV");
  EXPECT_TRUE(visibleAfterClose) << "the close waits for the loader";
  EXPECT_TRUE(waitFor([&] { return !window->isVisible(); }));
  EXPECT_TRUE(env.moduleFile("127.0.0.83", "Config.csv").contains("Sent while closing"));
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv")));
  EXPECT_FALSE(QFile::exists(env.workFile("C.txt")));
}

TEST_F(XaveWaitTest, DiscoveryThatCannotStartIsToldOnceAndReScanTriesAgain) {
  env.addModule("127.0.0.84", "ONE");
  start();
  ASSERT_TRUE(waitFor([&] { return listed("127.0.0.84"); }));
  ASSERT_TRUE(QFile::remove(env.workFile("ruiping.exe")));
  ASSERT_TRUE(waitFor([&] { return !messages.messages().empty(); }));
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_TRUE(messages.lastText().startsWith("Error starting task \r\n")) << messages.lastText().toStdString();
  EXPECT_EQ(messages.messages()[0].icon, xav::MessageIcon::Exclamation);
  // The scan stops, so no tick can tell it again.
  EXPECT_FALSE(window->isScanning());
  EXPECT_EQ(get<QLabel>("lblScanOn")->text(), "Not scanning");

  ASSERT_TRUE(env.restoreUtility("ruiping.exe"));
  env.addModule("127.0.0.85", "TWO");
  click("cmdReScan");
  EXPECT_TRUE(listed("127.0.0.85"));
  EXPECT_TRUE(window->isScanning());
  EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(XaveWaitTest, LoaderEndingNonZeroIsAFailureNeverSent) {
  env.addModule("127.0.0.86", "GONE", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  pick("127.0.0.86");
  env.removeModule("127.0.0.86");  // the module vanished after the read-back
  click("cmdUpdateXAV");
  EXPECT_TRUE(statusLine().startsWith("Config.csv NOT loaded to 127.0.0.86 at ")) << statusLine().toStdString();
  EXPECT_TRUE(statusLine().contains("exit status 1")) << statusLine().toStdString();
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_TRUE(messages.lastText().contains("exit status 1"));
  EXPECT_FALSE(get<QPushButton>("cmdVerify")->isEnabled());
  EXPECT_TRUE(get<QPushButton>("cmdUpdateXAV")->isEnabled());
  EXPECT_FALSE(window->isScanning());
}

TEST_F(XaveWaitTest, SaveSaysWhatWasSentWhereAndVerifyComparesIt) {
  env.addModule("127.0.0.87", "CHECKED", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  EXPECT_FALSE(get<QPushButton>("cmdVerify")->isEnabled());
  EXPECT_EQ(get<QPushButton>("cmdVerify")->text(), "&Verify");
  pick("127.0.0.87");
  type("txtTitle", "Verified");
  click("cmdUpdateXAV");
  EXPECT_TRUE(QRegularExpression("^Config\\.csv loaded to 127\\.0\\.0\\.87 at \\d\\d:\\d\\d:\\d\\d$")
                  .match(statusLine())
                  .hasMatch())
      << statusLine().toStdString();
  click("cmdVerify");
  EXPECT_TRUE(statusLine().startsWith("Module holds the configuration sent")) << statusLine().toStdString();
  EXPECT_TRUE(messages.messages().empty()) << messages.lastText().toStdString();
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv")));

  // The module keeps line 4 changed: Verify names it.
  click("cmdReScan");
  pick("127.0.0.87");
  env.setLoaderBehaviour("ALTER_LINE", "4");
  click("cmdUpdateXAV");
  click("cmdVerify");
  EXPECT_TRUE(statusLine().contains("line 4 differs")) << statusLine().toStdString();
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_TRUE(messages.lastText().contains("line 4 differs"));
}

}  // namespace
}  // namespace xave::testing
