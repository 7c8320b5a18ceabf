// The window's controls, texts, colours and key rules, over a fake port.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QScreen>
#include <QApplication>
#include <cmath>

#include "colours.h"
#include "fake_serial_link.h"
#include "files.h"
#include "held_clock.h"
#include "polmon_window.h"
#include "port_access.h"
#include "row_display.h"
#include "statistics_window.h"

using namespace polmon;
using polmon::testing::HeldClock;
using xav::testing::FakeSerialLink;

namespace {

// A widget of the window by its objectName; "txtAddr", 3 finds "txtAddr(3)".
template <typename W>
W* find(QWidget& window, const QString& name, int index = -1) {
  const QString full = index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
  W* w = window.findChild<W*>(full);
  EXPECT_NE(w, nullptr) << qPrintable(full);
  return w;
}

// Handles what is already queued (window-system resizes, layout requests and
// the events they post in turn) without waiting on the clock: geometry read
// afterwards is the settled one.
void settle() {
  for (int i = 0; i < 4; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  }
}

// Points the per-user settings at a folder of the test's own while it lives.
class ConfigHome {
 public:
  explicit ConfigHome(const QString& path) : old_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", path.toLocal8Bit());
  }
  ~ConfigHome() {
    if (old_.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", old_);
  }

 private:
  QByteArray old_;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    window.engine().setEarliestReplyNs(0);  // the fake port answers at once
    window.engine().setLogPath(dir.filePath("Polmon.dbg"));
    window.engine().setReplyTimeoutMs(20);
    clock.install(window.engine());
    // Drive A answers every status query "P" at duct 4, with 9 ducts.
    QObject::connect(&window.engine(), &PollEngine::frameSent, &window, [this](const QByteArray& f) {
      if (f == "AS") clock.answer(&window, link, "P4\r");
      if (f == "Ad") clock.answer(&window, link, "D9\r");
    });
  }
  bool scan() {
    QTest::mouseClick(find<QPushButton>(window, "cmdScan"), Qt::LeftButton);
    return QTest::qWaitFor([&] { return window.engine().polling(); }, 10000);
  }
  static QColor base(QWidget* w) { return w->palette().color(QPalette::Base); }

  QTemporaryDir dir;
  ConfigHome config{dir.filePath("config")};
  HeldClock clock;
  FakeSerialLink link;
  PolmonWindow window{&link};
};

}  // namespace

TEST_F(WindowTest, StartsWithItsTextsAndAnEmptyGrid) {
  EXPECT_EQ(window.windowTitle(), "TVRNet Controller");
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "0 ");
  EXPECT_EQ(find<QLabel>(window, "lblErrCnt")->text(), "0 ");
  EXPECT_EQ(find<QLabel>(window, "lblDrives")->text(), "Drives Found");
  EXPECT_EQ(find<QLabel>(window, "lblError")->text(), "Errors Detected");
  EXPECT_EQ(find<QLabel>(window, "lblDuctReq")->text(), "Number of Ducts");
  EXPECT_EQ(find<QCheckBox>(window, "chkScanSpeed")->text().remove('&'), "Slow Scan");
  EXPECT_EQ(find<QPushButton>(window, "cmdScan")->text().remove('&'), "Scan");
  EXPECT_EQ(find<QPushButton>(window, "cmdExit")->text().remove('&'), "Exit");
  EXPECT_TRUE(find<QFrame>(window, "Frame1")->isHidden());
  // Every port opened at load is listed, the first one chosen.
  EXPECT_EQ(find<QComboBox>(window, "cmbComm")->count(), 16);
  EXPECT_EQ(find<QComboBox>(window, "cmbComm")->itemText(15), "COM 16");
  EXPECT_EQ(find<QComboBox>(window, "cmbComm")->currentText(), "COM 1");
  EXPECT_FALSE(link.isOpen());  // probed and closed again
  for (int i = 0; i < kRows; ++i) {
    EXPECT_TRUE(find<QPushButton>(window, "cmdRnd", i)->isHidden());
    EXPECT_TRUE(find<QLineEdit>(window, "txtAddr", i)->text().isEmpty());
    EXPECT_FALSE(find<Lamp>(window, "shpLed", i)->isRed());
    EXPECT_EQ(base(find<QLineEdit>(window, "txtStat", i)), QColor(xav::colours::LightGrey));
    EXPECT_EQ(base(find<QLineEdit>(window, "txtRequest", i)), QColor(xav::colours::White));
  }
  // The headings appear once per half.
  int addrHeadings = 0;
  for (QLabel* l : window.findChildren<QLabel*>())
    if (l->text() == "Addr") ++addrHeadings;
  EXPECT_EQ(addrHeadings, 2);

  FakeSerialLink none;
  none.openable = false;
  PolmonWindow empty(&none);
  EXPECT_EQ(find<QComboBox>(empty, "cmbComm")->count(), 0);
  EXPECT_TRUE(find<QComboBox>(empty, "cmbComm")->currentText().isEmpty());
}

TEST_F(WindowTest, ScanShowsTheSweepAndThePollOnTheGrid) {
  ASSERT_TRUE(scan());
  EXPECT_TRUE(find<QComboBox>(window, "cmbComm")->isHidden());
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "1 Drives Found");
  EXPECT_EQ(find<QLabel>(window, "lblErrCnt")->text(), "0");
  EXPECT_EQ(find<QLineEdit>(window, "txtAddr", 0)->text(), "A");
  EXPECT_EQ(find<QLineEdit>(window, "txtStat", 0)->text(), "P");
  EXPECT_EQ(find<QLineEdit>(window, "txtPosition", 0)->text(), "4");
  EXPECT_EQ(base(find<QLineEdit>(window, "txtStat", 0)), QColor(xav::colours::Green));
  EXPECT_FALSE(find<QPushButton>(window, "cmdRnd", 0)->isHidden());
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->text(), " 9");
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->palette().color(QPalette::Button), QColor(xav::colours::Cyan));
  EXPECT_TRUE(find<QPushButton>(window, "cmdRnd", 1)->isHidden());
  // The lamp of the polled row is lit, and only that one.
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<Lamp>(window, "shpLed", 0)->isRed(); }, 5000));
  for (int i = 1; i < kRows; ++i) EXPECT_FALSE(find<Lamp>(window, "shpLed", i)->isRed());
  // Random on from the known duct count: orange.
  QTest::mouseClick(find<QPushButton>(window, "cmdRnd", 0), Qt::LeftButton);
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->palette().color(QPalette::Button), QColor(xav::colours::Orange));
}

TEST_F(WindowTest, RequestBoxKeysConfirmOrWithdrawTheRequest) {
  ASSERT_TRUE(scan());
  QLineEdit* req = find<QLineEdit>(window, "txtRequest", 0);
  QTest::keyClicks(req, "7");
  EXPECT_EQ(base(req), QColor(xav::colours::Cyan));
  EXPECT_FALSE(window.engine().row(0).sendArmed);
  EXPECT_EQ(window.engine().row(0).request, "7");
  QTest::keyClick(req, Qt::Key_Return);
  EXPECT_EQ(base(req), QColor(xav::colours::White));
  EXPECT_TRUE(window.engine().row(0).sendArmed);
  EXPECT_EQ(req->text(), "7");
  // Leaving the box with Tab types nothing: the request stays confirmed.
  QTest::keyClick(req, Qt::Key_Tab);
  QTest::keyClick(req, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(base(req), QColor(xav::colours::White));
  EXPECT_TRUE(window.engine().row(0).sendArmed);
  QTest::keyClick(req, Qt::Key_Backspace);
  EXPECT_FALSE(window.engine().row(0).sendArmed);
  EXPECT_TRUE(req->text().isEmpty());
}

TEST_F(WindowTest, DuctPanelAcceptsOnlyOneToSixtyTwo) {
  window.engine().editAddress(0, "A");
  find<QLineEdit>(window, "txtAddr", 0)->setText("A");
  // Address typed, no sweep yet: the button asks for the number of ducts.
  window.engine().pressRowButton(0);
  ASSERT_FALSE(find<QFrame>(window, "Frame1")->isHidden());
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "0");
  QTest::keyClick(find<QLineEdit>(window, "txtDucts"), Qt::Key_Return);
  EXPECT_TRUE(find<QLineEdit>(window, "txtDucts")->text().isEmpty());
  EXPECT_FALSE(find<QFrame>(window, "Frame1")->isHidden());
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "63");
  QTest::keyClick(find<QLineEdit>(window, "txtDucts"), Qt::Key_Return);
  EXPECT_TRUE(find<QLineEdit>(window, "txtDucts")->text().isEmpty());
  EXPECT_FALSE(find<QFrame>(window, "Frame1")->isHidden());
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "62");
  QTest::keyClick(find<QLineEdit>(window, "txtDucts"), Qt::Key_Return);
  EXPECT_TRUE(find<QFrame>(window, "Frame1")->isHidden());
  EXPECT_TRUE(find<QLineEdit>(window, "txtDucts")->text().isEmpty());
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->text(), "62");
  EXPECT_EQ(window.engine().row(0).randomLimit, std::optional<double>(62));
}

TEST_F(WindowTest, DisplayOnlyBoxesSendTheFocusToExit) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  find<QLineEdit>(window, "txtStat", 3)->setFocus();
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>(window, "cmdExit")->hasFocus(); }, 2000));
  find<QLineEdit>(window, "txtAddr", 3)->setFocus();
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<QLineEdit>(window, "txtAddr", 3)->hasFocus(); }, 2000));
  find<QLineEdit>(window, "txtPosition", 12)->setFocus();
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>(window, "cmdExit")->hasFocus(); }, 2000));
}

TEST_F(WindowTest, ExitWritesTheShutDownLine) {
  QSignalSpy exits(&window, &PolmonWindow::exitRequested);
  window.engine().setWallClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 1, 2)); });
  QTest::mouseClick(find<QPushButton>(window, "cmdExit"), Qt::LeftButton);
  EXPECT_EQ(exits.count(), 1);
  QByteArray log;
  ASSERT_TRUE(xav::readWholeFile(dir.filePath("Polmon.dbg"), &log));
  EXPECT_EQ(log, QByteArray("Shut down 12/6/2026 9:01:02 AM\r\n"));
}

TEST_F(WindowTest, RandomOnFromADuctCountLeavesAnOpenDuctPanelOpen) {
  ASSERT_TRUE(scan());
  ASSERT_EQ(find<QPushButton>(window, "cmdRnd", 0)->text(), " 9");
  // Row 1 waits for its number of ducts in the panel.
  find<QLineEdit>(window, "txtAddr", 1)->setText("B");
  window.engine().editAddress(1, "B");
  window.engine().pressRowButton(1);
  ASSERT_FALSE(find<QFrame>(window, "Frame1")->isHidden());
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "1");
  // Meanwhile row 0 switches random on from its known count: the duct box
  // is emptied, but the panel (and the wait behind it) stays.
  QTest::mouseClick(find<QPushButton>(window, "cmdRnd", 0), Qt::LeftButton);
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->palette().color(QPalette::Button), QColor(xav::colours::Orange));
  EXPECT_TRUE(find<QLineEdit>(window, "txtDucts")->text().isEmpty());
  EXPECT_FALSE(find<QFrame>(window, "Frame1")->isHidden());
  EXPECT_TRUE(window.engine().ductEntryOpen());
  // The count can still be given, and the poll goes on.
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "5");
  QTest::keyClick(find<QLineEdit>(window, "txtDucts"), Qt::Key_Return);
  EXPECT_TRUE(find<QFrame>(window, "Frame1")->isHidden());
  EXPECT_FALSE(window.engine().ductEntryOpen());
  EXPECT_EQ(window.engine().row(1).randomLimit, std::optional<double>(5));
  EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 1)->text(), "5");
  const QByteArray before = link.written();
  EXPECT_TRUE(QTest::qWaitFor([&] { return link.written().size() > before.size(); }, 5000));
}

TEST_F(WindowTest, PastingIntoAConfirmedRequestWithdrawsTheConfirmation) {
  ASSERT_TRUE(scan());
  QLineEdit* req = find<QLineEdit>(window, "txtRequest", 0);
  QTest::keyClicks(req, "7");
  QTest::keyClick(req, Qt::Key_Return);
  ASSERT_TRUE(window.engine().row(0).sendArmed);
  // What the context menu's Paste and a middle click do: no key is pressed.
  QGuiApplication::clipboard()->setText(QStringLiteral("9"));
  req->selectAll();
  req->paste();
  ASSERT_EQ(req->text(), "9");
  EXPECT_FALSE(window.engine().row(0).sendArmed);
  EXPECT_EQ(base(req), QColor(xav::colours::Cyan));
  // The pasted duct is not sent until Enter confirms it.
  int polls = 0;
  QObject::connect(&window.engine(), &PollEngine::pollStarted, &window, [&](int r) { polls += r == 0; });
  link.writes.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return polls >= 3; }, 10000));
  EXPECT_FALSE(link.writes.contains(QByteArray("A\x09", 2)));
  QTest::keyClick(req, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return link.writes.contains(QByteArray("A\x09", 2)); }, 10000));
}

TEST_F(WindowTest, AnUnwritableLogIsShownWhereAndWhyAndPollingGoesOn) {
  const QString blocked = dir.filePath("blocked/Polmon.dbg");
  ASSERT_TRUE(QDir().mkpath(blocked));
  window.engine().setLogPath(blocked);
  ASSERT_TRUE(scan());
  const QString shown = find<QLabel>(window, "lblMessage")->text();
  EXPECT_TRUE(shown.contains(QFileInfo(blocked).absoluteFilePath())) << qPrintable(shown);
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "1 Drives Found");
  EXPECT_EQ(find<QLineEdit>(window, "txtPosition", 0)->text(), "4");
}

TEST_F(WindowTest, TheDuctPanelOpensAndClosesWithoutMovingAnythingElse) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto layoutNow = [&] {
    QList<QRect> where{QRect(QPoint(), window.size())};
    for (const char* name : {"cmdScan", "cmdExit", "lblErrCnt", "lblError", "lblMessage"})
      where << find<QWidget>(window, name)->geometry();
    for (int i : {0, 9, 10, 19}) {
      where << find<QWidget>(window, "txtAddr", i)->geometry() << find<QWidget>(window, "cmdRnd", i)->geometry()
            << find<QWidget>(window, "shpLed", i)->geometry();
    }
    return where;
  };
  settle();
  const QList<QRect> before = layoutNow();
  window.engine().editAddress(0, "A");
  window.engine().pressRowButton(0);  // no duct count: the panel asks for one
  ASSERT_TRUE(QTest::qWaitFor([&] { return find<QFrame>(window, "Frame1")->isVisible(); }, 2000));
  settle();
  EXPECT_EQ(layoutNow(), before);
  QTest::keyClicks(find<QLineEdit>(window, "txtDucts"), "5");
  QTest::keyClick(find<QLineEdit>(window, "txtDucts"), Qt::Key_Return);
  ASSERT_TRUE(find<QFrame>(window, "Frame1")->isHidden());
  settle();
  EXPECT_EQ(layoutNow(), before);
}

TEST_F(WindowTest, ThePortScannedLastIsChosenAgainWhenItIsStillListed) {
  find<QComboBox>(window, "cmbComm")->setEditText("COM 3");
  ASSERT_TRUE(scan());
  FakeSerialLink again;
  PolmonWindow next(&again);
  EXPECT_EQ(find<QComboBox>(next, "cmbComm")->currentText(), "COM 3");
  EXPECT_TRUE(find<QLabel>(next, "lblMessage")->text().isEmpty());
  // Gone from the list: nothing is chosen for it, and the window says why.
  FakeSerialLink none;
  none.openable = false;
  PolmonWindow empty(&none);
  EXPECT_TRUE(find<QComboBox>(empty, "cmbComm")->currentText().isEmpty());
  EXPECT_FALSE(find<QLabel>(empty, "lblMessage")->text().isEmpty());
}

TEST_F(WindowTest, StatisticsWindowShowsTheCountsLiveAndExportsThem) {
  ASSERT_TRUE(scan());
  QPushButton* open = find<QPushButton>(window, "cmdStatistics");
  EXPECT_EQ(open->text(), "S&tatistics");  // Alt+T
  QTest::mouseClick(open, Qt::LeftButton);
  auto* stats = window.findChild<StatisticsWindow*>("frmStatistics");
  ASSERT_NE(stats, nullptr);
  EXPECT_TRUE(stats->isVisible());
  auto* table = stats->findChild<QTableWidget*>("grdStatistics");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), kRows);
  EXPECT_EQ(table->verticalHeaderItem(18)->text(), "T");
  // Updated while the cycle runs: A's polls go up, its reply times show.
  const int polls = table->item(0, 0)->text().toInt();
  EXPECT_TRUE(QTest::qWaitFor([&] { return table->item(0, 0)->text().toInt() >= polls + 5; }, 5000));
  EXPECT_FALSE(table->item(0, 5)->text().isEmpty());
  EXPECT_EQ(table->item(1, 0)->text(), "0");  // B: nobody answered the sweep there

  // Export CSV through its dialog.
  QTest::mouseClick(stats->findChild<QPushButton*>("cmdExportCsv"), Qt::LeftButton);
  auto* dialog = stats->findChild<QFileDialog*>("dlgExportCsv");
  ASSERT_NE(dialog, nullptr);
  const QString path = dir.filePath("stats.csv");
  dialog->selectFile(path);
  QMetaObject::invokeMethod(dialog, "accept");
  QByteArray csv;
  ASSERT_TRUE(xav::readWholeFile(path, &csv));
  EXPECT_TRUE(csv.startsWith("Exported,"));
  EXPECT_EQ(csv.count("\r\n"), 22);
  EXPECT_TRUE(csv.contains("\r\nA,"));
  EXPECT_TRUE(stats->findChild<QLabel*>("lblExportResult")->text().contains("stats.csv"));
  // A place that cannot be written is said so, and nothing half-written is left.
  ASSERT_TRUE(xav::writeWholeFile(dir.filePath("plain"), "x"));
  EXPECT_FALSE(stats->exportTo(dir.filePath("plain/stats.csv")));
  EXPECT_TRUE(stats->findChild<QLabel*>("lblExportResult")->text().startsWith("Not exported"));
  EXPECT_FALSE(QFile::exists(dir.filePath("plain/stats.csv")));
}

namespace {
// Where a widget lies in its window's coordinates.
QRect inWindow(QWidget* w) { return QRect(w->mapTo(w->window(), QPoint()), w->size()); }

double contrast(const QColor& a, const QColor& b) {
  auto lum = [](const QColor& c) {
    auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
  };
  const double x = lum(a) + 0.05, y = lum(b) + 0.05;
  return x > y ? x / y : y / x;
}
}  // namespace

TEST_F(WindowTest, NothingInTheTopRowMovesWhenScanHidesThePortList) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QStringList names{"chkScanSpeed", "cmdScan", "cmdExit", "cmdStatistics", "cmdTimeline",
                          "lblDistCnt", "lblDrives", "lblErrCnt", "lblError"};
  auto topRow = [&] {
    QList<QRect> where;
    for (const QString& n : names) where << inWindow(find<QWidget>(window, n));
    return where;
  };
  settle();
  const QList<QRect> before = topRow();
  const QRect window0(QPoint(), window.size());
  for (int k = 0; k < before.size(); ++k) {
    EXPECT_TRUE(window0.contains(before[k])) << qPrintable(names[k]);
    for (int j = k + 1; j < before.size(); ++j)
      EXPECT_FALSE(before[k].intersects(before[j])) << qPrintable(names[k] + " and " + names[j]);
  }
  // The second click of a double click lands where the first did: on Scan.
  const QPoint firstClick = before[1].center();
  ASSERT_TRUE(scan());
  ASSERT_TRUE(find<QComboBox>(window, "cmbComm")->isHidden());
  ASSERT_TRUE(find<QLabel>(window, "lblDrives")->isHidden());  // "1 Drives Found" says it
  settle();
  EXPECT_EQ(topRow(), before);
  EXPECT_EQ(window.childAt(firstClick), find<QWidget>(window, "cmdScan"));
  EXPECT_FALSE(before[2].contains(firstClick));
  EXPECT_TRUE(find<QLabel>(window, "lblPort")->isHidden());  // with its list
}

TEST_F(WindowTest, DrivesFoundIsSaidOnce) {
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "0 ");
  EXPECT_FALSE(find<QLabel>(window, "lblDrives")->isHidden());
  ASSERT_TRUE(scan());
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "1 Drives Found");
  EXPECT_TRUE(find<QLabel>(window, "lblDrives")->isHidden());
}

TEST_F(WindowTest, AScanThatOpensNoPortKeepsTheListSaysWhyAndLeavesNothingStale) {
  ASSERT_TRUE(scan());
  ASSERT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "1 Drives Found");
  // The adapter goes, and is gone when Scan is pressed again.
  link.close();
  emit link.failed(QStringLiteral("the device was disconnected"));
  ASSERT_TRUE(window.engine().lostPort());
  link.openable = false;
  QTest::mouseClick(find<QPushButton>(window, "cmdScan"), Qt::LeftButton);
  auto* list = find<QComboBox>(window, "cmbComm");
  EXPECT_FALSE(list->isHidden());
  const QString said = find<QLabel>(window, "lblMessage")->text();
  EXPECT_TRUE(said.contains("COM 1")) << qPrintable(said);
  EXPECT_TRUE(said.contains("cannot be opened")) << qPrintable(said);
  EXPECT_EQ(find<QLabel>(window, "lblDistCnt")->text(), "0 ");
  EXPECT_FALSE(find<QLabel>(window, "lblDrives")->isHidden());
  EXPECT_EQ(list->count(), 0);  // probed again: nothing opens now

  // Plugged in again: the next Scan finds it, chooses it and sweeps.
  link.openable = true;
  ASSERT_TRUE(scan());
  EXPECT_TRUE(list->isHidden());
  EXPECT_EQ(list->count(), 16);
  EXPECT_EQ(list->currentText(), "COM 1");
  // (How many: on a slow machine a reply of the earlier cycle may still be
  // on its way; the framing is not what this test is about.)
  EXPECT_TRUE(find<QLabel>(window, "lblDistCnt")->text().endsWith(" Drives Found"));
  EXPECT_EQ(find<QLineEdit>(window, "txtAddr", 0)->text(), "A");
  EXPECT_TRUE(find<QLabel>(window, "lblMessage")->text().isEmpty());
}

TEST_F(WindowTest, AScanWithNoPortListedSaysSo) {
  FakeSerialLink none;
  none.openable = false;
  PolmonWindow empty(&none);
  empty.engine().setLogPath(dir.filePath("empty.dbg"));
  QTest::mouseClick(find<QPushButton>(empty, "cmdScan"), Qt::LeftButton);
  EXPECT_FALSE(find<QComboBox>(empty, "cmbComm")->isHidden());
  const QString said = find<QLabel>(empty, "lblMessage")->text();
  EXPECT_TRUE(said.startsWith("No port was chosen")) << qPrintable(said);
}

TEST(WindowColours, FixedBackgroundsCarryFixedTextUnderADarkTheme) {
  const QPalette saved = QApplication::palette();
  QPalette dark = saved;
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) dark.setColor(role, QColor(40, 40, 40));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) dark.setColor(role, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  {
    QTemporaryDir dir;
    ConfigHome config(dir.filePath("config"));
    FakeSerialLink link;
    PolmonWindow window(&link);
    window.engine().setEarliestReplyNs(0);
    window.engine().setLogPath(dir.filePath("Polmon.dbg"));
    window.engine().setReplyTimeoutMs(20);
    HeldClock clock;
    clock.install(window.engine());
    QObject::connect(&window.engine(), &PollEngine::frameSent, &window, [&](const QByteArray& f) {
      if (f == "AS") clock.answer(&window, link, "M0\r");
      if (f == "BS") clock.answer(&window, link, "P2\r");
      if (f == "Bd") clock.answer(&window, link, "D9\r");
    });
    QTest::mouseClick(find<QPushButton>(window, "cmdScan"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.engine().polling(); }, 10000));
    // The sweep offers "Rnd" first; the poll after it offers the reset.
    ASSERT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>(window, "cmdRnd", 0)->text() == "Reset"; }, 10000));
    window.engine().editRequest(2, "5");  // cyan while typed
    for (int i = 0; i < kRows; ++i)
      for (const char* name : {"txtAddr", "txtStat", "txtPosition", "txtRequest"}) {
        const QPalette p = find<QLineEdit>(window, name, i)->palette();
        EXPECT_GE(contrast(p.color(QPalette::Base), p.color(QPalette::Text)), 4.5) << name << i;
      }
    // Reset on light red, the duct count on cyan: black text on both.
    for (int i : {0, 1}) {
      const QPalette p = find<QPushButton>(window, "cmdRnd", i)->palette();
      EXPECT_EQ(p.color(QPalette::ButtonText), QColor(Qt::black)) << i;
    }
    EXPECT_EQ(find<QPushButton>(window, "cmdRnd", 0)->palette().color(QPalette::Button), QColor(xav::colours::LightRed));
    // What has no colour of its own follows the theme.
    EXPECT_EQ(find<QLabel>(window, "lblError")->palette().color(QPalette::WindowText), QColor(230, 230, 230));
  }
  QApplication::setPalette(saved);
  // Black on every colour the grid paints, by the contrast rule.
  for (QRgb c : {xav::colours::LightGrey, xav::colours::Green, xav::colours::Red, xav::colours::White, xav::colours::Cyan,
                 xav::colours::Orange, xav::colours::LightRed})
    EXPECT_EQ(textColourOn(c), qRgb(0, 0, 0));
  EXPECT_EQ(textColourOn(qRgb(0, 0, 128)), qRgb(255, 255, 255));
}

TEST_F(WindowTest, KeyboardReachesFieldsByMnemonicAndTabSkipsReadOnlyBoxes) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  for (int i = 0; i < kRows; ++i)
    for (const char* name : {"txtAddr", "txtStat", "txtPosition"})
      EXPECT_FALSE(find<QWidget>(window, name, i)->focusPolicy() & Qt::TabFocus) << name << i;
  EXPECT_TRUE(find<QWidget>(window, "txtRequest", 0)->focusPolicy() & Qt::TabFocus);
  QTest::keyClick(&window, Qt::Key_P, Qt::AltModifier);
  EXPECT_TRUE(find<QComboBox>(window, "cmbComm")->hasFocus());
  QTest::keyClick(&window, Qt::Key_Q, Qt::AltModifier);
  EXPECT_TRUE(find<QLineEdit>(window, "txtRequest", 10)->hasFocus());
  QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(find<QLineEdit>(window, "txtRequest", 0)->hasFocus());
  // From a request, Tab goes on to the next row's request: no read-only box
  // in between (the row buttons are hidden before a sweep).
  QTest::keyClick(find<QLineEdit>(window, "txtRequest", 0), Qt::Key_Tab);
  EXPECT_TRUE(find<QLineEdit>(window, "txtRequest", 1)->hasFocus());
  // A button's mnemonic clicks it a moment later.
  QTest::keyClick(&window, Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        auto* timeline = window.findChild<QWidget*>("frmTimeline");
        return timeline && timeline->isVisible();
      },
      5000));
}

TEST_F(WindowTest, StatisticsAndTimelineFitASmallScreenWhole) {
  ASSERT_TRUE(scan());
  QTest::mouseClick(find<QPushButton>(window, "cmdStatistics"), Qt::LeftButton);
  QTest::mouseClick(find<QPushButton>(window, "cmdTimeline"), Qt::LeftButton);
  const QRect screen = window.screen()->availableGeometry();
  for (const char* name : {"frmStatistics", "frmTimeline"}) {
    auto* w = window.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << name;
    // 900 x 500 logical pixels: a 1366 x 768 screen at scale 1.5.
    EXPECT_LE(w->minimumSizeHint().width(), 900) << name;
    EXPECT_LE(w->minimumSizeHint().height(), 500) << name;
    EXPECT_LE(w->width(), screen.width()) << name;
    EXPECT_LE(w->height(), screen.height()) << name;
    // Close is within the window, in view.
    auto* close = w->findChild<QPushButton*>("cmdClose");
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(QRect(QPoint(), w->size()).contains(QRect(close->mapTo(w, QPoint()), close->size()))) << name;
    w->resize(900, 500);
    settle();
    EXPECT_TRUE(QRect(QPoint(), w->size()).contains(QRect(close->mapTo(w, QPoint()), close->size()))) << name;
  }
  EXPECT_LE(window.minimumSizeHint().width(), 900);
  EXPECT_LE(window.minimumSizeHint().height(), 500);
  // What scrolls can be reached by Tab, so the keys scroll it.
  for (const char* name : {"grdStatistics", "scrTime", "scrLanes"}) {
    auto* w = window.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << name;
  }
}

TEST(PortAccess, GroupAdviceOnlyWhereTheGroupMayReadAndWrite) {
  // The device belongs to root, mode 0600: joining root would not help.
  const QList<SerialDevice> rootOnly{{"/dev/ttyUSB0", false, "root", 0600}};
  const QString advice = serialAccessAdvice(rootOnly, {"users"}, "tech");
  EXPECT_FALSE(advice.contains("usermod")) << qPrintable(advice);
  EXPECT_TRUE(advice.contains("/dev/ttyUSB0 gives its group root no access (mode 0600)")) << qPrintable(advice);
  EXPECT_TRUE(advice.contains("GROUP=\"dialout\", MODE=\"0660\"")) << qPrintable(advice);
  EXPECT_TRUE(advice.contains("udevadm")) << qPrintable(advice);
  // Read but not write for the group is no access either, member or not.
  EXPECT_FALSE(serialAccessAdvice({{"/dev/ttyS0", false, "dialout", 0640}}, {"dialout"}, "tech").isEmpty());
  EXPECT_FALSE(serialAccessAdvice({{"/dev/ttyS0", false, "dialout", 0640}}, {}, "tech").contains("usermod"));
  // One device a group's members may use: join that group.
  const QString join =
      serialAccessAdvice({{"/dev/ttyUSB0", false, "root", 0600}, {"/dev/ttyS0", false, "dialout", 0660}}, {}, "tech");
  EXPECT_TRUE(join.contains("sudo usermod -aG dialout tech")) << qPrintable(join);
}
