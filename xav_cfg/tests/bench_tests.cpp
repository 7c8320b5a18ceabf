// End to end on the bench: the window against the simulated serial module
// on a pseudo-terminal, and the Ethernet side against the bench loader and
// module store with stand-ins for ping and the neighbour table.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "fake_serial_link.h"
#include "connection_type_dialog.h"
#include "xav_cfg_window.h"
#include "messages.h"
#include "module_store.h"
#include "profiles.h"
#include "serial_routines.h"
#include "utility_runner.h"
#include "test_support.h"
#include "module_sim_process.h"

using namespace xavcfg;
using xavcfg::testing::FakeNetworkHost;
using xavcfg::testing::ScratchDir;
using xavcfg::testing::control;
using xavcfg::testing::ModuleSimProcess;
using xavcfg::testing::kCom;
using xavcfg::testing::binDir;

namespace {

struct SerialRig {
  FakeNetworkHost host;  // the closing steps' discovery must stay off the network
  xav::MessageRecorder messages;
  std::unique_ptr<XavCfgWindow> w;

  SerialRig() {
    XavCfgWindowOptions o;
    o.chooseConnectionType = [](QWidget*) { return ConnectionTypeDialog::kSerial; };
    w = std::make_unique<XavCfgWindow>(o);
  }
  // Loads the window, picks the simulated port, connects; the query's outcome.
  bool connect(int waitMs) {
    if (!w->Form_Load()) return false;
    control<QComboBox>(*w, "cmbComm")->setCurrentText(QStringLiteral("COM %1").arg(kCom));
    if (control<QComboBox>(*w, "cmbComm")->currentText() != QStringLiteral("COM %1").arg(kCom)) return false;
    QSignalSpy ended(w.get(), &XavCfgWindow::queryEnded);
    w->cmdConnect_Click();
    if (!ended.wait(waitMs)) return false;
    return ended.at(0).at(0).toBool();
  }
};

QByteArray pad(const QByteArray& head) { return head.leftJustified(45, ' '); }

}  // namespace

TEST(SerialBench, ModuleAnsweringTheSixthAttemptIsAcceptedAfterTheCountdown) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  ModuleSimProcess sim({QStringLiteral("--answer-attempt"), QStringLiteral("6"), QStringLiteral("--settings"),
                        QStringLiteral("4400250709600")});
  ASSERT_TRUE(sim.ready);
  SerialRig rig;
  QStringList shown;
  QObject::connect(rig.w->serial(), &SerialRoutines::countdown, [&] { shown << control<QLabel>(*rig.w, "lblCntDn")->text(); });
  ASSERT_TRUE(rig.connect(20000));
  EXPECT_EQ(shown, (QStringList{QStringLiteral("6"), QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("3"),
                                QStringLiteral("2")}));
  EXPECT_EQ(control<QLabel>(*rig.w, "lblCntDn")->text(), QStringLiteral(" "));
  EXPECT_EQ(sim.count(QStringLiteral("QUERY")), 6);
  EXPECT_TRUE(control<QRadioButton>(*rig.w, "optMode", 4)->isChecked());
  EXPECT_EQ(control<QLineEdit>(*rig.w, "txtBaseReg")->text(), QStringLiteral("40025"));
  EXPECT_EQ(control<QLineEdit>(*rig.w, "txtSlave")->text(), QStringLiteral("7"));
  EXPECT_EQ(rig.messages.messages().size(), 1u);  // only the prompt

  // The line's timing: 0.2 s from each wake-up to its query; 0.5 s reply
  // window, 0.5 s settle and 0.5 s pause from one query to the next
  // wake-up. The tool starts only once the module is ready, and receipt can
  // only lag, so each query reaches the module no sooner than its place in
  // that schedule after READY (the gap between two receipts could shrink
  // under load; this bound cannot).
  ASSERT_TRUE(!sim.events.isEmpty() && sim.events[0].startsWith(QLatin1String("READY")));
  const qint64 ready = sim.times[0];
  int attempt = 0;
  for (int i = 0; i < sim.events.size(); ++i) {
    if (!sim.events[i].startsWith(QLatin1String("QUERY"))) continue;
    EXPECT_GE(sim.times[i] - ready, attempt * 1700 + 200 - 10) << qPrintable(sim.events[i]);
    ++attempt;
  }
  EXPECT_EQ(attempt, 6);

  ASSERT_TRUE(sim.waitFor(QStringLiteral("REPLY"), 10000));
  rig.w->cmdUpdateXAV_Click();
  QString record;
  ASSERT_TRUE(sim.waitFor(QStringLiteral("RECORD "), 10000, &record));
  EXPECT_EQ(record, QStringLiteral("RECORD ") + QString::fromLatin1(pad("@4400250709600")));
  rig.w->close();
  EXPECT_TRUE(sim.waitFor(QStringLiteral("END"), 10000));
  EXPECT_EQ(sim.count(QStringLiteral("NOISE")) + sim.count(QStringLiteral("BAD")), 0);
}

TEST(SerialBench, SilentModuleIsReportedAfterSevenAttemptsAndStillGetsTheEndMarker) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  ModuleSimProcess sim({QStringLiteral("--silent")});
  ASSERT_TRUE(sim.ready);
  SerialRig rig;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(rig.connect(30000));
  EXPECT_GE(clock.elapsed(), 11000);  // 7 x 1.2 s + 6 x 0.5 s
  EXPECT_EQ(sim.count(QStringLiteral("WAKE")), 7);
  EXPECT_EQ(sim.count(QStringLiteral("QUERY")), 7);
  EXPECT_EQ(rig.messages.lastText(), QStringLiteral("Unable to communicate with the XAV Module on COM 5."));
  EXPECT_EQ(control<QLabel>(*rig.w, "lblCntDn")->text(), QStringLiteral(" "));
  EXPECT_TRUE(control<QPushButton>(*rig.w, "cmdConnect")->isVisible());
  EXPECT_FALSE(control<QPushButton>(*rig.w, "cmdUpdateXAV")->isEnabled());
  rig.w->Command4_Click();  // the port stayed open
  EXPECT_TRUE(sim.waitFor(QStringLiteral("END"), 10000));
}

TEST(SerialBench, RecordReceivedByTheModuleIsByteExactForEachMode) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  ModuleSimProcess sim({});
  ASSERT_TRUE(sim.ready);
  struct Case {
    int mode;
    std::function<void(XavCfgWindow&)> enter;
    QByteArray record;
  };
  const Case cases[] = {
      {1, [](XavCfgWindow&) {}, pad("@1" "00000" "00" "00000")},
      {2, [](XavCfgWindow&) {}, pad("@2" "00000" "00" "00000")},
      {3, [](XavCfgWindow& w) { control<QRadioButton>(w, "optSlave", 5)->setChecked(true); }, pad("@3" "00000" "00" "00000").replace(43, 1, "5")},
      {4,
       [](XavCfgWindow& w) {
         control<QLineEdit>(w, "txtBaseReg")->setText(QStringLiteral("40101"));
         control<QLineEdit>(w, "txtSlave")->setText(QStringLiteral("12"));
       },
       pad("@4" "40101" "12" "09600")},
      {5,
       [](XavCfgWindow& w) {
         control<QLineEdit>(w, "txtBaseRegDF1")->setText(QStringLiteral("100"));
         control<QLineEdit>(w, "txtSlaveDF1")->setText(QStringLiteral("3"));
         control<QLineEdit>(w, "txtFileNo")->setText(QStringLiteral("9"));
         control<QComboBox>(w, "Combo1")->setCurrentIndex(1);  // 19200 is shown but never sent
       },
       pad("@5" "00100" "03" "09600" "009")},
      {6, [](XavCfgWindow&) {}, pad("@6" "00000" "00" "00000")},
  };
  for (const Case& c : cases) {
    SerialRig rig;
    ASSERT_TRUE(rig.connect(20000)) << c.mode;
    control<QRadioButton>(*rig.w, "optMode", c.mode)->setChecked(true);
    rig.w->optMode_Click(c.mode);
    c.enter(*rig.w);
    rig.w->cmdUpdateXAV_Click();
    QString record;
    ASSERT_TRUE(sim.waitFor(QStringLiteral("RECORD "), 10000, &record)) << c.mode;
    EXPECT_EQ(record.mid(7).toLatin1(), c.record) << c.mode;
    EXPECT_FALSE(control<QPushButton>(*rig.w, "cmdUpdateXAV")->isEnabled());
    rig.w->close();
    ASSERT_TRUE(sim.waitFor(QStringLiteral("END"), 10000)) << c.mode;
  }
  // Each new run read back what the previous one had sent.
  EXPECT_EQ(sim.count(QStringLiteral("RECORD")), 6);
  EXPECT_EQ(sim.count(QStringLiteral("BAD")) + sim.count(QStringLiteral("NOISE")), 0);
}

TEST(SerialBench, ARecordThatFindsTheModuleHungUpIsReportedAsNotSent) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  ModuleSimProcess sim({QStringLiteral("--settings"), QStringLiteral("1")});
  ASSERT_TRUE(sim.ready);
  SerialRig rig;
  ASSERT_TRUE(rig.connect(20000));
  sim.stop();  // the far end hangs up before Save
  rig.messages.clear();
  rig.w->cmdUpdateXAV_Click();
  const QString status = control<QLabel>(*rig.w, "lblStatus")->text();
  EXPECT_TRUE(status.startsWith(QStringLiteral("Record NOT sent on COM 5 at "))) << qPrintable(status);
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_EQ(rig.messages.messages()[0].icon, xav::MessageIcon::Exclamation);
  EXPECT_TRUE(control<QPushButton>(*rig.w, "cmdUpdateXAV")->isEnabled());  // nothing reads as done
  EXPECT_TRUE(control<QGroupBox>(*rig.w, "FrOptions", 1)->isVisible());
}

TEST(EthernetBench, ModulesAreListedWithTitlesAndASaveUploadsTheGeneratedFile) {
  ScratchDir scratch;
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", QByteArray(XAVCFG_FAKEBIN) + ':' + oldPath);
  const QString pingLog = scratch.path(QStringLiteral("ping.log"));
  qputenv("XAV_FAKE_PING_LOG", pingLog.toLocal8Bit());
  struct Restore {
    QByteArray path;
    ~Restore() {
      qputenv("PATH", path);
      qunsetenv("XAV_FAKE_PING_LOG");
    }
  } restore{oldPath};
  ASSERT_TRUE(QFile::copy(QDir(binDir()).filePath(QStringLiteral("ruinet.exe")),
                          QDir(scratch.work()).filePath(QStringLiteral("ruinet.exe"))));
  QString error;
  ASSERT_TRUE(xav::bench::addModule(QStringLiteral("127.0.0.41"), QStringLiteral("PRESS41"),
                                    xav::bench::defaultConfig(QStringLiteral("Press line")), &error))
      << qPrintable(error);

  xav::testing::FakeSerialLink link;
  xav::MessageRecorder messages;
  XavCfgWindowOptions o;
  o.link = &link;
  o.chooseConnectionType = [](QWidget*) { return ConnectionTypeDialog::kEthernet; };
  XavCfgWindow w(o);
  ASSERT_TRUE(w.Form_Load());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 1);
  EXPECT_EQ(control<QListWidget>(w, "LV1")->item(0)->text(), QStringLiteral("127.0.0.41 : Press line"));
  EXPECT_EQ(control<QListWidget>(w, "LV1")->currentRow(), 0);  // the only module is picked and read back
  EXPECT_EQ(w.ModuleIP, QStringLiteral("127.0.0.41"));
  EXPECT_TRUE(control<QRadioButton>(w, "optEthMode", 3)->isChecked());
  EXPECT_EQ(control<QLineEdit>(w, "txtIPAddress")->text(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Press line"));
  EXPECT_TRUE(messages.messages().empty()) << qPrintable(messages.lastText());

  w.optEthMode_Click(1);
  control<QLineEdit>(w, "txtEIPFile")->setText(QStringLiteral("9"));
  control<QLineEdit>(w, "txtEIPOff")->setText(QStringLiteral("20"));
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("127.0.0.005"));
  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Kiln 2"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(messages.messages().empty()) << qPrintable(messages.lastText());

  gw::ConfigEntries same;
  same.protocol = gw::kPccc;
  same.title = QStringLiteral("Kiln 2");
  same.plcAddress = QStringLiteral("127.0.0.005");
  same.plcAddressValid = true;
  same.fileNumber = QStringLiteral("9");
  same.baseElement = QStringLiteral("20");
  const QByteArray expected = gw::generateConfig(same, QString()).bytes;
  QByteArray stored;
  ASSERT_TRUE(xav::readWholeFile(
      xav::bench::fileInDir(xav::bench::moduleDir(QStringLiteral("127.0.0.41")), QStringLiteral("Config.csv")), &stored));
  EXPECT_EQ(stored, expected);
  EXPECT_TRUE(link.writes.isEmpty());

  // A second module: both listed in table order, none picked.
  ASSERT_TRUE(xav::bench::addModule(QStringLiteral("127.0.0.42"), QStringLiteral("KILN42"),
                                    xav::bench::defaultConfig(QStringLiteral("Kiln")), &error));
  w.cmdReScan_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 2);
  EXPECT_EQ(control<QListWidget>(w, "LV1")->item(0)->text(), QStringLiteral("127.0.0.41 : Kiln 2"));
  EXPECT_EQ(control<QListWidget>(w, "LV1")->item(1)->text(), QStringLiteral("127.0.0.42 : Kiln"));
  EXPECT_EQ(control<QListWidget>(w, "LV1")->currentRow(), -1);

  // Only the broadcast (refused by the stand-in) and the modules were pinged;
  // the neighbour of another maker was passed over.
  QByteArray asked;
  ASSERT_TRUE(xav::readWholeFile(pingLog, &asked));
  EXPECT_FALSE(asked.contains("127.0.0.254"));
  EXPECT_TRUE(asked.contains("192.168.0.255"));
  EXPECT_TRUE(asked.contains("127.0.0.42"));
  EXPECT_FALSE(QFile::exists(QStringLiteral("png.txt")));
  EXPECT_FALSE(QFile::exists(QStringLiteral("arp.txt")));
}

namespace {

// The Ethernet side on the bench: the bench loader in the working
// directory, stand-ins for ping and the neighbour table first on PATH, one
// module in the store, and the window loaded with that module picked.
// Variables that make the bench loader misbehave are removed afterwards.
struct EthernetBenchRig {
  ScratchDir scratch;
  QByteArray oldPath = qgetenv("PATH");
  xav::testing::FakeSerialLink link;
  xav::MessageRecorder messages;
  std::unique_ptr<XavCfgWindow> w;
  int oldLongWait = gw::sharedUtilityRunner().longWaitThreshold();

  EthernetBenchRig() {
    qputenv("PATH", QByteArray(XAVCFG_FAKEBIN) + ':' + oldPath);
    QFile::copy(QDir(binDir()).filePath(QStringLiteral("ruinet.exe")),
                QDir(scratch.work()).filePath(QStringLiteral("ruinet.exe")));
    QString error;
    xav::bench::addModule(QStringLiteral("127.0.0.41"), QStringLiteral("PRESS41"),
                          xav::bench::defaultConfig(QStringLiteral("Press line")), &error);
    XavCfgWindowOptions o;
    o.link = &link;
    o.chooseConnectionType = [](QWidget*) { return ConnectionTypeDialog::kEthernet; };
    w = std::make_unique<XavCfgWindow>(o);
  }
  ~EthernetBenchRig() {
    w.reset();
    qputenv("PATH", oldPath);
    for (const char* name : {"XAV_BENCH_RUINET_HANG", "XAV_BENCH_RUINET_ALTER_LINE", "XAV_BENCH_RUINET_DELAY_MS"})
      qunsetenv(name);
    gw::sharedUtilityRunner().setLongWaitThreshold(oldLongWait);
  }
  bool loaded() {
    return w->Form_Load() && QTest::qWaitFor([&] { return !w->busy(); }, 30000) &&
           control<QListWidget>(*w, "LV1")->currentRow() == 0 && w->ModuleIP == QLatin1String("127.0.0.41");
  }
  QString status() const { return control<QLabel>(*w, "lblStatus")->text(); }
  QString stored() const {
    QByteArray data;
    xav::readWholeFile(
        xav::bench::fileInDir(xav::bench::moduleDir(QStringLiteral("127.0.0.41")), QStringLiteral("Config.csv")), &data);
    return QString::fromLatin1(data);
  }
};

// Processes of this user running the given program file.
int processesRunning(const QString& program) {
  int n = 0;
  const QString target = QFileInfo(program).canonicalFilePath();
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == target) ++n;
  }
  return n;
}

const QRegularExpression kStatusTime(QStringLiteral(" at \\d\\d:\\d\\d:\\d\\d"));

}  // namespace

TEST(EthernetBench, CancelEndsAHungLoaderAndLeavesTheWindowUsable) {
  EthernetBenchRig rig;
  ASSERT_TRUE(rig.loaded()) << qPrintable(rig.messages.lastText());
  XavCfgWindow& w = *rig.w;
  auto* panel = control<QWidget>(w, "fraUtilityWait");
  EXPECT_FALSE(panel->isVisible());  // the fetches were short: no wait shown
  const QString loader = QDir(rig.scratch.work()).filePath(QStringLiteral("ruinet.exe"));

  gw::sharedUtilityRunner().setLongWaitThreshold(300);
  qputenv("XAV_BENCH_RUINET_HANG", "send");
  QString shown;
  bool inputRefused = false;
  int loadersDuringWait = 0;
  bool cancelled = false;
  // Only the hung send is cancelled, once: on a busy machine a fetch, or the
  // second Update below, can outlast the threshold too.
  QObject::connect(&gw::sharedUtilityRunner(), &gw::UtilityRunner::longWait, &w, [&](const gw::UtilityWait& wait) {
    if (cancelled || !wait.commandText.contains(QLatin1String(" -u0 "))) return;
    cancelled = true;
    QTimer::singleShot(0, &w, [&] {  // once the panel has been shown
      shown = control<QLabel>(w, "lblUtilityWait")->text();
      inputRefused = !control<QPushButton>(w, "Command4")->isEnabled() &&
                     !control<QLineEdit>(w, "txtTitle")->isEnabled() && panel->isVisible();
      loadersDuringWait = processesRunning(loader);
      QTest::mouseClick(control<QPushButton>(w, "cmdCancelWait"), Qt::LeftButton);
    });
  });
  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Kiln 3"));
  w.cmdUpdateXAV_Click();  // the Cancel above ends the wait
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on

  EXPECT_TRUE(shown.startsWith(QStringLiteral("Waiting for ruinet (module 127.0.0.41): "))) << qPrintable(shown);
  EXPECT_TRUE(shown.endsWith(QStringLiteral(" s")));
  EXPECT_TRUE(inputRefused);
  EXPECT_EQ(loadersDuringWait, 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return processesRunning(loader) == 0; }, 5000));  // the loader is gone
  ASSERT_FALSE(rig.messages.messages().empty());
  EXPECT_EQ(rig.messages.lastText(), gw::cancelledOperationMessage(QStringLiteral("127.0.0.41")));
  EXPECT_TRUE(rig.messages.lastText().contains(QLatin1String("unknown")));
  EXPECT_TRUE(rig.status().startsWith(QStringLiteral("Config.csv NOT loaded to 127.0.0.41 at "))) << qPrintable(rig.status());
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(rig.stored().contains(QLatin1String("Kiln 3")));

  // The operation stopped there (no closing steps) and the window is usable.
  EXPECT_TRUE(control<QPushButton>(w, "Command4")->isEnabled());
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Kiln 3"));
  EXPECT_TRUE(control<QPushButton>(w, "cmdVerify")->isEnabled());
  qunsetenv("XAV_BENCH_RUINET_HANG");
  rig.messages.clear();
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(rig.messages.messages().empty()) << qPrintable(rig.messages.lastText());
  EXPECT_TRUE(rig.stored().contains(QLatin1String("Kiln 3")));
}

TEST(EthernetBench, TheStatusLineSaysWhatWasLoadedWhereAndAFailedLoaderIsNoSuccess) {
  EthernetBenchRig rig;
  ASSERT_TRUE(rig.loaded()) << qPrintable(rig.messages.lastText());
  XavCfgWindow& w = *rig.w;
  EXPECT_TRUE(rig.status().isEmpty());
  EXPECT_FALSE(control<QPushButton>(w, "cmdVerify")->isVisible());
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(rig.messages.messages().empty()) << qPrintable(rig.messages.lastText());
  EXPECT_TRUE(rig.status().startsWith(QStringLiteral("Config.csv loaded to 127.0.0.41 at "))) << qPrintable(rig.status());
  EXPECT_TRUE(rig.status().contains(kStatusTime));

  // The module vanished after it was picked: the loader ends with status 1.
  QString error;
  ASSERT_TRUE(xav::bench::removeModule(QStringLiteral("127.0.0.41"), &error)) << qPrintable(error);
  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Gone"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(rig.status().startsWith(QStringLiteral("Config.csv NOT loaded to 127.0.0.41 at "))) << qPrintable(rig.status());
  EXPECT_TRUE(rig.status().endsWith(QStringLiteral("ruinet ended with exit status 1."))) << qPrintable(rig.status());
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_TRUE(rig.messages.lastText().startsWith(QStringLiteral("Config.csv was NOT loaded to 127.0.0.41")));
  // Nothing was sent: the window keeps what the operator entered.
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Gone"));
}

TEST(EthernetBench, VerifySaysWhetherTheModuleHoldsWhatWasSent) {
  EthernetBenchRig rig;
  ASSERT_TRUE(rig.loaded()) << qPrintable(rig.messages.lastText());
  XavCfgWindow& w = *rig.w;
  auto* verify = control<QPushButton>(w, "cmdVerify");
  EXPECT_EQ(verify->text(), QStringLiteral("&Verify"));
  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Kiln 4"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  ASSERT_TRUE(verify->isVisible());
  ASSERT_TRUE(verify->isEnabled());
  QSignalSpy verified(&w, &XavCfgWindow::verifyEnded);
  QTest::mouseClick(verify, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return verified.size() == 1; }, 20000));
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_EQ(rig.messages.messages()[0].icon, xav::MessageIcon::Information);
  EXPECT_EQ(rig.messages.lastText(), QStringLiteral("Module holds the configuration sent"));
  EXPECT_TRUE(rig.status().startsWith(QStringLiteral("Verify of 127.0.0.41 at "))) << qPrintable(rig.status());

  // The module keeps line 4 (the title row) changed.
  qputenv("XAV_BENCH_RUINET_ALTER_LINE", "4");
  rig.messages.clear();
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  QTest::mouseClick(verify, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return verified.size() == 2; }, 20000));
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_EQ(rig.messages.messages()[0].icon, xav::MessageIcon::Exclamation);
  EXPECT_TRUE(rig.messages.lastText().contains(QLatin1String("line 4 differs"))) << qPrintable(rig.messages.lastText());
  EXPECT_TRUE(rig.messages.lastText().contains(QLatin1String("[altered]")));
}
