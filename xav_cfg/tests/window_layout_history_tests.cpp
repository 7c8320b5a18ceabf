// XAV_Cfg's window as a layout (frames that take turns share one place,
// keyboard access) and as a witness: what it read, saved and verified is
// kept in the history and the service log, and a data folder that cannot
// be written is told without stopping anything.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QApplication>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "connection_type_dialog.h"
#include "fake_serial_link.h"
#include "history_window.h"
#include "messages.h"
#include "operation_record.h"
#include "test_support.h"
#include "window_rig.h"
#include "xav_cfg_window.h"

using namespace xavcfg;
using xav::testing::FakeSerialLink;
using xavcfg::testing::control;
using xavcfg::testing::FakeNetworkHost;
using xavcfg::testing::ScratchDir;

namespace {

struct Rig : xavcfg::testing::WindowRig {
  using WindowRig::WindowRig;
  // One module at 127.0.0.21 holding a Modbus/TCP configuration.
  void oneModule() {
    host.setTable({QStringLiteral("  127.0.0.21  00-50-4e-00-00-01  dynamic")});
    host.answering = {QStringLiteral("127.0.0.21")};
    host.configs[QStringLiteral("127.0.0.21")] = xavcfg::testing::configWithTitle(
        QStringLiteral("//3-MODBUS/TCP, 127.0.0.1, 40011"), QStringLiteral("Press 7"));
  }
  QRect at(const char* name) const {
    QWidget* c = control<QWidget>(*w, QString::fromLatin1(name));
    return QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size());
  }
};

// Every visible field and list of the window can be reached by a mnemonic
// through its label.
QStringList fieldsWithoutMnemonic(const QWidget& window) {
  QList<const QWidget*> fields;
  for (const QWidget* f : window.findChildren<QLineEdit*>()) fields << f;
  for (const QWidget* f : window.findChildren<QComboBox*>()) fields << f;
  for (const QWidget* f : window.findChildren<QListWidget*>()) fields << f;
  QStringList missing;
  for (const QWidget* f : fields) {
    if (!f->isVisible() || !f->isEnabled() || !(f->focusPolicy() & Qt::TabFocus)) continue;
    bool found = false;
    for (const QLabel* l : window.findChildren<QLabel*>())
      found |= l->buddy() == f && l->isVisible() && l->text().contains(QRegularExpression(QStringLiteral("&[^&]")));
    if (!found) missing << f->objectName();
  }
  return missing;
}

}  // namespace

TEST(FrmXAVLayout, ModeFramesShareOnePlaceAndTheWindowFitsASmallScreen) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_NE(w.minimumSize(), w.maximumSize());  // no fixed size
  EXPECT_LE(w.minimumSizeHint().width(), 900);
  EXPECT_LE(w.minimumSizeHint().height(), 500);
  r.connectWith("1");
  const QRect save = r.at("cmdUpdateXAV");
  const QRect exit = r.at("Command4");
  const QRect modes = r.at("Frame1");
  const QRect first = r.at("FrOptions_1");
  for (int mode = 1; mode <= 6; ++mode) {
    control<QRadioButton>(w, "optMode", mode)->click();
    const QString frame = QStringLiteral("FrOptions_%1").arg(mode);
    ASSERT_TRUE(control<QGroupBox>(w, frame)->isVisible());
    EXPECT_EQ(r.at(frame.toLatin1()).topLeft(), first.topLeft()) << mode;
    EXPECT_EQ(r.at("cmdUpdateXAV"), save) << mode;
    EXPECT_EQ(r.at("Command4"), exit) << mode;
    EXPECT_EQ(r.at("Frame1"), modes) << mode;
    // The frame sits beside the modes, above the buttons; the count below it.
    EXPECT_GT(r.at(frame.toLatin1()).left(), modes.right()) << mode;
    EXPECT_LT(r.at(frame.toLatin1()).bottom(), save.top()) << mode;
    EXPECT_TRUE(fieldsWithoutMnemonic(w).isEmpty()) << mode << qPrintable(fieldsWithoutMnemonic(w).join(' '));
  }
  EXPECT_TRUE(control<QLineEdit>(w, "txtDistScanCnt")->isVisible() == false);
  control<QRadioButton>(w, "optMode", 5)->click();
  EXPECT_GT(r.at("txtDistScanCnt").top(), r.at("FrOptions_5").bottom());
}

TEST(FrmXAVLayout, TabIntoAnOptionGroupLandsOnTheCheckedOption) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith("3" "00000" "00" "00000" + QByteArray(29, ' ') + "4");  // slave range 45-55
  ASSERT_TRUE(control<QRadioButton>(w, "optSlave", 4)->isChecked());
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  control<QRadioButton>(w, "optMode", 3)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), control<QRadioButton>(w, "optSlave", 4));
  // Arrow keys still move within the group; Tab then leaves it.
  control<QRadioButton>(w, "optSlave", 1)->click();
  control<QRadioButton>(w, "optMode", 3)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), control<QRadioButton>(w, "optSlave", 1));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget()->objectName().left(8), QStringLiteral("optSlave"));
}

TEST(FrmXAVLayout, EthernetFieldsHaveMnemonicsAndTheHistoryButtonsWaitForAModule) {
  Rig r(ConnectionTypeDialog::kEthernet);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_LE(w.minimumSizeHint().width(), 900);
  EXPECT_LE(w.minimumSizeHint().height(), 500);
  EXPECT_FALSE(control<QPushButton>(w, "cmdHistory")->isEnabled());
  EXPECT_FALSE(control<QPushButton>(w, "cmdCompare")->isEnabled());
  EXPECT_EQ(control<QPushButton>(w, "cmdHistory")->text(), QStringLiteral("&History"));
  const QRect title = r.at("txtTitle");
  for (int p = 1; p <= 3; ++p) {
    w.optEthMode_Click(p);
    EXPECT_TRUE(fieldsWithoutMnemonic(w).isEmpty()) << p << qPrintable(fieldsWithoutMnemonic(w).join(' '));
    EXPECT_EQ(r.at("txtTitle"), title) << p;  // a protocol's boxes move nothing else
    EXPECT_GT(title.top(), r.at("FrOptions_7").bottom());
  }
}

TEST(FrmXAVHistory, ReadBackAndSaveLeaveEntriesAndLogLinesWithTheHardwareAddress) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.oneModule();
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  ASSERT_EQ(w.ModuleIP, QStringLiteral("127.0.0.21"));
  EXPECT_TRUE(control<QPushButton>(w, "cmdHistory")->isEnabled());
  EXPECT_TRUE(control<QPushButton>(w, "cmdCompare")->isEnabled());

  QList<gw::HistoryEntry> entries = w.recorder().history().entries(QStringLiteral("127.0.0.21"));
  ASSERT_EQ(entries.size(), 1);
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::ReadBack);
  EXPECT_EQ(entries[0].tool, QStringLiteral("XAV_Cfg"));
  EXPECT_EQ(entries[0].hardwareAddress, QStringLiteral("00-50-4e-00-00-01"));
  EXPECT_EQ(entries[0].config, r.host.configs[QStringLiteral("127.0.0.21")]);
  EXPECT_EQ(entries[0].title, QStringLiteral("Press 7"));

  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Press 8"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  const QByteArray sent = xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.21"));
  ASSERT_FALSE(sent.isEmpty());
  entries = w.recorder().history().entries(QStringLiteral("127.0.0.21"));
  // Newest first: the read-back after the closing steps' discovery, the
  // save, the first read-back.
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[1].operation, gw::HistoryOperation::Save);
  EXPECT_TRUE(entries[1].succeeded);
  EXPECT_EQ(entries[1].config, sent);
  EXPECT_EQ(entries[1].title, QStringLiteral("Press 8"));
  EXPECT_EQ(entries[1].hardwareAddress, QStringLiteral("00-50-4e-00-00-01"));
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::ReadBack);

  const QList<gw::ServiceLogLine> lines = w.recorder().log().read();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0].operation, QStringLiteral("read-back"));
  EXPECT_EQ(lines[1].operation, QStringLiteral("save"));
  EXPECT_EQ(lines[1].moduleAddress, QStringLiteral("127.0.0.21"));
  EXPECT_EQ(lines[1].name, QStringLiteral("00-50-4e-00-00-01"));
  EXPECT_EQ(lines[1].protocol, QStringLiteral("Modbus/TCP"));
  EXPECT_EQ(lines[1].plcAddress, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(lines[1].title, QStringLiteral("Press 8"));
  EXPECT_TRUE(lines[1].succeeded);
}

TEST(FrmXAVHistory, ACorruptReadBackIsLoggedButKeepsNoEntry) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.oneModule();
  r.host.configs[QStringLiteral("127.0.0.21")] = "not a configuration\r\n";
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  EXPECT_TRUE(w.recorder().history().entries().isEmpty());
  const QList<gw::ServiceLogLine> lines = w.recorder().log().read();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_FALSE(lines[0].succeeded);
  EXPECT_FALSE(control<QPushButton>(w, "cmdCompare")->isEnabled());  // nothing to compare with
}

TEST(FrmXAVHistory, AnUnwritableDataFolderIsToldOnceAndTheSaveStillGoesThrough) {
  ScratchDir elsewhere;
  const QString blocked = elsewhere.path(QStringLiteral("blocked"));
  ASSERT_TRUE(xav::writeWholeFile(blocked, "a file where the folder should be"));
  Rig r(ConnectionTypeDialog::kEthernet, blocked);
  r.oneModule();
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  QSignalSpy problems(&w.recorder(), &gw::OperationRecorder::problem);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control<QLabel>(w, "lblStatus")->text().isEmpty(); }, 5000));
  const QString told = control<QLabel>(w, "lblStatus")->text();

  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Press 9"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the operation runs on
  EXPECT_TRUE(r.messages.messages().empty()) << qPrintable(r.messages.lastText());
  EXPECT_TRUE(xavcfg::testing::uploadedTo(QStringLiteral("127.0.0.21")).contains("Press 9"));
  EXPECT_TRUE(problems.isEmpty());  // told once, not at every operation
  QTest::qWait(0);
  const QString status = control<QLabel>(w, "lblStatus")->text();
  EXPECT_TRUE(status.startsWith(QStringLiteral("Config.csv loaded to 127.0.0.21 at "))) << qPrintable(status);
  EXPECT_FALSE(status.contains(told)) << qPrintable(status);
}

TEST(FrmXAVSerialVerify, ASilentModuleIsToldToPressTheBlackButtonAgain) {
  Rig r(ConnectionTypeDialog::kSerial);
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  r.connectWith("6");
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));  // the closing steps' discovery
  ASSERT_TRUE(control<QPushButton>(w, "cmdVerify")->isEnabled());
  r.messages.clear();
  QSignalSpy ended(&w, &XavCfgWindow::serialVerifyEnded);
  QSignalSpy connectEnded(&w, &XavCfgWindow::queryEnded);
  w.cmdVerify_Click();
  ASSERT_TRUE(ended.wait(40000));
  EXPECT_FALSE(ended.at(0).at(0).toBool());
  EXPECT_TRUE(connectEnded.isEmpty());  // not "Unable to communicate": that is Connect's
  ASSERT_EQ(r.messages.messages().size(), 1u);
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("did not answer"))) << qPrintable(r.messages.lastText());
  EXPECT_TRUE(r.messages.lastText().contains(QLatin1String("Press the BLACK button")));
  EXPECT_TRUE(control<QPushButton>(w, "cmdVerify")->isEnabled());
  const QList<gw::ServiceLogLine> lines = w.recorder().log().read();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[1].operation, QStringLiteral("serial-verify"));
  EXPECT_FALSE(lines[1].succeeded);
}

TEST(FrmXAVHistory, AVerifyIsKeptAndARestoreThatWentThroughIsReadBack) {
  Rig r(ConnectionTypeDialog::kEthernet);
  r.oneModule();
  ASSERT_TRUE(r.load());
  XavCfgWindow& w = *r.w;
  control<QLineEdit>(w, "txtTitle")->setText(QStringLiteral("Press 8"));
  w.cmdUpdateXAV_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));
  // The stand-in module still serves its old file: Verify finds the title row changed.
  QSignalSpy verified(&w, &XavCfgWindow::verifyEnded);
  w.cmdVerify_Click();
  ASSERT_TRUE(verified.wait(30000));
  EXPECT_FALSE(verified.at(0).at(0).toBool());
  const QList<gw::HistoryEntry> entries = w.recorder().history().entries(QStringLiteral("127.0.0.21"));
  ASSERT_FALSE(entries.isEmpty());
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::Verify);
  EXPECT_FALSE(entries[0].succeeded);
  EXPECT_EQ(entries[0].config, r.host.configs[QStringLiteral("127.0.0.21")]);  // what the module holds
  const QList<gw::ServiceLogLine> lines = w.recorder().log().read();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.last().operation, QStringLiteral("verify"));
  EXPECT_TRUE(lines.last().reason.contains(QLatin1String("differs"))) << qPrintable(lines.last().reason);

  control<QPushButton>(w, "cmdHistory")->click();
  auto* history = w.findChild<gw::HistoryWindow*>();
  ASSERT_NE(history, nullptr);
  r.host.calls.clear();
  r.host.configs[QStringLiteral("127.0.0.21")] = xavcfg::testing::configWithTitle(
      QStringLiteral("//1-ETHERNET/IP-PCCC, 127.0.0.2, 9, 20"), QStringLiteral("Restored"));
  gw::SessionOutcome failed;
  failed.operation = QStringLiteral("restore");
  failed.moduleAddress = QStringLiteral("127.0.0.21");
  failed.failure = gw::SessionFailure::VerifyMismatch;
  emit history->restoreFinished(failed);
  EXPECT_TRUE(r.host.calls.isEmpty());  // nothing to read back after a failed restore
  gw::SessionOutcome restored = failed;
  restored.failure = gw::SessionFailure::None;
  emit history->restoreFinished(restored);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.busy(); }, 30000));
  EXPECT_EQ(r.host.calls, QStringList{QStringLiteral("fetch 127.0.0.21")});
  EXPECT_EQ(control<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Restored"));
  EXPECT_TRUE(control<QRadioButton>(w, "optEthMode", 1)->isChecked());
}
