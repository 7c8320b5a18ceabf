// The window's serial Verify against the simulated module: after a Save the
// Verify button asks the module again and says whether it took the record;
// the record and each Verify leave a service log line.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "connection_type_dialog.h"
#include "messages.h"
#include "module_sim_process.h"
#include "operation_record.h"
#include "serial_routines.h"
#include "test_support.h"
#include "xav_cfg_window.h"

namespace {

using namespace xavcfg;
using xavcfg::testing::control;
using xavcfg::testing::FakeNetworkHost;
using xavcfg::testing::kCom;
using xavcfg::testing::ModuleSimProcess;
using xavcfg::testing::ScratchDir;

struct VerifyRig {
  ScratchDir scratch;
  FakeNetworkHost host;  // the closing steps' discovery stays off the network
  xav::MessageRecorder messages;
  std::unique_ptr<XavCfgWindow> w;

  VerifyRig() {
    xavcfg::testing::writeRecordingLoader(scratch.work());
    XavCfgWindowOptions o;
    o.chooseConnectionType = [](QWidget*) { return ConnectionTypeDialog::kSerial; };
    w = std::make_unique<XavCfgWindow>(o);
  }
  bool connect() {
    if (!w->Form_Load()) return false;
    control<QComboBox>(*w, "cmbComm")->setCurrentText(QStringLiteral("COM %1").arg(kCom));
    QSignalSpy ended(w.get(), &XavCfgWindow::queryEnded);
    w->cmdConnect_Click();
    return ended.wait(20000) && ended.at(0).at(0).toBool();
  }
  // Saves mode 4 with base register 40025 and slave 7, as the operator would.
  bool saveModbusScanner(ModuleSimProcess& sim) {
    control<QRadioButton>(*w, "optMode", 4)->click();
    control<QLineEdit>(*w, "txtBaseReg")->setText(QStringLiteral("40025"));
    control<QLineEdit>(*w, "txtSlave")->setText(QStringLiteral("7"));
    w->cmdUpdateXAV_Click();
    return sim.waitFor(QStringLiteral("RECORD"), 5000) && QTest::qWaitFor([&] { return !w->busy(); }, 30000);
  }
  // Clicks Verify and waits for its end; whether the module held the record.
  bool verify() {
    QSignalSpy ended(w.get(), &XavCfgWindow::serialVerifyEnded);
    QPushButton* button = control<QPushButton>(*w, "cmdVerify");
    EXPECT_TRUE(button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(w->verifying());
    EXPECT_FALSE(button->isEnabled());  // one exchange at a time
    if (!ended.wait(30000)) return false;
    return ended.at(0).at(0).toBool();
  }
  QList<gw::ServiceLogLine> log() const { return w->recorder().log().read(); }
};

TEST(SerialVerifyWindow, PassesAfterAGoodRecordAndTheRecordAndVerifyAreLogged) {
  VerifyRig rig;
  ModuleSimProcess sim({QStringLiteral("--settings"), QStringLiteral("4400010109600")});
  ASSERT_TRUE(sim.ready);
  ASSERT_TRUE(rig.connect()) << qPrintable(rig.messages.lastText());
  EXPECT_FALSE(control<QPushButton>(*rig.w, "cmdVerify")->isVisible());  // nothing sent yet
  ASSERT_TRUE(rig.saveModbusScanner(sim));
  EXPECT_EQ(control<QPushButton>(*rig.w, "cmdVerify")->text(), QStringLiteral("&Verify"));
  rig.messages.clear();
  QSignalSpy connectEnded(rig.w.get(), &XavCfgWindow::queryEnded);

  EXPECT_TRUE(rig.verify());
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_EQ(rig.messages.lastText(), QStringLiteral("Module holds the record sent"));
  EXPECT_EQ(rig.messages.messages()[0].icon, xav::MessageIcon::Information);
  // The Verify's exchange was not taken for a Connect: the modes stay as the
  // Save left them and Connect stays hidden.
  EXPECT_TRUE(connectEnded.isEmpty());
  EXPECT_FALSE(control<QRadioButton>(*rig.w, "optMode", 4)->isEnabled());
  EXPECT_FALSE(control<QPushButton>(*rig.w, "cmdConnect")->isVisible());
  EXPECT_FALSE(control<QPushButton>(*rig.w, "cmdUpdateXAV")->isEnabled());
  EXPECT_EQ(control<QLabel>(*rig.w, "lblCntDn")->text(), QStringLiteral(" "));
  EXPECT_TRUE(control<QLabel>(*rig.w, "lblStatus")->text().contains(QLatin1String("Module holds the record sent")));

  const QList<gw::ServiceLogLine> lines = rig.log();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0].operation, QStringLiteral("serial-record"));
  EXPECT_EQ(lines[0].tool, QStringLiteral("XAV_Cfg"));
  EXPECT_EQ(lines[0].comPort, QStringLiteral("COM %1").arg(kCom));
  EXPECT_EQ(lines[0].protocol, QStringLiteral("Serial Modbus Scanner - (P4)"));
  EXPECT_EQ(lines[0].plcAddress, QStringLiteral("7"));
  EXPECT_TRUE(lines[0].succeeded);
  EXPECT_EQ(lines[1].operation, QStringLiteral("serial-verify"));
  EXPECT_TRUE(lines[1].succeeded);
}

TEST(SerialVerifyWindow, AnIgnoredRecordIsNamedByItsFirstDifferingFieldAndLoggedAsFailed) {
  VerifyRig rig;
  ModuleSimProcess sim({QStringLiteral("--settings"), QStringLiteral("4400010109600"),
                        QStringLiteral("--ignore-record"), QStringLiteral("1")});
  ASSERT_TRUE(sim.ready);
  ASSERT_TRUE(rig.connect()) << qPrintable(rig.messages.lastText());
  ASSERT_TRUE(rig.saveModbusScanner(sim));
  rig.messages.clear();

  EXPECT_FALSE(rig.verify());
  ASSERT_EQ(rig.messages.messages().size(), 1u);
  EXPECT_EQ(rig.messages.messages()[0].icon, xav::MessageIcon::Exclamation);
  EXPECT_EQ(rig.messages.lastText(),
            QStringLiteral("The module does not hold the record sent: Base register sent 40025, module holds 40001."));
  const QList<gw::ServiceLogLine> lines = rig.log();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_FALSE(lines[1].succeeded);
  EXPECT_TRUE(lines[1].reason.contains(QLatin1String("Base register sent 40025")));

  // Verify can be run again; the module still holds the old settings.
  rig.messages.clear();
  EXPECT_FALSE(rig.verify());
  EXPECT_EQ(rig.log().size(), 3);
}

}  // namespace
