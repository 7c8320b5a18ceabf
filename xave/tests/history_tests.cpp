// XAVE's memory: every read-back, Save and Verify leaves its history entry
// and service log line in the data folder; a folder that cannot be written
// is told once and stops nothing; a restore is followed by a read-back.
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>

#include "files.h"
#include "history.h"
#include "history_window.h"
#include "operation_record.h"
#include "service_log.h"
#include "window_support.h"

namespace xave::testing {
namespace {

TEST_F(XaveWindowTest, ReadBackSaveAndVerifyLeaveTheirEntriesAndLogLines) {
  const QByteArray original = makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Before");
  env.addModule("127.0.0.95", "HIST", original);
  start();
  pick("127.0.0.95");
  type("txtTitle", "After");
  click("cmdUpdateXAV");
  const QByteArray sent = env.moduleFile("127.0.0.95", "Config.csv");
  ASSERT_TRUE(sent.contains("After"));
  click("cmdVerify");
  ASSERT_TRUE(get<QLabel>("lblStatus")->text().startsWith("Module holds the configuration sent"));

  gw::HistoryStore store(env.dataDir());
  const QList<gw::HistoryEntry> entries = store.entries("127.0.0.95");
  ASSERT_EQ(entries.size(), 3) << "the scans touch no module and leave nothing";
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::Verify);
  EXPECT_EQ(entries[1].operation, gw::HistoryOperation::Save);
  EXPECT_EQ(entries[2].operation, gw::HistoryOperation::ReadBack);
  EXPECT_EQ(entries[2].config, original);
  EXPECT_EQ(entries[1].config, sent);
  EXPECT_EQ(entries[1].title, "After");
  for (const gw::HistoryEntry& e : entries) {
    EXPECT_EQ(e.tool, "XAVE");
    EXPECT_EQ(e.bridgeName, "HIST") << "the name from the list, also once the save emptied it";
    EXPECT_EQ(e.moduleAddress, "127.0.0.95");
    EXPECT_TRUE(e.succeeded);
  }

  gw::ServiceLog log(env.dataDir());
  const QList<gw::ServiceLogLine> lines = log.read();
  ASSERT_EQ(lines.size(), 3);
  const char* operations[] = {"read-back", "save", "verify"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i].operation, operations[i]);
    EXPECT_EQ(lines[i].tool, "XAVE");
    EXPECT_EQ(lines[i].name, "HIST");
    EXPECT_EQ(lines[i].moduleAddress, "127.0.0.95");
    EXPECT_TRUE(lines[i].succeeded) << operations[i];
  }
  EXPECT_EQ(lines[1].title, "After");
}

TEST_F(XaveWindowTest, FailedSaveIsKeptAsFailedWithItsReason) {
  env.addModule("127.0.0.96", "GONE", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  pick("127.0.0.96");
  env.removeModule("127.0.0.96");
  click("cmdUpdateXAV");
  gw::ServiceLog log(env.dataDir());
  const QList<gw::ServiceLogLine> lines = log.read();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[1].operation, "save");
  EXPECT_FALSE(lines[1].succeeded);
  EXPECT_TRUE(lines[1].reason.contains("exit status 1")) << lines[1].reason.toStdString();
}

TEST_F(XaveWindowTest, UnwritableDataFolderIsToldOnceAndTheSaveStillGoesThrough) {
  env.addModule("127.0.0.97", "NOROOM", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Before"));
  // A file where the folder should be: nothing can be created inside it.
  ASSERT_TRUE(xav::writeWholeFile(env.dataDir(), "not a folder"));
  start();
  QSignalSpy problems(&window->recorder(), &gw::OperationRecorder::problem);
  pick("127.0.0.97");
  ASSERT_FALSE(problems.isEmpty());
  const QString status = get<QLabel>("lblStatus")->text();
  int told = 0;
  for (const QList<QVariant>& p : problems) told += status.contains(p[0].toString()) ? 1 : 0;
  EXPECT_EQ(told, 1) << status.toStdString();
  EXPECT_EQ(box("txtTitle")->text(), "Before") << "the read-back itself went through";

  type("txtTitle", "After");
  click("cmdUpdateXAV");
  EXPECT_TRUE(env.moduleFile("127.0.0.97", "Config.csv").contains("After"));
  // Told once: the status line after the save is the save's alone.
  EXPECT_TRUE(QRegularExpression("^Config\\.csv loaded to 127\\.0\\.0\\.97 at \\d\\d:\\d\\d:\\d\\d$")
                  .match(get<QLabel>("lblStatus")->text())
                  .hasMatch())
      << get<QLabel>("lblStatus")->text().toStdString();
  EXPECT_TRUE(messages.messages().empty()) << messages.lastText().toStdString();
}

TEST_F(XaveWindowTest, AddressChangeKeepsTheSettingsBeforeAndAfter) {
  env.addModule("127.0.0.99", "MOVE", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  const QByteArray before = env.moduleFile("127.0.0.99", "fs_tcp.ini");
  start();
  pick("127.0.0.99");
  whenDialogShows([&](IpChangeDialog* d) {
    d->findChild<QLineEdit*>("txtIP")->setText("127.0.0.44");
    QTest::mouseClick(d->findChild<QPushButton*>("cmdChange"), Qt::LeftButton);
  });
  click("cmdToolbox");
  ASSERT_TRUE(waitFor([&] { return !window->isChangingAddress(); }, 10000));
  gw::HistoryStore store(env.dataDir());
  const QList<gw::HistoryEntry> entries = store.entries("127.0.0.99");
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::IpChange);
  EXPECT_EQ(entries[0].networkBefore, before);
  EXPECT_EQ(entries[0].networkAfter, env.moduleFile("127.0.0.44", "fs_tcp.ini"));
  EXPECT_EQ(entries[0].bridgeName, "MOVE");
  const QList<gw::ServiceLogLine> lines = gw::ServiceLog(env.dataDir()).read();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[1].operation, "ip-change");
  EXPECT_TRUE(lines[1].succeeded);
}

TEST_F(XaveWindowTest, HistoryOpensForThePickedModuleAndARestoreIsReadBack) {
  env.addModule("127.0.0.98", "BACK", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Before"));
  start();
  EXPECT_FALSE(get<QPushButton>("cmdHistory")->isEnabled()) << "no module picked yet";
  EXPECT_TRUE(get<QPushButton>("cmdServiceLog")->isEnabled());
  pick("127.0.0.98");
  EXPECT_TRUE(get<QPushButton>("cmdCompare")->isEnabled()) << "a file was read back";
  click("cmdHistory");
  auto* history = window->findChild<gw::HistoryWindow*>();
  ASSERT_NE(history, nullptr);

  // The module took an older file: the window shows what it holds now.
  env.setModuleFile("127.0.0.98", "Config.csv", makeConfig(gw::kPccc, "10.0.0.8", "9", "12", "Restored"));
  gw::SessionOutcome restored;
  restored.operation = "restore";
  restored.moduleAddress = "127.0.0.98";
  emit history->restoreFinished(restored);
  settle();
  EXPECT_EQ(box("txtTitle")->text(), "Restored");
  EXPECT_TRUE(option(1)->isChecked());
  EXPECT_EQ(box("txtEIPFile")->text(), "9");
}

}  // namespace
}  // namespace xave::testing
