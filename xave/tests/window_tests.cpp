// XAVE's main window over the bench utilities: start-up, scan cycle,
// read-back, entry rules and the save.
#include <QDir>
#include <QFile>

#include <cmath>

#include "colours.h"
#include "files.h"
#include "window_support.h"
#include "processes.h"

namespace {
// Runs the event loop until n scan ticks have each read a listing that a
// finished discovery left: a count of events, not a time.
bool waitForScanTicks(xave::XaveWindow& window, int n) {
  auto* discovery = window.findChild<gw::BackgroundCommand*>();
  auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
  if (!discovery || !timer) return false;
  bool fresh = false;
  int ticks = 0;
  QObject guard;
  QObject::connect(discovery, &gw::BackgroundCommand::finished, &guard, [&] { fresh = true; });
  QObject::connect(timer, &QTimer::timeout, &guard, [&] {
    if (fresh) ++ticks;
    fresh = false;
  });
  return xave::testing::waitFor([&] { return ticks >= n; }, 60000);
}
}  // namespace

namespace xave::testing {
namespace {

const QString kTail = QStringLiteral("//RVSIM_Captions\r\nPOS A,Feeder 1\r\nPOS B,Feeder 2\r\n");
// The tail as read back: to the end of the file, without the CR LF the save adds after it.
const QString kTailRead = kTail;

TEST_F(XaveWindowTest, StartUpListsEveryModuleAndDropsAStaleListing) {
  env.addModule("127.0.0.11", "PRESS1");
  env.addModule("127.0.0.12", "Line 2 bridge");
  env.addModule("127.0.0.13", "XAV");
  xav::writeWholeFile(env.workFile("C.txt"), "BRIDGE NAME\r\n====\r\n" +
                                                 QByteArray("STALE").leftJustified(31, ' ') + "127.0.0.99\r\n");
  start();
  EXPECT_EQ(window->windowTitle(), "XAVE Configuration V3.0.1");
  EXPECT_EQ(entries(), (QStringList{"127.0.0.11, PRESS1 : ", "127.0.0.12, Line 2 bridge : ", "127.0.0.13, XAV : "}));
  EXPECT_EQ(get<QLabel>("lblScanOn")->text(), "Scanning for XAVs");
  EXPECT_TRUE(window->isScanning());
  EXPECT_TRUE(box("txtTitle")->text().isEmpty());
  EXPECT_FALSE(option(1)->isEnabled());
  EXPECT_FALSE(get<QPushButton>("cmdToolbox")->isEnabled());
  EXPECT_TRUE(box("txtMBReg")->isHidden());
  EXPECT_TRUE(get<QLabel>("lblWait")->isHidden());
  EXPECT_TRUE(messages.messages().empty());

  // Closing removes the files the run left behind.
  window->close();
  EXPECT_FALSE(QFile::exists(env.workFile("C.txt")));
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv")));
}

TEST_F(XaveWindowTest, MissingUtilityEndsTheStartWithItsMessage) {
  QFile::remove(env.workFile("ruiping.exe"));
  window = std::make_unique<XaveWindow>();
  EXPECT_FALSE(window->Form_Load());
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].title, "XAV.exe File Check");
  EXPECT_EQ(messages.messages()[0].text,
            "RuiPing.exe not found in " + QDir::currentPath() + ". Correct and try again.");
  EXPECT_EQ(messages.messages()[0].icon, xav::MessageIcon::Critical);
}

TEST_F(XaveWindowTest, UnchangedListingKeepsTheSelectionAndAChangedOneRefills) {
  env.addModule("127.0.0.11", "A");
  env.addModule("127.0.0.12", "B");
  start();
  ASSERT_EQ(list()->count(), 2);
  list()->setCurrentRow(1);
  QListWidgetItem* selected = list()->currentItem();
  ASSERT_TRUE(waitForScanTicks(*window, 2));  // two ticks with the same listing
  EXPECT_EQ(list()->currentItem(), selected);
  EXPECT_EQ(list()->count(), 2);

  env.addModule("127.0.0.14", "C");
  EXPECT_TRUE(waitFor([&] { return listed("127.0.0.14"); }));
  EXPECT_EQ(list()->count(), 3);
  env.removeModule("127.0.0.11");
  EXPECT_TRUE(waitFor([&] { return !listed("127.0.0.11"); }));
}

TEST_F(XaveWindowTest, PickingAModuleRestoresEachProtocol) {
  env.addModule("127.0.0.21", "PCCC", makeConfig(gw::kPccc, "10.1.2.3", "9", "12", "Press 4"));
  env.addModule("127.0.0.22", "CIP", makeConfig(gw::kCip, "10.1.2.4", "3", "", "Tags"));
  env.addModule("127.0.0.23", "MB", makeConfig(gw::kModbusTcp, "10.1.2.5", "40101", "", "Modbus line"));
  start();

  pick("127.0.0.21");
  EXPECT_EQ(window->moduleIp(), "127.0.0.21");
  EXPECT_FALSE(window->isScanning());
  EXPECT_EQ(get<QLabel>("lblScanOn")->text(), "Not scanning");
  EXPECT_TRUE(option(1)->isChecked());
  EXPECT_EQ(box("txtEIPFile")->text(), "9");
  EXPECT_EQ(box("txtEIPOff")->text(), "12");
  EXPECT_FALSE(box("txtEIPFile")->isHidden());
  EXPECT_TRUE(box("txtMBReg")->isHidden());
  EXPECT_EQ(box("txtIPAddress")->text(), "10.1.2.3");
  EXPECT_TRUE(gw::isWhite(box("txtIPAddress")));
  EXPECT_EQ(box("txtTitle")->text(), "Press 4");
  EXPECT_TRUE(get<QPushButton>("cmdToolbox")->isEnabled());
  EXPECT_TRUE(get<QPushButton>("cmdUpdateXAV")->isEnabled());

  box("txtMBReg")->setText("40500");
  pick("127.0.0.22");
  EXPECT_TRUE(option(2)->isChecked());
  EXPECT_FALSE(option(1)->isChecked());
  EXPECT_EQ(box("txtEipPath")->text(), "3");
  EXPECT_EQ(box("txtMBReg")->text(), "40500") << "only the slot comes back for CIP";
  EXPECT_FALSE(get<QLabel>("lblEipCipDesc")->isHidden());
  EXPECT_TRUE(box("txtEIPFile")->isHidden());
  EXPECT_EQ(box("txtIPAddress")->text(), "10.1.2.4");
  EXPECT_EQ(box("txtTitle")->text(), "Tags");

  pick("127.0.0.23");
  EXPECT_TRUE(option(3)->isChecked());
  EXPECT_EQ(box("txtMBReg")->text(), "40101");
  EXPECT_FALSE(box("txtMBReg")->isHidden());
  EXPECT_TRUE(box("txtEipPath")->isHidden());
  EXPECT_EQ(box("txtIPAddress")->text(), "10.1.2.5");
  EXPECT_EQ(box("txtTitle")->text(), "Modbus line");
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(XaveWindowTest, SaveUploadsTheGeneratorsFileKeepingTheCaptionsAndResetsTheWindow) {
  env.addModule("127.0.0.31", "MB", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Old", kTail));
  start();
  pick("127.0.0.31");
  EXPECT_EQ(window->captionsTail().toStdString(), kTailRead.toStdString());
  type("txtIPAddress", "010.001.002.003");
  type("txtMBReg", "40201");
  type("txtTitle", "Line 7, east");
  EXPECT_EQ(box("txtTitle")->text(), "Line 7 east");
  click("cmdUpdateXAV");

  EXPECT_EQ(env.moduleFile("127.0.0.31", "Config.csv"),
            makeConfig(gw::kModbusTcp, "010.001.002.003", "40201", "", "Line 7 east", kTailRead));
  EXPECT_EQ(window->plcIp(), "10.1.2.3");
  EXPECT_TRUE(messages.messages().empty());
  // The window is back to scanning with nothing selected.
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv")));
  EXPECT_FALSE(get<QPushButton>("cmdUpdateXAV")->isEnabled());
  EXPECT_FALSE(get<QPushButton>("cmdToolbox")->isEnabled());
  EXPECT_TRUE(get<QLabel>("lblWait")->isHidden());
  EXPECT_TRUE(box("txtTitle")->text().isEmpty());
  EXPECT_TRUE(box("txtIPAddress")->text().isEmpty());
  EXPECT_FALSE(option(3)->isChecked());
  EXPECT_TRUE(box("txtMBReg")->isHidden());
  EXPECT_TRUE(window->isScanning());
  EXPECT_EQ(list()->count(), 0);
  // The first tick that reads a listing fills the list again, although the
  // listing is the one shown before the save.
  EXPECT_TRUE(waitFor([&] { return list()->count() == 1; }));
  EXPECT_EQ(entries(), QStringList{"127.0.0.31, MB : "});
}

TEST_F(XaveWindowTest, ReadBackThenSaveUnchangedGivesTheModuleItsFileByteForByte) {
  const QByteArray original = makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "Same", kTail);
  env.addModule("127.0.0.32", "MB", original);
  start();
  for (int cycle = 0; cycle < 2; ++cycle) {
    pick("127.0.0.32");
    click("cmdUpdateXAV");
    EXPECT_EQ(env.moduleFile("127.0.0.32", "Config.csv"), original) << "cycle " << cycle;
    click("cmdReScan");
  }
}

TEST_F(XaveWindowTest, EntryBoxesColourAtTheirEdgesWhileTyping) {
  env.addModule("127.0.0.41", "MB", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  pick("127.0.0.41");
  auto whiteAfter = [&](const char* name, const char* text) {
    type(name, QString::fromLatin1(text));
    return gw::isWhite(box(name));
  };
  EXPECT_FALSE(whiteAfter("txtIPAddress", "192.168.1"));
  EXPECT_FALSE(whiteAfter("txtIPAddress", "192.168..1"));
  EXPECT_FALSE(whiteAfter("txtIPAddress", "192.168.1.256"));
  EXPECT_TRUE(whiteAfter("txtIPAddress", "192.168.1.255"));
  EXPECT_EQ(box("txtIPAddress")->palette().color(QPalette::Base).rgb(), QColor(xav::colours::White).rgb());
  EXPECT_FALSE(whiteAfter("txtMBReg", "40000"));
  EXPECT_EQ(box("txtMBReg")->palette().color(QPalette::Base).rgb(),
            QColor(xav::colours::fromBgrValue(8421631)).rgb());
  EXPECT_TRUE(whiteAfter("txtMBReg", "40001"));
  EXPECT_TRUE(whiteAfter("txtMBReg", "465514"));
  EXPECT_FALSE(whiteAfter("txtMBReg", "465515"));

  QTest::mouseClick(option(1), Qt::LeftButton);
  EXPECT_FALSE(box("txtEIPFile")->isHidden());
  EXPECT_TRUE(box("txtMBReg")->isHidden());
  EXPECT_FALSE(whiteAfter("txtEIPFile", "6"));
  EXPECT_TRUE(whiteAfter("txtEIPFile", "7"));
  EXPECT_TRUE(whiteAfter("txtEIPFile", "255"));
  EXPECT_FALSE(whiteAfter("txtEIPFile", "256"));
  EXPECT_FALSE(whiteAfter("txtEIPOff", "-1"));
  EXPECT_TRUE(whiteAfter("txtEIPOff", "0"));
  EXPECT_TRUE(whiteAfter("txtEIPOff", "214"));
  EXPECT_FALSE(whiteAfter("txtEIPOff", "215"));

  // PCCC with a red base element is refused and nothing is sent.
  const QByteArray before = env.moduleFile("127.0.0.41", "Config.csv");
  click("cmdUpdateXAV");
  EXPECT_EQ(messages.lastText(), "Correct File or Base Register Number");
  EXPECT_EQ(env.moduleFile("127.0.0.41", "Config.csv"), before);

  QTest::mouseClick(option(2), Qt::LeftButton);
  box("txtEipPath")->setCursorPosition(1);
  QTest::keyClicks(box("txtEipPath"), "4");
  EXPECT_EQ(box("txtEipPath")->text(), "4");
}

TEST_F(XaveWindowTest, ModuleThatDoesNotAnswerIsRefusedWithTheSubnetMessages) {
  env.addModule("127.0.0.51", "UP", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  env.addModule("127.0.0.52", "DOWN", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  env.setPingDown({"127.0.0.52"});
  start();
  pick("127.0.0.52");
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_TRUE(messages.lastText().startsWith("This XAV cannot be configured as is.\r\n\r\n"));
  EXPECT_TRUE(messages.lastText().endsWith("connected to the network and then try again."));
  EXPECT_FALSE(get<QPushButton>("cmdToolbox")->isEnabled());
  EXPECT_FALSE(QFile::exists(env.workFile("Config.csv"))) << "nothing fetched";
  EXPECT_FALSE(option(3)->isEnabled());
  EXPECT_FALSE(window->isScanning());

  env.removeModule("127.0.0.51");
  click("cmdReScan");
  ASSERT_EQ(list()->count(), 1);
  pick("127.0.0.52");
  EXPECT_EQ(messages.lastText(),
            "This XAV is not on this computers subnet. The IP address must be changed\r\n"
            "before the XAV can be configured.");
  EXPECT_TRUE(get<QPushButton>("cmdToolbox")->isEnabled());
}

TEST_F(XaveWindowTest, UnreadableFilesAreReportedAndLeaveNothingOfTheModuleBefore) {
  env.addModule("127.0.0.61", "GOOD", makeConfig(gw::kModbusTcp, "10.0.0.9", "40301", "", "Kept title", kTail));
  env.addModule("127.0.0.62", "MISSING");
  env.addModule("127.0.0.63", "SHORT", "//3-MODBUS/TCP, 10.0.0.1, 40001\r\n\r\nBridge\r\n");
  env.addModule("127.0.0.64", "NOCOMMA",
                "//3-MODBUS/TCP, 10.0.0.1, 40001\r\n\r\nBridge\r\nTitle without comma\r\nmore\r\n");
  start();
  for (const char* bad : {"127.0.0.62", "127.0.0.63", "127.0.0.64"}) {
    pick("127.0.0.61");
    ASSERT_EQ(box("txtTitle")->text(), "Kept title");
    ASSERT_EQ(window->captionsTail().toStdString(), kTailRead.toStdString());
    messages.clear();
    pick(QString::fromLatin1(bad));
    EXPECT_EQ(messages.lastText(), "Current Config file is corrupt.") << bad;
    // Nothing of the module read before stays: boxes back to their start values.
    EXPECT_TRUE(box("txtTitle")->text().isEmpty()) << bad;
    EXPECT_EQ(box("txtMBReg")->text(), "40001") << bad;
    EXPECT_EQ(box("txtEIPFile")->text(), "7") << bad;
    EXPECT_EQ(box("txtEIPOff")->text(), "0") << bad;
    EXPECT_EQ(box("txtEipPath")->text(), "0") << bad;
    EXPECT_TRUE(box("txtIPAddress")->text().isEmpty()) << bad;
    EXPECT_FALSE(option(1)->isChecked() || option(2)->isChecked() || option(3)->isChecked()) << bad;
    EXPECT_TRUE(window->captionsTail().isEmpty()) << bad;
    EXPECT_TRUE(get<QPushButton>("cmdToolbox")->isEnabled());
  }
  // A save with no protocol chosen writes and sends nothing.
  type("txtIPAddress", "10.0.0.5");
  messages.clear();
  click("cmdUpdateXAV");
  EXPECT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.lastText(), "Select a protocol before saving.");
  const QByteArray fetched = env.moduleFile("127.0.0.64", "Config.csv");
  EXPECT_TRUE(fetched.startsWith("//3-MODBUS/TCP, 10.0.0.1, 40001\r\n\r\nBridge"));
  QByteArray local;
  ASSERT_TRUE(xav::readWholeFile(env.workFile("Config.csv"), &local));
  EXPECT_EQ(local, fetched) << "the fetched file stays as it came";

  // The module already shown, read again without success: no field changes.
  pick("127.0.0.61");
  type("txtMBReg", "40311");
  env.removeModuleFile("127.0.0.61", "Config.csv");
  messages.clear();
  pick("127.0.0.61");
  EXPECT_EQ(messages.lastText(), "Current Config file is corrupt.");
  EXPECT_EQ(box("txtTitle")->text(), "Kept title");
  EXPECT_EQ(box("txtMBReg")->text(), "40311");
}

TEST_F(XaveWindowTest, UnknownProtocolKeepsOnlyTheNewModulesTitleAndAddress) {
  env.addModule("127.0.0.65", "PCCC", makeConfig(gw::kPccc, "10.0.0.9", "9", "12", "Press 4"));
  env.addModule("127.0.0.66", "ODD", "//7-OTHER, 10.0.0.66, 1\r\n\r\nBridge\r\nOdd title , 11\r\n");
  start();
  pick("127.0.0.65");
  ASSERT_EQ(box("txtEIPFile")->text(), "9");
  pick("127.0.0.66");
  EXPECT_EQ(messages.lastText(), "Current Config file is corrupt.");
  EXPECT_EQ(box("txtTitle")->text(), "Odd title");
  EXPECT_EQ(box("txtIPAddress")->text(), "10.0.0.66");
  EXPECT_EQ(box("txtEIPFile")->text(), "7");
  EXPECT_EQ(box("txtEIPOff")->text(), "0");
  EXPECT_FALSE(option(1)->isChecked());
  messages.clear();
  click("cmdUpdateXAV");
  EXPECT_EQ(messages.lastText(), "Select a protocol before saving.");
}

TEST_F(XaveWindowTest, CaptionsOfOneModuleNeverReachAnother) {
  env.addModule("127.0.0.71", "WITH", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "With", kTail));
  env.addModule("127.0.0.72", "WITHOUT", makeConfig(gw::kCip, "10.0.0.8", "2", "", "Without"));
  start();
  pick("127.0.0.71");
  EXPECT_EQ(window->captionsTail().toStdString(), kTailRead.toStdString());
  pick("127.0.0.72");
  EXPECT_TRUE(window->captionsTail().isEmpty());
  click("cmdUpdateXAV");
  const QByteArray saved = env.moduleFile("127.0.0.72", "Config.csv");
  EXPECT_EQ(saved, makeConfig(gw::kCip, "10.0.0.8", "2", "", "Without"));
  EXPECT_FALSE(saved.contains("//RVSIM_Captions"));
}

TEST_F(XaveWindowTest, CaptionsAreNotCarriedToAModuleThatDidNotAnswer) {
  env.addModule("127.0.0.73", "WITH", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "With", kTail));
  env.addModule("127.0.0.74", "FAR", makeConfig(gw::kModbusTcp, "10.0.0.7", "40001", "", "Far"));
  env.setPingDown({"127.0.0.74"});
  start();
  pick("127.0.0.73");
  ASSERT_FALSE(window->captionsTail().isEmpty());
  pick("127.0.0.74");
  ASSERT_EQ(messages.messages().size(), 1u);
  // The options stay enabled from the earlier selection, so a save to this module is still possible.
  ASSERT_TRUE(option(3)->isEnabled());
  // Nor the other module's title: the boxes are back to their start values.
  EXPECT_TRUE(box("txtTitle")->text().isEmpty());
  QTest::mouseClick(option(3), Qt::LeftButton, {}, QPoint(8, option(3)->height() / 2));
  ASSERT_TRUE(option(3)->isChecked());
  type("txtIPAddress", "10.0.0.7");
  click("cmdUpdateXAV");
  EXPECT_EQ(window->moduleIp(), "127.0.0.74");
  const QByteArray saved = env.moduleFile("127.0.0.74", "Config.csv");
  EXPECT_EQ(saved, makeConfig(gw::kModbusTcp, "10.0.0.7", "40001", "", "Change this title if desired."));
  EXPECT_FALSE(saved.contains("//RVSIM_Captions"));
}

}  // namespace
}  // namespace xave::testing

namespace xave::testing {
namespace {

// The window follows the user's font and reflows; every field and the list
// can be reached by its label's mnemonic, and Tab into the protocols lands
// on the one chosen, so no arrow key is needed to get past them.
TEST_F(XaveWindowTest, LayoutFollowsTheFontAndTheKeyboardReachesEveryField) {
  env.addModule("127.0.0.91", "KEYS", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  EXPECT_EQ(window->font().pointSizeF(), QApplication::font().pointSizeF());
  EXPECT_NE(window->minimumSize(), window->maximumSize()) << "no fixed size";

  QStringList keys;
  for (const char* name : {"LV1", "txtIPAddress", "txtEIPFile", "txtEIPOff", "txtMBReg", "txtEipPath", "txtTitle"}) {
    QLabel* label = nullptr;
    for (QLabel* l : window->findChildren<QLabel*>())
      if (l->buddy() && l->buddy()->objectName() == QLatin1String(name)) label = l;
    ASSERT_NE(label, nullptr) << name;
    const qsizetype amp = label->text().indexOf(u'&');
    ASSERT_GE(amp, 0) << name;
    keys << label->text().mid(amp + 1, 1).toUpper();
  }
  for (const char* name : {"cmdReScan", "cmdToolbox", "cmdUpdateXAV", "cmdVerify", "cmdExit", "cmdHistory", "cmdCompare",
                           "cmdServiceLog"}) {
    const QString text = get<QPushButton>(name)->text();
    ASSERT_GE(text.indexOf(u'&'), 0) << name;
    keys << text.mid(text.indexOf(u'&') + 1, 1).toUpper();
  }
  keys.removeDuplicates();
  EXPECT_EQ(keys.size(), 15) << "every mnemonic is its own: " << keys.join(' ').toStdString();

  pick("127.0.0.91");
  ASSERT_TRUE(option(3)->isChecked());
  window->activateWindow();
  get<QPushButton>("cmdToolbox")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), option(3));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), box("txtIPAddress")) << "one Tab stop for the three options";
  // The arrows still choose among them, and the Tab stop follows the choice.
  option(3)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(option(3), Qt::Key_Up);
  EXPECT_TRUE(option(2)->isChecked());
  EXPECT_FALSE(box("txtEipPath")->isHidden()) << "the arrow chose CIP as a click would";
  get<QPushButton>("cmdToolbox")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), option(2));
}

}  // namespace
}  // namespace xave::testing

namespace xave::testing {
namespace {

double luminance(const QColor& c) {
  auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Under a dark desktop theme the painted validity colours keep black text,
// and the wait warning picks a red that reads on the dark window.
TEST_F(XaveWindowTest, DarkThemeKeepsTheEntryBoxesAndTheWaitWarningReadable) {
  const QPalette before = QApplication::palette();
  QPalette dark;
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) dark.setColor(role, QColor(45, 45, 45));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) dark.setColor(role, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  env.addModule("127.0.0.92", "DARK", makeConfig(gw::kModbusTcp, "10.0.0.9", "40001", "", "T"));
  start();
  pick("127.0.0.92");
  for (const char* text : {"10.0.0", "10.0.0.9"}) {
    type("txtIPAddress", text);
    const QPalette p = box("txtIPAddress")->palette();
    EXPECT_GE(contrast(p.color(QPalette::Base), p.color(QPalette::Text)), 4.5) << text;
  }
  EXPECT_EQ(box("txtTitle")->palette().color(QPalette::Text), QColor(230, 230, 230)) << "unpainted boxes follow the theme";
  const QPalette wait = get<QLabel>("lblWait")->palette();
  EXPECT_GE(contrast(wait.color(QPalette::Window), wait.color(QPalette::WindowText)), 4.5);
  window.reset();
  QApplication::setPalette(before);
}

}  // namespace
}  // namespace xave::testing
