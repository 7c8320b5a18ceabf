// The History window over the bench modules, offscreen: Compare marks
// exactly the changed lines, Restore's confirmation names what changes and a
// refused confirmation sends nothing; a confirmed one restores and is kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <set>

#include "bench_env.h"
#include "history_window.h"
#include "layout_check.h"
#include "sample_config.h"

namespace {

using xave::testing::BenchEnv;
using xave::testing::waitFor;

const QString kModule = QStringLiteral("127.0.0.41");

using gw::testing::sampleConfig;

// Lines of a that b lacks ("-") and of b that a lacks ("+"); the generated
// files repeat no line that differs, so this is the exact difference.
std::set<QString> changedLines(const QByteArray& a, const QByteArray& b) {
  const QStringList la = gw::configLines(a), lb = gw::configLines(b);
  std::set<QString> out;
  for (const QString& l : la)
    if (!lb.contains(l)) out.insert(QStringLiteral("- ") + l);
  for (const QString& l : lb)
    if (!la.contains(l)) out.insert(QStringLiteral("+ ") + l);
  return out;
}

class HistoryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString();
    runner.setTellsStartErrors(false);
    window.setConfirmation([this](const QString& text) {
      asked << text;
      return answer;
    });
  }

  gw::HistoryEntry keep(gw::HistoryOperation op, const QByteArray& file, const QDateTime& time) {
    gw::HistoryEntry e;
    e.tool = QStringLiteral("XAVE");
    e.operation = op;
    e.moduleAddress = kModule;
    e.config = file;
    e.time = time;
    e.outcome = QStringLiteral("Module holds the configuration sent");
    const gw::RecordResult r = recorder.history().record(e);
    EXPECT_TRUE(r.stored);
    return *recorder.history().entry(r.id);
  }
  QTreeWidget* list() { return window.findChild<QTreeWidget*>(QStringLiteral("lstHistory")); }
  QPushButton* pushButton(const char* name) { return window.findChild<QPushButton*>(QLatin1String(name)); }
  void select(std::initializer_list<int> rows) {
    list()->clearSelection();
    for (int r : rows) list()->topLevelItem(r)->setSelected(true);
  }
  // The marked rows of the open comparison, as "- line" / "+ line", in order.
  QStringList markedRows(QDialog* dlg) {
    auto* table = dlg->findChild<QTableWidget*>(QStringLiteral("tblCompare"));
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r) {
      const QTableWidgetItem* mark = table->item(r, 0);
      if (mark && !mark->text().isEmpty()) out << mark->text() + u' ' + table->item(r, 3)->text();
    }
    return out;
  }
  QDialog* openComparison() {
    QTest::mouseClick(pushButton("cmdCompare"), Qt::LeftButton);
    return window.findChild<QDialog*>(QStringLiteral("FrmCompare"));
  }

  BenchEnv env;
  QTemporaryDir data;
  gw::OperationRecorder recorder{QStringLiteral("XAVE"), data.filePath(QStringLiteral("xav"))};
  gw::UtilityRunner runner;
  gw::HistoryWindow window{recorder, runner, env.workDir()};
  QStringList asked;
  bool answer = false;
  const QDateTime t0 = QDateTime::currentDateTime().addSecs(-3600);
};

TEST_F(HistoryWindowTest, ListsNewestFirstAndComparesExactlyTheChangedLines) {
  const QByteArray older = sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const QByteArray newer = sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.9"), QStringLiteral("Press 5"));
  keep(gw::HistoryOperation::Save, older, t0);
  keep(gw::HistoryOperation::Save, newer, t0.addSecs(60));
  const QByteArray current = sampleConfig(gw::kPccc, QStringLiteral("10.1.2.9"), QStringLiteral("Press 5"));
  window.showModule(kModule, current);
  window.show();

  ASSERT_EQ(list()->topLevelItemCount(), 2);
  EXPECT_EQ(list()->topLevelItem(0)->text(3), QStringLiteral("Press 5"));
  EXPECT_EQ(list()->topLevelItem(0)->text(2), QStringLiteral("Modbus/TCP 10.1.2.9"));
  EXPECT_EQ(list()->topLevelItem(1)->text(1), QStringLiteral("save"));
  EXPECT_FALSE(pushButton("cmdCompare")->isEnabled());  // nothing selected yet

  // Two entries, chosen newest first: still shown older to newer.
  select({0, 1});
  QDialog* two = openComparison();
  ASSERT_NE(two, nullptr);
  const QStringList rows = markedRows(two);
  const std::set<QString> expected = changedLines(older, newer);
  EXPECT_EQ(std::set<QString>(rows.begin(), rows.end()), expected);
  EXPECT_EQ(rows.size(), qsizetype(expected.size()));
  // The summary line leads, then the Nodes row, before the title rows.
  ASSERT_GE(rows.size(), 4);
  EXPECT_EQ(rows[0], QStringLiteral("- //3-MODBUS/TCP, 10.1.2.3, 40001"));
  EXPECT_EQ(rows[1], QStringLiteral("+ //3-MODBUS/TCP, 10.1.2.9, 40001"));
  EXPECT_TRUE(rows[2].contains(QStringLiteral("PLC_01"))) << rows[2].toStdString();
  EXPECT_EQ(two->findChild<QLabel*>(QStringLiteral("lblCompareSummary"))->text(),
            QStringLiteral("%1 line(s) differ.").arg(expected.size()));
  auto* table = two->findChild<QTableWidget*>(QStringLiteral("tblCompare"));
  two->findChild<QCheckBox*>(QStringLiteral("chkChangedOnly"))->setChecked(true);
  int shown = 0;
  for (int r = 0; r < table->rowCount(); ++r)
    if (!table->isRowHidden(r) && table->item(r, 0)) ++shown;
  EXPECT_EQ(shown, rows.size());
  delete two;

  // One entry against the module's current file.
  select({0});
  QDialog* one = openComparison();
  ASSERT_NE(one, nullptr);
  const QStringList againstModule = markedRows(one);
  const std::set<QString> expectedNow = changedLines(newer, current);
  EXPECT_EQ(std::set<QString>(againstModule.begin(), againstModule.end()), expectedNow);
  delete one;

  // An IP change keeps no Config.csv: alone it shows its fs_tcp.ini change,
  // beside another entry there is nothing to compare.
  gw::HistoryEntry ip;
  ip.tool = QStringLiteral("XAVE");
  ip.operation = gw::HistoryOperation::IpChange;
  ip.moduleAddress = kModule;
  ip.time = t0.addSecs(120);
  ip.networkBefore = "A\r\nN1_IP = 127.0.0.41\r\n";
  ip.networkAfter = "A\r\nN1_IP = 127.0.0.42\r\n";
  ASSERT_TRUE(recorder.history().record(ip).stored);
  window.refresh();
  select({0, 1});
  EXPECT_FALSE(pushButton("cmdCompare")->isEnabled());
  EXPECT_FALSE(pushButton("cmdRestore")->isEnabled());
  select({0});
  QDialog* network = openComparison();
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(markedRows(network), (QStringList{QStringLiteral("- N1_IP = 127.0.0.41"), QStringLiteral("+ N1_IP = 127.0.0.42")}));
}

TEST_F(HistoryWindowTest, RestoreAsksFirstNamingTheDifferencesAndARefusalSendsNothing) {
  const QByteArray onModule = sampleConfig(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kModule, QStringLiteral("SPARE"), onModule);
  const gw::HistoryEntry kept = keep(gw::HistoryOperation::ReadBack,
                                     sampleConfig(gw::kPccc, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4")), t0);
  QSignalSpy finished(&window, &gw::HistoryWindow::restoreFinished);
  window.showModule(kModule, onModule);
  window.show();
  select({0});
  ASSERT_TRUE(pushButton("cmdRestore")->isEnabled());

  answer = false;
  QTest::mouseClick(pushButton("cmdRestore"), Qt::LeftButton);
  ASSERT_EQ(asked.size(), 1);
  const QString& text = asked[0];
  for (const QString& part : {kModule, gw::isoTimeWithOffset(kept.time), QStringLiteral("\"Press 4\""),
                              QStringLiteral("Protocol changes from Modbus/TCP to EtherNet/IP PCCC"),
                              QStringLiteral("PLC address changes from 10.9.9.9 to 10.1.2.3")})
    EXPECT_TRUE(text.contains(part)) << part.toStdString() << " not in: " << text.toStdString();

  // Refused: the module, the history and the log are as they were.
  EXPECT_EQ(env.moduleFile(kModule, QStringLiteral("Config.csv")), onModule);
  EXPECT_FALSE(runner.isBusy());
  EXPECT_EQ(finished.count(), 0);
  EXPECT_EQ(recorder.history().entries(kModule).size(), 1);
  EXPECT_TRUE(recorder.log().read().isEmpty());

  // Same protocol and PLC address: the confirmation claims no change.
  asked.clear();
  const QByteArray same = sampleConfig(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("other"));
  keep(gw::HistoryOperation::Save, same, t0.addSecs(60));
  window.refresh();
  select({0});
  QTest::mouseClick(pushButton("cmdRestore"), Qt::LeftButton);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_FALSE(asked[0].contains(QStringLiteral("changes from"))) << asked[0].toStdString();
}

TEST_F(HistoryWindowTest, ConfirmedRestoreUploadsTheEntryVerifiesAndKeepsIt) {
  env.addModule(kModule, QStringLiteral("SPARE"), sampleConfig(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("factory")));
  const QByteArray wanted = sampleConfig(gw::kCip, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  keep(gw::HistoryOperation::Save, wanted, t0);
  QSignalSpy finished(&window, &gw::HistoryWindow::restoreFinished);
  window.showModule(kModule, QByteArray());  // not read back: Restore still asks
  window.show();
  select({0});
  answer = true;
  QTest::mouseClick(pushButton("cmdRestore"), Qt::LeftButton);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("could not be read"))) << asked[0].toStdString();
  EXPECT_FALSE(pushButton("cmdRestore")->isEnabled());  // while it runs
  ASSERT_TRUE(waitFor([&] { return finished.count() > 0; }, 60000));

  const auto o = finished[0][0].value<gw::SessionOutcome>();
  EXPECT_TRUE(o.succeeded()) << o.message.toStdString();
  EXPECT_EQ(env.moduleFile(kModule, QStringLiteral("Config.csv")), wanted);
  ASSERT_EQ(list()->topLevelItemCount(), 2);
  EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("restore"));
  ASSERT_EQ(recorder.log().read().size(), 1);
  EXPECT_EQ(recorder.log().read()[0].operation, QStringLiteral("restore"));

  // The service log view shows that line, read-only.
  QTest::mouseClick(pushButton("cmdServiceLog"), Qt::LeftButton);
  auto* log = window.findChild<QDialog*>(QStringLiteral("FrmServiceLog"));
  ASSERT_NE(log, nullptr);
  auto* table = log->findChild<QTableWidget*>(QStringLiteral("tblServiceLog"));
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("restore"));
  EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(HistoryWindowTest, EveryButtonHasAMnemonicAndTheViewsHoldAtEveryAppearance) {
  keep(gw::HistoryOperation::Save, sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.3"), QStringLiteral("a")), t0);
  recorder.recordSerialVerify(QStringLiteral("COM 5"), false, QStringLiteral("Title differs: sent \"a\", module holds \"b\""));
  for (const xav::testing::Appearance& look : xav::testing::standardAppearances()) {
    xav::testing::ScopedAppearance applied(look);
    gw::HistoryWindow w(recorder, runner, env.workDir());
    w.showModule(kModule, sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.4"), QStringLiteral("b")));
    w.show();
    QList<QWidget*> views{&w,
                          gw::showSaveComparison(&w, kModule, sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.3"), {}),
                                                 sampleConfig(gw::kModbusTcp, QStringLiteral("10.1.2.5"), {})),
                          gw::showServiceLog(&w, recorder)};
    for (QWidget* v : views) {
      for (QPushButton* b : v->findChildren<QPushButton*>())
        EXPECT_TRUE(b->text().contains(u'&')) << b->objectName().toStdString();
      const QStringList problems = xav::testing::describe(xav::testing::checkLayout(v));
      EXPECT_TRUE(problems.isEmpty()) << xav::testing::appearanceLabel(look).toStdString() << " "
                                      << v->objectName().toStdString() << ": "
                                      << problems.join(QStringLiteral("\n")).toStdString();
    }
  }
}

}  // namespace
