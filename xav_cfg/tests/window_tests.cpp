#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QApplication>

#include "colours.h"
#include "fake_serial_link.h"
#include "connection_type_dialog.h"
#include "xav_cfg_window.h"
#include "messages.h"
#include "profiles.h"
#include "serial_routines.h"
#include "test_support.h"
#include "window_rig.h"

using namespace xavcfg;
using xav::testing::FakeSerialLink;
using xavcfg::testing::FakeNetworkHost;
using xavcfg::testing::ScratchDir;
using xavcfg::testing::control;

namespace {

using Rig = xavcfg::testing::WindowRig;

QByteArray reply(const QByteArray& head) { return head.leftJustified(44, ' '); }
QByteArray pad45(const QByteArray& head) { return head.leftJustified(45, ' '); }
bool white(const QLineEdit* e) { return e->palette().color(QPalette::Base).rgb() == xav::colours::White; }
bool lightRed(const QLineEdit* e) { return e->palette().color(QPalette::Base).rgb() == xav::colours::LightRed; }

}  // namespace

TEST(FrmXAVSerial, StartsWithPortsListedAndModesDisabled) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("XAV Configuration V2.04"));
  EXPECT_TRUE(control<QGroupBox>(w, "Frame1")->isVisible());
  EXPECT_FALSE(control<QGroupBox>(w, "Frame2")->isVisible());
  EXPECT_FALSE(control<QLineEdit>(w, "txtTitle")->isVisible());
  EXPECT_EQ(control<QComboBox>(w, "cmbComm")->count(), 16);
  EXPECT_EQ(control<QComboBox>(w, "cmbComm")->currentText(), QStringLiteral("COM 1"));
  EXPECT_TRUE(control<QPushButton>(w, "cmdConnect")->isVisible());
  EXPECT_FALSE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  for (int m : {1, 2, 3, 4, 5, 6, 8}) EXPECT_FALSE(control<QRadioButton>(w, "optMode", m)->isEnabled()) << m;
  EXPECT_EQ(control<QRadioButton>(w, "optMode", 5)->text(), QStringLiteral("Serial DF1 Scanner -  (P5)"));
  EXPECT_EQ(control<QGroupBox>(w, "Frame2")->title(), QStringLiteral("Etherner Modules"));
  EXPECT_TRUE(r.messages.messages().empty());
  EXPECT_TRUE(r.host.calls.isEmpty());  // no discovery in the serial layout
  EXPECT_FALSE(QFile::exists(QStringLiteral("testFile.txt")));
}

TEST(FrmXAVSerial, QueryLoadsTheDf1SettingsAndSaveSendsTheirRecord) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith(reply("5" "00300" "07" "09600" "042"));
  ASSERT_GE(r.messages.messages().size(), 1u);
  EXPECT_EQ(r.messages.messages()[0].icon, xav::MessageIcon::Information);
  EXPECT_TRUE(r.messages.messages()[0].text.startsWith(
      QStringLiteral("BEFORE CONTINUING, MAKE SURE THE FOLLOWING STEPS ARE COMPLETE:\r\n\r\n[1] Attach serial cable")));
  EXPECT_EQ(r.messages.messages().size(), 1u);
  EXPECT_EQ(w.CurrentMode, 5);
  EXPECT_TRUE(control<QRadioButton>(w, "optMode", 5)->isChecked());
  EXPECT_TRUE(control<QGroupBox>(w, "FrOptions", 5)->isVisible());
  EXPECT_TRUE(control<QLineEdit>(w, "txtDistScanCnt")->isVisible());  // a scanner mode
  EXPECT_FALSE(control<QPushButton>(w, "cmdConnect")->isVisible());
  EXPECT_FALSE(control<QComboBox>(w, "cmbComm")->isVisible());
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_EQ(control<QLabel>(w, "lblCntDn")->text(), QStringLiteral(" "));
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("216"));  // 300 is clamped
  EXPECT_EQ(control<QLineEdit>(w, "txtSlaveDF1")->text(), QStringLiteral("7"));
  EXPECT_EQ(control<QLineEdit>(w, "txtFileNo")->text(), QStringLiteral("42"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N42:216 - N42:235"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDF1Req")->text(), QStringLiteral("N42:236 - N42:255"));
  for (int m = 1; m <= 6; ++m) EXPECT_TRUE(control<QRadioButton>(w, "optMode", m)->isEnabled());
  EXPECT_FALSE(control<QRadioButton>(w, "optMode", 8)->isEnabled());

  control<QComboBox>(w, "Combo1")->setCurrentIndex(1);  // 19200 is not sent
  r.link.writes.clear();
  w.cmdUpdateXAV_Click();
  EXPECT_EQ(r.link.written(), "@5" "00216" "07" "09600" "042" + QByteArray(28, ' ') + "\r");
  const QString status = control<QLabel>(w, "lblStatus")->text();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Record sent on COM 1 at \\d\\d:\\d\\d:\\d\\d$")).match(status).hasMatch())
      << qPrintable(status);
  EXPECT_FALSE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_FALSE(control<QGroupBox>(w, "FrOptions", 5)->isVisible());
  EXPECT_FALSE(control<QRadioButton>(w, "optMode", 5)->isEnabled());
  EXPECT_TRUE(control<QLineEdit>(w, "txtTitle")->text().isEmpty());
  EXPECT_TRUE(r.host.calls.contains(QStringLiteral("broadcast")));  // the module list is refreshed
}

TEST(FrmXAVSerial, UnknownModeDigitKeepsTheToolUsableAndNothingIsSentWithoutAMode) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith(reply("8" "00000" "00" "00000"));
  ASSERT_EQ(r.messages.messages().size(), 2u);
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("mode (8) that this tool does not know")));
  for (int m = 1; m <= 6; ++m) EXPECT_FALSE(control<QRadioButton>(w, "optMode", m)->isChecked());
  EXPECT_FALSE(control<QPushButton>(w, "cmdConnect")->isVisibleTo(&w));  // the port box goes with Connect
  EXPECT_FALSE(control<QComboBox>(w, "cmbComm")->isVisibleTo(&w));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());

  r.link.writes.clear();
  w.cmdUpdateXAV_Click();  // no mode: nothing on the line, and the operator is told
  EXPECT_TRUE(r.link.writes.isEmpty());
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("No serial mode is selected")));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_TRUE(r.host.calls.isEmpty());

  QTest::mouseClick(control<QRadioButton>(w, "optMode", 2), Qt::LeftButton, {}, QPoint(6, control<QRadioButton>(w, "optMode", 2)->height() / 2));
  ASSERT_TRUE(control<QRadioButton>(w, "optMode", 2)->isChecked());
  EXPECT_TRUE(control<QGroupBox>(w, "FrOptions", 2)->isVisible());
  EXPECT_FALSE(control<QLineEdit>(w, "txtDistScanCnt")->isVisible());
  w.cmdUpdateXAV_Click();
  EXPECT_EQ(r.link.written(), "@2" "00000" "00" "00000" + QByteArray(31, ' ') + "\r");
}

TEST(FrmXAVSerial, DigitalSwitchRangesAreReadAndUnknownOnesReported) {
  {
    Rig r(ConnectionTypeDialog::kSerial);
    ASSERT_TRUE(r.load());
    r.connectWith(reply("3" "00000" "00" "00000" + QByteArray(29, ' ') + "4"));
    EXPECT_TRUE(control<QRadioButton>(*r.w, "optSlave", 4)->isChecked());
    EXPECT_EQ(r.w->GetSlaveMode(), QStringLiteral("4"));
    EXPECT_EQ(r.messages.messages().size(), 1u);
  }
  {
    Rig r(ConnectionTypeDialog::kSerial);
    ASSERT_TRUE(r.load());
    r.connectWith(reply("3" "00000" "00" "00000" + QByteArray(29, ' ') + "9"));
    EXPECT_TRUE(control<QRadioButton>(*r.w, "optMode", 3)->isChecked());
    EXPECT_TRUE(control<QRadioButton>(*r.w, "optSlave", 0)->isChecked());
    EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("slave range (9)")));
    // "None" is only shown, not chosen: Save refuses until a range is picked.
    r.link.writes.clear();
    r.w->cmdUpdateXAV_Click();
    EXPECT_TRUE(r.link.writes.isEmpty());
    EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("Select the slave range"))) << qPrintable(r.messages.lastText());
    EXPECT_TRUE(control<QPushButton>(*r.w, "cmdUpdateXAV")->isEnabled());
    QTest::mouseClick(control<QRadioButton>(*r.w, "optSlave", 0), Qt::LeftButton, {}, QPoint(6, control<QRadioButton>(*r.w, "optSlave", 0)->height() / 2));
    r.w->cmdUpdateXAV_Click();
    EXPECT_EQ(r.link.written(), pad45("@3" "00000" "00" "00000").replace(43, 1, "0") + "\r");
  }
  {
    Rig r(ConnectionTypeDialog::kSerial);  // a 30-character reply has no column 43: "None"
    ASSERT_TRUE(r.load());
    control<QRadioButton>(*r.w, "optSlave", 2)->setChecked(true);
    r.connectWith(QByteArray("3").leftJustified(30, '0'));
    EXPECT_TRUE(control<QRadioButton>(*r.w, "optSlave", 0)->isChecked());
  }
}

TEST(FrmXAVSerial, ModbusScannerFieldsAndOversizedValuesAreRefusedAtSave) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith(reply("4" "00040" "17" "09600"));
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseReg")->text(), QStringLiteral("40"));
  EXPECT_EQ(control<QLineEdit>(w, "Text3")->text(), QStringLiteral("79"));
  EXPECT_EQ(control<QLineEdit>(w, "txtSlave")->text(), QStringLiteral("17"));
  control<QLineEdit>(w, "txtSlave")->setText(QStringLiteral("123"));
  r.link.writes.clear();
  w.cmdUpdateXAV_Click();
  EXPECT_TRUE(r.link.writes.isEmpty());
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("PLC Slave Address")));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());  // the window is left as it was
  EXPECT_TRUE(control<QGroupBox>(w, "FrOptions", 4)->isVisible());
  control<QLineEdit>(w, "txtSlave")->setText(QStringLiteral("12"));
  control<QLineEdit>(w, "txtBaseReg")->clear();
  r.link.close();  // the adapter went away: the record must not vanish unnoticed
  w.cmdUpdateXAV_Click();
  EXPECT_TRUE(r.link.writes.isEmpty());
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("no longer open")));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_TRUE(control<QRadioButton>(w, "optMode", 4)->isEnabled());
  r.link.open(1);
  w.cmdUpdateXAV_Click();
  EXPECT_EQ(r.link.written(), "@4" "00000" "12" "09600" + QByteArray(31, ' ') + "\r");
}

TEST(FrmXAVSerial, PortThatWillNotOpenAndSilentModule) {
  Rig r(ConnectionTypeDialog::kSerial);
  r.link.openable = false;
  ASSERT_TRUE(r.load());
  EXPECT_EQ(control<QComboBox>(*r.w, "cmbComm")->count(), 0);
  r.w->cmdConnect_Click();
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Unable to open COM Port 0"));
  EXPECT_TRUE(control<QPushButton>(*r.w, "cmdConnect")->isVisibleTo(r.w.get()));
  EXPECT_TRUE(r.link.writes.isEmpty());
}

TEST(FrmXAVSerial, ClosingSendsTheEndMarkerOnAnOpenPortAndRemovesConfigCsv) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  r.scratch.writeWork(QStringLiteral("config.csv"), "x");
  r.w->serial()->openPort(1);  // as after a failed query: the port stays open
  r.w->Command4_Click();
  EXPECT_EQ(r.link.written(), QByteArray("@\r\n"));
  EXPECT_FALSE(QFile::exists(QStringLiteral("config.csv")));
  Rig closed(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(closed.load());
  closed.w->close();
  EXPECT_TRUE(closed.link.writes.isEmpty());
}

TEST(FrmXAVStart, ExitInTheDialogOrAMissingLoaderEndsTheProgram) {
  {
    Rig r(ConnectionTypeDialog::kEndProgram);
    EXPECT_FALSE(r.load());
  }
  {
    Rig r(ConnectionTypeDialog::kSerial);
    QFile::remove(QStringLiteral("ruinet.exe"));
    EXPECT_FALSE(r.load());
    ASSERT_EQ(r.messages.messages().size(), 1u);
    EXPECT_EQ(r.messages.messages()[0].icon, xav::MessageIcon::Critical);
    EXPECT_EQ(r.messages.lastText(), QStringLiteral("Ruinet.exe not found.\r\n\r\nThis program will close."));
    EXPECT_TRUE(r.messages.messages()[0].detail.contains(QStringLiteral("libexec/xav-tools/bench/")));
  }
  {
    ScratchDir scratch;
    xav::MessageRecorder messages;
    ConnectionTypeDialog dialog(QStringLiteral("XAV Configuration V2.04"));
    dialog.cmdEthernet_Click();
    EXPECT_EQ(dialog.ConnectionType, ConnectionTypeDialog::kEndProgram);
    EXPECT_TRUE(messages.lastText().startsWith(QStringLiteral("Ruinet.exe not found in the current directory\r\n")));
    EXPECT_TRUE(messages.messages().back().detail.contains(QStringLiteral("ln -sf ")));
    scratch.writeWork(QStringLiteral("RUINET.EXE"), "x");
    ConnectionTypeDialog again(QStringLiteral("XAV Configuration V2.04"));
    again.cmdEthernet_Click();
    EXPECT_EQ(again.ConnectionType, ConnectionTypeDialog::kEthernet);
    ConnectionTypeDialog serial(QStringLiteral("XAV Configuration V2.04"));
    serial.cmdSerial_Click();
    EXPECT_EQ(serial.ConnectionType, ConnectionTypeDialog::kSerial);
  }
}

TEST(FrmXAVStart, TheStartDialogTakesTheCaptionAndSetsTheConnectionType) {
  ScratchDir scratch;
  xavcfg::testing::writeRecordingLoader(scratch.work());
  FakeSerialLink link;
  FakeNetworkHost host;
  xav::MessageRecorder messages;
  XavCfgWindowOptions o;
  o.link = &link;
  XavCfgWindow w(o);  // no chooser: the real modal dialog
  QString caption;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ConnectionTypeDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    caption = dialog->windowTitle();
    dialog->findChild<QPushButton*>(QStringLiteral("cmdEthernet"))->click();
  });
  ASSERT_TRUE(w.Form_Load());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));
  EXPECT_EQ(caption, QStringLiteral("XAV Configuration V2.04"));
  EXPECT_EQ(w.ConnectionType, ConnectionTypeDialog::kEthernet);
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_TRUE(control<QGroupBox>(w, "Frame2")->isVisible());
  EXPECT_EQ(host.calls.first(), QStringLiteral("broadcast"));
}

TEST(FrmXAVEntryRules, Df1BaseRegisterFileNumberAndDistributorCount) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  control<QRadioButton>(w, "optMode", 5)->setChecked(true);
  w.optMode_Click(5);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N12:0 - N12:19"));
  control<QLineEdit>(w, "txtBaseRegDF1")->setText(QStringLiteral("300"));
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("216"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N12:216 - N12:235"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDF1Req")->text(), QStringLiteral("N12:236 - N12:255"));
  control<QLineEdit>(w, "txtBaseRegDF1")->clear();
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("0"));
  control<QLineEdit>(w, "txtBaseRegDF1")->setFocus();
  control<QLineEdit>(w, "txtBaseRegDF1")->end(false);
  QTest::keyClick(control<QLineEdit>(w, "txtBaseRegDF1"), Qt::Key_5, {}, -1);
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("5"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N12:5 - N12:24"));
  QTest::keyClick(control<QLineEdit>(w, "txtBaseRegDF1"), Qt::Key_Backspace);  // emptied: back to 0 at once
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("0"));
  QTest::keyClick(control<QLineEdit>(w, "txtBaseRegDF1"), Qt::Key_Backspace);
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("0"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N12:0 - N12:19"));
  QTest::keyClicks(control<QLineEdit>(w, "txtBaseRegDF1"), QStringLiteral("17"));
  EXPECT_EQ(control<QLineEdit>(w, "txtBaseRegDF1")->text(), QStringLiteral("17"));
  QTest::keyClicks(control<QLineEdit>(w, "txtDf1Pos"), QStringLiteral("9"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDf1Pos")->text(), QStringLiteral("N12:17 - N12:36"));

  for (const char* refused : {"8", "6", "257"}) {
    control<QLineEdit>(w, "txtFileNo")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return control<QLineEdit>(w, "txtFileNo")->hasFocus(); }, 5000));
    control<QLineEdit>(w, "txtFileNo")->setText(QString::fromLatin1(refused));
    QTest::keyClick(control<QLineEdit>(w, "txtFileNo"), Qt::Key_Tab);
    EXPECT_EQ(control<QLineEdit>(w, "txtFileNo")->text(), QStringLiteral("0")) << refused;
    ASSERT_TRUE(QTest::qWaitFor([&] { return control<QLineEdit>(w, "txtFileNo")->hasFocus(); }, 5000));
    EXPECT_EQ(control<QLineEdit>(w, "txtFileNo")->selectedText(), QStringLiteral("0"));
  }
  control<QLineEdit>(w, "txtFileNo")->setText(QStringLiteral("256"));
  QTest::keyClick(control<QLineEdit>(w, "txtFileNo"), Qt::Key_Tab);
  EXPECT_EQ(control<QLineEdit>(w, "txtFileNo")->text(), QStringLiteral("256"));
  QTest::qWait(0);  // an accepted number queues no refocus
  EXPECT_FALSE(control<QLineEdit>(w, "txtFileNo")->hasFocus());

  control<QLineEdit>(w, "txtDistScanCnt")->setFocus();
  QTest::keyClicks(control<QLineEdit>(w, "txtDistScanCnt"), QStringLiteral("7"));
  QTest::keyClick(control<QLineEdit>(w, "txtDistScanCnt"), Qt::Key_Backspace);
  QTest::keyClick(control<QLineEdit>(w, "txtDistScanCnt"), Qt::Key_Delete);
  EXPECT_EQ(control<QLineEdit>(w, "txtDistScanCnt")->text(), QStringLiteral("20"));
  EXPECT_EQ(control<QLineEdit>(w, "txtDistScanCnt")->selectedText(), QStringLiteral("20"));
}

TEST(FrmXAVEntryRules, EthernetPaneColoursTitleAndSlot) {
  Rig r(ConnectionTypeDialog::kEthernet);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_TRUE(lightRed(control<QLineEdit>(w, "txtIPAddress")));
  for (const char* bad : {"192.168.1", "192.168..1", "192.168.1.300"}) {
    control<QLineEdit>(w, "txtIPAddress")->setText(QString::fromLatin1(bad));
    EXPECT_TRUE(lightRed(control<QLineEdit>(w, "txtIPAddress"))) << bad;
  }
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("192.168.1.1"));
  EXPECT_TRUE(white(control<QLineEdit>(w, "txtIPAddress")));
  EXPECT_EQ(w.PlcIP, QStringLiteral("192.168.1.1"));
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("1.2.3"));
  EXPECT_EQ(w.PlcIP, QStringLiteral("192.168.1.1"));  // kept while invalid

  control<QLineEdit>(w, "txtEIPFile")->setText(QStringLiteral("6"));
  w.optEthMode_Click(1);
  EXPECT_TRUE(lightRed(control<QLineEdit>(w, "txtEIPFile")));
  EXPECT_TRUE(control<QLineEdit>(w, "txtEIPFile")->isVisible());
  EXPECT_FALSE(control<QLineEdit>(w, "txtMBReg")->isVisible());
  w.optEthMode_Click(3);
  EXPECT_TRUE(control<QLineEdit>(w, "txtMBReg")->isVisible());
  EXPECT_FALSE(control<QLineEdit>(w, "txtEIPFile")->isVisible());
  control<QLineEdit>(w, "txtMBReg")->setText(QStringLiteral("40000"));
  EXPECT_TRUE(lightRed(control<QLineEdit>(w, "txtMBReg")));
  w.optEthMode_Click(2);
  EXPECT_TRUE(control<QLineEdit>(w, "txtEipPath")->isVisible());
  EXPECT_TRUE(control<QLabel>(w, "lblEipCipDesc")->isVisible());

  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  control<QLineEdit>(w, "txtTitle")->setFocus();
  QTest::keyClicks(control<QLineEdit>(w, "txtTitle"), QStringLiteral("Line,4"));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Line4"));
  control<QLineEdit>(w, "txtEipPath")->setFocus();
  control<QLineEdit>(w, "txtEipPath")->setText(QStringLiteral("123"));
  QTest::keyClick(control<QLineEdit>(w, "txtEipPath"), Qt::Key_5, {}, -1);
  EXPECT_EQ(control<QLineEdit>(w, "txtEipPath")->text(), QStringLiteral("53"));
}

TEST(FrmXAVEthernet, SingleModuleIsPickedAndReadBackAndSaveUploadsTheGeneratedFile) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic")});
  r.host.answering = {QStringLiteral("127.0.0.21")};
  r.host.configs[QStringLiteral("127.0.0.21")] = xavcfg::testing::configWithTitle(
      QStringLiteral("//3-MODBUS/TCP, 127.0.0.1, 40011"), QStringLiteral("Press 7"), "//RVSIM_Captions\r\nA,pos");
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_FALSE(control<QGroupBox>(w, "Frame1")->isVisible());
  EXPECT_TRUE(control<QGroupBox>(w, "Frame2")->isVisible());
  EXPECT_TRUE(control<QGroupBox>(w, "FrOptions", 7)->isVisible());
  EXPECT_TRUE(control<QLineEdit>(w, "txtTitle")->isVisible());
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 1);
  EXPECT_EQ(control<QListWidget>(w, "LV1")->item(0)->text(), QStringLiteral("127.0.0.21 : Press 7"));
  EXPECT_EQ(control<QListWidget>(w, "LV1")->currentRow(), 0);
  EXPECT_EQ(w.ModuleIP, QStringLiteral("127.0.0.21"));
  EXPECT_EQ(r.host.calls.count(QStringLiteral("fetch 127.0.0.21")), 2);  // title, then the pick
  EXPECT_TRUE(control<QRadioButton>(w, "optEthMode", 3)->isChecked());
  EXPECT_EQ(control<QLineEdit>(w, "txtMBReg")->text(), QStringLiteral("40011"));
  EXPECT_EQ(control<QLineEdit>(w, "txtIPAddress")->text(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Press 7"));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());

  gw::ConfigEntries expected;
  expected.protocol = gw::kModbusTcp;
  expected.title = QStringLiteral("Press 7");
  expected.plcAddress = QStringLiteral("127.0.0.1");
  expected.plcAddressValid = true;
  expected.startRegister = QStringLiteral("40011");
  const QByteArray file = gw::generateConfig(expected, w.CaptionsTail).bytes;
  EXPECT_TRUE(w.CaptionsTail.startsWith(QStringLiteral("//RVSIM_Captions")));

  r.host.calls.clear();
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.21")), file);
  EXPECT_TRUE(r.messages.messages().empty());
  EXPECT_TRUE(r.link.writes.isEmpty());
  // The closing steps refresh the list; the one module is picked again.
  EXPECT_EQ(r.host.calls, (QStringList{QStringLiteral("broadcast"), QStringLiteral("table"),
                                       QStringLiteral("ping 127.0.0.21"), QStringLiteral("fetch 127.0.0.21"),
                                       QStringLiteral("fetch 127.0.0.21")}));
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
}

TEST(FrmXAVEthernet, ClosingWhileTheLoaderRunsWaitsForItToEnd) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic")});
  r.host.answering = {QStringLiteral("127.0.0.21")};
  r.host.configs[QStringLiteral("127.0.0.21")] =
      xavcfg::testing::configWithTitle(QStringLiteral("//3-MODBUS/TCP, 127.0.0.1, 40001"), QStringLiteral("Press"));
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  const QString loader = QDir::current().filePath(QStringLiteral("ruinet.exe"));
  // The upload runs until the test lets it end.
  xav::writeWholeFile(loader,
                      "#!/bin/sh\ncase \"$*\" in *-u0*) touch started; while [ ! -e go ]; do sleep 0.01; done;"
                      " cp Config.csv uploaded.csv ;; esac\n");
  QFile::setPermissions(loader, QFile::permissions(loader) | QFile::ExeOwner);
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(QStringLiteral("started")); }, 30000));
  w.close();  // the operator closes the window mid-upload
  QTest::qWait(0);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.busy());
  ASSERT_TRUE(xav::writeWholeFile(QStringLiteral("go"), ""));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  QByteArray uploaded;
  EXPECT_TRUE(xav::readWholeFile(QStringLiteral("uploaded.csv"), &uploaded));
  EXPECT_TRUE(uploaded.startsWith("//3-MODBUS/TCP, 127.0.0.1, 40001\r\n"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));  // and then it closes
  EXPECT_FALSE(QFile::exists(QStringLiteral("Config.csv")));
}

TEST(FrmXAVEthernet, TwoModulesAreListedNoneChosenAndSaveNeedsAModule) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic"),
                   QStringLiteral("  127.0.0.22  00-40-9d-00-00-02  dynamic")});
  r.host.answering = {QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.22")};
  r.host.configs[QStringLiteral("127.0.0.22")] =
      xavcfg::testing::configWithTitle(QStringLiteral("//9-UNKNOWN, 10.0.0.9"), QStringLiteral("Kiln"));
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 2);
  EXPECT_EQ(control<QListWidget>(w, "LV1")->item(1)->text(), QStringLiteral("127.0.0.22 : Kiln"));
  EXPECT_EQ(control<QListWidget>(w, "LV1")->currentRow(), -1);
  EXPECT_TRUE(w.ModuleIP.isEmpty());
  QList<int> listedDuringFetch;  // a re-scan empties the list before the titles are fetched
  r.host.onFetch = [&] { listedDuringFetch << control<QListWidget>(w, "LV1")->count(); };
  w.cmdReScan_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  r.host.onFetch = nullptr;
  EXPECT_EQ(listedDuringFetch, (QList<int>{0, 1}));
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 2);

  w.optEthMode_Click(3);
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("127.0.0.1"));
  w.cmdUpdateXAV_Click();  // enabled by the start dialog, but no module chosen yet
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.21")).isEmpty());
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("No XAV module is selected")));

  control<QListWidget>(w, "LV1")->setCurrentRow(1);
  w.LV1_Click();  // a file of an unknown protocol still gives title and address
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Current Config file is corrupt."));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Kiln"));
  EXPECT_EQ(control<QLineEdit>(w, "txtIPAddress")->text(), QStringLiteral("10.0.0.9"));

  control<QListWidget>(w, "LV1")->setCurrentRow(0);  // no file comes back: nothing of the module read before stays
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.messages().size(), 3u);
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Current Config file is corrupt."));
  EXPECT_TRUE(control<QLineEdit>(w, "txtTitle")->text().isEmpty());
  EXPECT_EQ(w.ModuleIP, QStringLiteral("127.0.0.21"));

  control<QLineEdit>(w, "txtTitle")->clear();
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("1.2.3"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Enter a legal IP Address"));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Change this title if desired."));
  EXPECT_TRUE(xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.21")).isEmpty());
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
}

TEST(FrmXAVEthernet, FailedReadBackOfANewlyPickedModuleLeavesNothingOfTheModuleBefore) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic"),
                   QStringLiteral("  127.0.0.23  00-40-9d-00-00-03  dynamic")});
  r.host.answering = {QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.23")};
  r.host.configs[QStringLiteral("127.0.0.21")] = xavcfg::testing::configWithTitle(
      QStringLiteral("//1-ETHERNET/IP-PCCC, 10.1.2.3, 9, 20"), QStringLiteral("Press A"), "//RVSIM_Captions\r\nA,pos");
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  ASSERT_EQ(control<QListWidget>(w, "LV1")->count(), 2);
  control<QListWidget>(w, "LV1")->setCurrentRow(0);
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  ASSERT_TRUE(control<QRadioButton>(w, "optEthMode", 1)->isChecked());
  ASSERT_EQ(control<QLineEdit>(w, "txtEIPFile")->text(), QStringLiteral("9"));
  ASSERT_FALSE(w.CaptionsTail.isEmpty());
  control<QLineEdit>(w, "txtMBReg")->setText(QStringLiteral("40100"));
  control<QLineEdit>(w, "txtEipPath")->setText(QStringLiteral("4"));

  // Module A again, but its file cannot be fetched now: no field changes.
  r.host.configs.remove(QStringLiteral("127.0.0.21"));
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Current Config file is corrupt."));
  EXPECT_TRUE(control<QRadioButton>(w, "optEthMode", 1)->isChecked());
  EXPECT_EQ(control<QLineEdit>(w, "txtEIPFile")->text(), QStringLiteral("9"));
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Press A"));
  EXPECT_EQ(control<QLineEdit>(w, "txtIPAddress")->text(), QStringLiteral("10.1.2.3"));

  // Module C, whose file cannot be fetched: every field back to its start value.
  r.messages.clear();
  control<QListWidget>(w, "LV1")->setCurrentRow(1);
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Current Config file is corrupt."));
  EXPECT_EQ(w.ModuleIP, QStringLiteral("127.0.0.23"));
  for (int p = 1; p <= 3; ++p) EXPECT_FALSE(control<QRadioButton>(w, "optEthMode", p)->isChecked()) << p;
  EXPECT_TRUE(control<QLineEdit>(w, "txtIPAddress")->text().isEmpty());
  EXPECT_TRUE(lightRed(control<QLineEdit>(w, "txtIPAddress")));
  EXPECT_EQ(control<QLineEdit>(w, "txtEIPFile")->text(), QStringLiteral("7"));
  EXPECT_EQ(control<QLineEdit>(w, "txtEIPOff")->text(), QStringLiteral("0"));
  EXPECT_EQ(control<QLineEdit>(w, "txtEipPath")->text(), QStringLiteral("0"));
  EXPECT_EQ(control<QLineEdit>(w, "txtMBReg")->text(), QStringLiteral("40001"));
  EXPECT_TRUE(control<QLineEdit>(w, "txtTitle")->text().isEmpty());
  EXPECT_TRUE(w.CaptionsTail.isEmpty());
  EXPECT_FALSE(control<QLineEdit>(w, "txtEIPFile")->isVisible());

  // Save sends nothing to C until a protocol is chosen.
  control<QLineEdit>(w, "txtIPAddress")->setText(QStringLiteral("10.1.2.3"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_EQ(r.messages.lastText(), QStringLiteral("Select a protocol before saving."));
  EXPECT_TRUE(xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.23")).isEmpty());
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
}

TEST(FrmXAVEthernet, ACancelledFetchStopsThePickAndSaysTheConfigurationIsUnknown) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic"),
                   QStringLiteral("  127.0.0.23  00-40-9d-00-00-03  dynamic")});
  r.host.answering = {QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.23")};
  for (const char* a : {"127.0.0.21", "127.0.0.23"})
    r.host.configs[QString::fromLatin1(a)] = xavcfg::testing::configWithTitle(
        QStringLiteral("//3-MODBUS/TCP, 10.1.2.3, 40011"), QStringLiteral("Press"));
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  control<QListWidget>(w, "LV1")->setCurrentRow(0);
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  ASSERT_TRUE(control<QRadioButton>(w, "optEthMode", 3)->isChecked());

  r.host.interruptAt = QStringLiteral("fetch 127.0.0.23");
  control<QListWidget>(w, "LV1")->setCurrentRow(1);
  w.LV1_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  ASSERT_EQ(r.messages.messages().size(), 1u);  // not "corrupt": the fetch was cancelled
  EXPECT_TRUE(r.messages.lastText().startsWith(QStringLiteral("The operation was cancelled")));
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("unknown")));
  EXPECT_FALSE(control<QRadioButton>(w, "optEthMode", 3)->isChecked());  // nothing of 127.0.0.21 stays
  EXPECT_TRUE(control<QLineEdit>(w, "txtIPAddress")->text().isEmpty());
  EXPECT_TRUE(control<QLineEdit>(w, "txtTitle")->text().isEmpty());
  EXPECT_TRUE(control<QLabel>(w, "lblStatus")->text().contains(QLatin1String("read it back")));
}

TEST(FrmXAVEthernet, ToolboxIsStartedFromItsDirectoryOrReportedMissing) {
  Rig r(ConnectionTypeDialog::kEthernet);
  ASSERT_TRUE(r.load());
  r.host.calls.clear();
  r.w->cmdToolbox_Click();
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("FieldServerToolbox.exe")));
  EXPECT_TRUE(r.host.calls.isEmpty());

  QDir().mkpath(QStringLiteral("Toolbox"));
  const QString program = QDir::current().filePath(QStringLiteral("Toolbox/FieldServerToolbox.exe"));
  xav::writeWholeFile(program, "#!/bin/sh\npwd > ran.txt\n");
  QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
  const QString home = QDir::currentPath();
  QSignalSpy toolboxEnded(r.w.get(), &XavCfgWindow::toolboxEnded);
  r.w->cmdToolbox_Click();
  EXPECT_EQ(QDir::currentPath(), home);
  ASSERT_TRUE(toolboxEnded.wait(10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !r.w->busy(); }, 30000));
  QByteArray ran;
  ASSERT_TRUE(xav::readWholeFile(QStringLiteral("Toolbox/ran.txt"), &ran));
  EXPECT_EQ(ran.trimmed(), QDir(QStringLiteral("Toolbox")).absolutePath().toLocal8Bit());
  EXPECT_EQ(r.host.calls.first(), QStringLiteral("broadcast"));
}

TEST(FrmXAVSerial, RefusedDf1FileNumberThenAMouseClickOnSaveGivesTheRefusal) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith(reply("5" "00000" "01" "09600" "012"));
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  control<QLineEdit>(w, "txtFileNo")->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control<QLineEdit>(w, "txtFileNo")->hasFocus(); }, 5000));
  control<QLineEdit>(w, "txtFileNo")->setText(QStringLiteral("8"));
  r.messages.clear();
  r.link.writes.clear();
  // As a real click: the box's rule runs (and takes the focus back) while
  // the button is held down, before it is released.
  QTest::mousePress(control<QPushButton>(w, "cmdUpdateXAV"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return control<QLineEdit>(w, "txtFileNo")->hasFocus(); }, 5000));
  QTest::mouseRelease(control<QPushButton>(w, "cmdUpdateXAV"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !r.messages.messages().empty(); }, 5000));
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("File Number"))) << qPrintable(r.messages.lastText());
  EXPECT_TRUE(r.link.writes.isEmpty());
  EXPECT_TRUE(control<QPushButton>(w, "cmdUpdateXAV")->isEnabled());
  EXPECT_TRUE(control<QLineEdit>(w, "txtFileNo")->hasFocus());
}
