// The Ethernet pane's entry rules, read-back and save, on real widgets.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "ethernet_pane.h"
#include "messages.h"

namespace {

struct PaneWindow {
  QWidget window;
  QString plcIp;
  gw::EthernetPane pane;
  QButtonGroup group;

  PaneWindow() {
    auto box = [this](const char* name, const char* text) {
      auto* b = new QLineEdit(QString::fromLatin1(text), &window);
      b->setObjectName(QString::fromLatin1(name));
      return b;
    };
    auto label = [this](const char* text) { return new QLabel(QString::fromLatin1(text), &window); };
    pane.txtTitle = box("txtTitle", "");
    pane.txtIPAddress = box("txtIPAddress", "");
    pane.txtEIPFile = box("txtEIPFile", "7");
    pane.txtEIPOff = box("txtEIPOff", "0");
    pane.txtEipPath = box("txtEipPath", "0");
    pane.txtMBReg = box("txtMBReg", "40001");
    for (int c = 1; c <= 3; ++c) {
      pane.optEthMode[c] = new QRadioButton(&window);
      group.addButton(pane.optEthMode[c], c);
    }
    pane.lblEthernet0 = label("Integer File Number");
    pane.lblEthernet1 = label("Base register");
    pane.lblEthernet3 = label("Base Register");
    pane.lblEthernet5 = label("PLC IP Addr.");
    pane.lblEipPath = label("Processor Slot");
    pane.lblEipCipDesc = label("Uses Tag names");
    pane.lblWait = label("Please wait");
    pane.lblWait->hide();
    pane.plcIp = &plcIp;
    gw::installEntryRules(pane);
    window.show();
  }

  bool shown(QWidget* w) const { return !w->isHidden(); }
};

bool whiteFor(QLineEdit* box, const char* text) {
  box->setText(QString::fromLatin1(text));
  return gw::isWhite(box);
}

TEST(EthernetPaneRules, AddressNeedsFourPartsEachAtMost255) {
  PaneWindow w;
  QLineEdit* ip = w.pane.txtIPAddress;
  EXPECT_FALSE(gw::isWhite(ip)) << "an empty address starts invalid";
  EXPECT_FALSE(whiteFor(ip, "192.168.1"));
  EXPECT_FALSE(whiteFor(ip, "192.168..1"));
  EXPECT_FALSE(whiteFor(ip, "192.168.1.256"));
  EXPECT_FALSE(whiteFor(ip, "1.2.3.4.5"));
  EXPECT_TRUE(whiteFor(ip, "192.168.1.255"));
  EXPECT_EQ(w.plcIp, "192.168.1.255");
  EXPECT_FALSE(whiteFor(ip, "10.0.0"));
  EXPECT_EQ(w.plcIp, "192.168.1.255") << "an invalid address leaves the kept one";
}

TEST(EthernetPaneRules, NumberBoxesColourAtTheirRangeEdges) {
  PaneWindow w;
  EXPECT_FALSE(whiteFor(w.pane.txtMBReg, "40000"));
  EXPECT_TRUE(whiteFor(w.pane.txtMBReg, "40001"));
  EXPECT_TRUE(whiteFor(w.pane.txtMBReg, "465514"));
  EXPECT_FALSE(whiteFor(w.pane.txtMBReg, "465515"));
  EXPECT_FALSE(whiteFor(w.pane.txtMBReg, "abc"));
  EXPECT_FALSE(whiteFor(w.pane.txtEIPFile, "6"));
  EXPECT_TRUE(whiteFor(w.pane.txtEIPFile, "7"));
  EXPECT_TRUE(whiteFor(w.pane.txtEIPFile, "255"));
  EXPECT_FALSE(whiteFor(w.pane.txtEIPFile, "256"));
  EXPECT_FALSE(whiteFor(w.pane.txtEIPOff, "-1"));
  EXPECT_TRUE(whiteFor(w.pane.txtEIPOff, "0"));
  EXPECT_TRUE(whiteFor(w.pane.txtEIPOff, "214"));
  EXPECT_FALSE(whiteFor(w.pane.txtEIPOff, "215"));
}

TEST(EthernetPaneRules, TitleRefusesCommaAndSlotKeyReplacesTwoCharacters) {
  PaneWindow w;
  QTest::keyClicks(w.pane.txtTitle, "Line 1, north");
  EXPECT_EQ(w.pane.txtTitle->text(), "Line 1 north");

  w.pane.txtEipPath->setText("12");
  w.pane.txtEipPath->setCursorPosition(2);
  QTest::keyClicks(w.pane.txtEipPath, "5");
  EXPECT_EQ(w.pane.txtEipPath->text(), "5");
  w.pane.txtEipPath->setText("0");
  QTest::keyClicks(w.pane.txtEipPath, "3");
  EXPECT_EQ(w.pane.txtEipPath->text(), "3");
}

TEST(EthernetPaneRules, ProtocolChoiceShowsOnlyItsFields) {
  PaneWindow w;
  gw::DisableEthernetEntry(w.pane);
  w.pane.txtEIPFile->setText("6");
  gw::selectProtocol(w.pane, gw::kPccc);
  EXPECT_TRUE(w.shown(w.pane.txtEIPFile));
  EXPECT_TRUE(w.shown(w.pane.lblEthernet0));
  EXPECT_FALSE(gw::isWhite(w.pane.txtEIPFile));
  gw::selectProtocol(w.pane, gw::kModbusTcp);
  EXPECT_FALSE(w.shown(w.pane.txtEIPFile));
  EXPECT_FALSE(w.shown(w.pane.txtEIPOff));
  EXPECT_FALSE(w.shown(w.pane.lblEthernet0));
  EXPECT_FALSE(w.shown(w.pane.lblEthernet1));
  EXPECT_TRUE(w.shown(w.pane.txtMBReg));
  EXPECT_TRUE(w.shown(w.pane.lblEthernet3));
  EXPECT_TRUE(w.shown(w.pane.lblEthernet5));
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kModbusTcp);
  gw::selectProtocol(w.pane, gw::kCip);
  EXPECT_TRUE(w.shown(w.pane.txtEipPath));
  EXPECT_TRUE(w.shown(w.pane.lblEipCipDesc));
  EXPECT_FALSE(w.shown(w.pane.txtMBReg));

  w.pane.txtIPAddress->setText("10.1.2.3");
  gw::ClearModes(w.pane);
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kNoProtocol);
  EXPECT_TRUE(w.pane.txtIPAddress->text().isEmpty());
  gw::DisableProtocols(w.pane);
  EXPECT_FALSE(w.pane.optEthMode[1]->isEnabled());
  gw::EnableProtocols(w.pane);
  EXPECT_TRUE(w.pane.optEthMode[3]->isEnabled());
}

// Every box's colour is the validity its field has in the pane's entries,
// for texts on both sides of each rule; the slot and title boxes are never
// painted. The text is black on both colours, whatever the theme.
TEST(EthernetPaneRules, ColourAndValidityAgreeForEveryField) {
  PaneWindow w;
  using F = gw::Entries::Field;
  const std::pair<F, QStringList> cases[] = {
      {F::PlcAddress, {"", "1.2.3", "1.2.3.4", "0.0.0.0", "255.255.255.255", "1.2.3.256", "1..2.3", "-1.2.3.4"}},
      {F::FileNumber, {"", "6", "6.5", "6.6", "7", "255", "255.5", "256", "x"}},
      {F::BaseElement, {"", "-1", "0", "214", "214.5", "215", "1e2"}},
      {F::StartRegister, {"", "40000", "40000.5", "40001", "465514", "465515", "abc"}},
  };
  for (const auto& [field, texts] : cases) {
    QLineEdit* box = gw::fieldBox(w.pane, field);
    ASSERT_NE(box, nullptr);
    for (const QString& text : texts) {
      box->setText(text);
      const bool valid = gw::paneEntries(w.pane).isValid(field);
      EXPECT_EQ(gw::isWhite(box), valid) << box->objectName().toStdString() << " '" << text.toStdString() << "'";
      EXPECT_EQ(box->palette().color(QPalette::Text), QColor(Qt::black));
    }
  }
  const QColor slotBase = w.pane.txtEipPath->palette().color(QPalette::Base);
  w.pane.txtEipPath->setText("abcd");
  w.pane.txtTitle->setText("a,b");
  EXPECT_TRUE(gw::paneEntries(w.pane).isValid(F::Slot));
  EXPECT_EQ(w.pane.txtEipPath->palette().color(QPalette::Base), slotBase);

  // Entries put into the pane come out the same, painted the same way.
  gw::Entries e;
  e.protocol = gw::kPccc;
  e.plcAddress = "10.1.2.3";
  e.fileNumber = "300";
  e.baseElement = "5";
  e.slot = "2";
  e.startRegister = "40100";
  e.title = "Press";
  gw::showEntries(w.pane, e);
  EXPECT_EQ(gw::paneEntries(w.pane), e);
  EXPECT_FALSE(gw::isWhite(w.pane.txtEIPFile));
  EXPECT_TRUE(gw::isWhite(w.pane.txtIPAddress));
  EXPECT_TRUE(w.shown(w.pane.txtEIPFile));
  EXPECT_FALSE(w.shown(w.pane.txtMBReg));
}

// The save judges the entries, not the paint: a box painted white over an
// invalid text is still refused.
TEST(EthernetPaneSave, RefusesFromValidityNotFromColour) {
  PaneWindow w;
  gw::selectProtocol(w.pane, gw::kPccc);
  w.pane.txtIPAddress->setText("10.1.2.3");
  w.pane.txtEIPFile->setText("256");
  gw::paintValidity(w.pane.txtEIPFile, true);
  EXPECT_FALSE(gw::collectEntries(w.pane).fileNumberValid);
  const gw::GeneratedConfig gen = gw::generateConfig(gw::collectEntries(w.pane), QString());
  EXPECT_EQ(gen.refusal, gw::Refusal::BadFileOrBase);
  EXPECT_EQ(gw::refusalMessage(gen.refusal), "Correct File or Base Register Number");
  EXPECT_TRUE(gen.bytes.isEmpty());
}

gw::CurrentConfig config(int code, QStringList fields, const char* title) {
  gw::CurrentConfig c;
  c.readable = true;
  c.protocolCode = code;
  c.summaryFields = std::move(fields);
  c.title = QString::fromLatin1(title);
  return c;
}

TEST(EthernetPaneReadBack, RestoresEachProtocolsFields) {
  PaneWindow w;
  xav::MessageRecorder rec;
  QString tail = "old tail";
  auto pccc = config(1, {"//1-ETHERNET/IP-PCCC", "10.1.2.3", "9", "12"}, "Press 4");
  pccc.hasCaptions = true;
  pccc.captionsTail = "//RVSIM_Captions\r\nA\r\n";
  EXPECT_EQ(gw::applyReadBack(w.pane, pccc, &tail, &w.window), gw::ReadBackResult::Restored);
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kPccc);
  EXPECT_EQ(w.pane.txtEIPFile->text(), "9");
  EXPECT_EQ(w.pane.txtEIPOff->text(), "12");
  EXPECT_EQ(w.pane.txtIPAddress->text(), "10.1.2.3");
  EXPECT_TRUE(gw::isWhite(w.pane.txtIPAddress));
  EXPECT_EQ(w.pane.txtTitle->text(), "Press 4");
  EXPECT_EQ(tail, pccc.captionsTail);

  w.pane.txtMBReg->setText("40100");
  EXPECT_EQ(gw::applyReadBack(w.pane, config(2, {"//2-ETHERNET/IP-CIP", "10.1.2.4", "", "40001", "3"}, "T"), &tail,
                              &w.window),
            gw::ReadBackResult::Restored);
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kCip);
  EXPECT_EQ(w.pane.txtEipPath->text(), "3");
  EXPECT_EQ(w.pane.txtMBReg->text(), "40100") << "CIP restores only the slot";
  EXPECT_TRUE(tail.isEmpty()) << "a file without captions clears the kept tail";

  EXPECT_EQ(gw::applyReadBack(w.pane, config(3, {"//3-MODBUS/TCP", "10.1.2.5", "40201"}, "M"), &tail, &w.window),
            gw::ReadBackResult::Restored);
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kModbusTcp);
  EXPECT_EQ(w.pane.txtMBReg->text(), "40201");
  EXPECT_TRUE(rec.messages().empty());
}

TEST(EthernetPaneReadBack, CorruptFilesAreReportedAndUnreadOnesChangeNothing) {
  PaneWindow w;
  xav::MessageRecorder rec;
  QString tail = "kept";
  w.pane.txtTitle->setText("before");
  w.pane.txtIPAddress->setText("1.1.1.1");
  gw::CurrentConfig unread;  // missing, short or without a title comma
  EXPECT_EQ(gw::applyReadBack(w.pane, unread, &tail, &w.window), gw::ReadBackResult::Unreadable);
  EXPECT_EQ(rec.lastText(), "Current Config file is corrupt.");
  EXPECT_EQ(w.pane.txtTitle->text(), "before");
  EXPECT_EQ(w.pane.txtIPAddress->text(), "1.1.1.1");
  EXPECT_TRUE(tail.isEmpty());

  rec.clear();
  EXPECT_EQ(gw::applyReadBack(w.pane, config(7, {"//7-X", "10.9.9.9"}, "Odd"), &tail, &w.window),
            gw::ReadBackResult::UnknownProtocol);
  EXPECT_EQ(rec.lastText(), "Current Config file is corrupt.");
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kNoProtocol);
  EXPECT_EQ(w.pane.txtTitle->text(), "Odd");
  EXPECT_EQ(w.pane.txtIPAddress->text(), "10.9.9.9");
}

// What the save refuses, judged from the pane's entries; a refused save
// has nothing to write.
TEST(EthernetPaneSave, RefusalsComeFromTheEntries) {
  PaneWindow w;
  w.pane.txtIPAddress->setText("10.1.2.3");
  EXPECT_EQ(gw::generateConfig(gw::collectEntries(w.pane), QString()).refusal, gw::Refusal::NoProtocol);
  gw::selectProtocol(w.pane, gw::kModbusTcp);
  w.pane.txtIPAddress->setText("10.1.2");
  EXPECT_EQ(gw::refusalMessage(gw::generateConfig(gw::collectEntries(w.pane), QString()).refusal),
            "Enter a legal IP Address");
  gw::selectProtocol(w.pane, gw::kPccc);
  w.pane.txtIPAddress->setText("10.1.2.3");
  w.pane.txtEIPFile->setText("256");
  EXPECT_EQ(gw::generateConfig(gw::collectEntries(w.pane), QString()).refusal, gw::Refusal::BadFileOrBase);
  w.pane.txtEIPFile->setText("7");
  const gw::GeneratedConfig ok = gw::generateConfig(gw::collectEntries(w.pane), QString());
  EXPECT_EQ(ok.refusal, gw::Refusal::None);
  EXPECT_EQ(ok.title, "Change this title if desired.") << "a blank title gets the default";
  EXPECT_FALSE(ok.bytes.isEmpty());
}

TEST(EthernetPaneReset, NothingOfTheModuleBeforeStays) {
  PaneWindow w;
  QString tail;
  gw::CurrentConfig c;
  c.readable = true;
  c.protocolCode = gw::kPccc;
  c.summaryFields = QStringList{"//1-ETHERNET/IP-PCCC", "10.1.2.3", "9", "12"};
  c.title = "Module A";
  gw::applyReadBack(w.pane, c, &tail, &w.window);
  w.pane.txtEipPath->setText("4");
  w.pane.txtMBReg->setText("40100");
  ASSERT_EQ(gw::selectedProtocol(w.pane), gw::kPccc);

  gw::resetToStartValues(w.pane);
  EXPECT_EQ(gw::selectedProtocol(w.pane), gw::kNoProtocol);
  const std::pair<QLineEdit*, const char*> rows[] = {{w.pane.txtTitle, ""},    {w.pane.txtIPAddress, ""},
                                                     {w.pane.txtEIPFile, "7"},  {w.pane.txtEIPOff, "0"},
                                                     {w.pane.txtEipPath, "0"},  {w.pane.txtMBReg, "40001"}};
  for (const auto& [box, text] : rows) EXPECT_EQ(box->text(), text) << box->objectName().toStdString();
  EXPECT_FALSE(w.shown(w.pane.txtEIPFile));
  EXPECT_TRUE(gw::isWhite(w.pane.txtEIPFile));
  EXPECT_FALSE(gw::isWhite(w.pane.txtIPAddress));
}

}  // namespace
