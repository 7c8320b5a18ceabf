// The window through QTest events: the rows built at the first activation,
// the request boxes' key and focus rules, captions on disk, the monitor and
// the status panel.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QApplication>
#include <QAction>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "colours.h"
#include "drive_letters.h"
#include "files.h"
#include "golden_exchanges.h"
#include "request_box.h"
#include "rvsim_window.h"
#include "simulator.h"
#include "messages.h"
#include "modbus_server.h"
#include "platform.h"

#include <sys/stat.h>

using namespace rvsim;

namespace {

QByteArray readRequest() {
  return QByteArray("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
}

QByteArray writeRequest(quint16 start, const std::vector<quint8>& values) {
  QByteArray f("\x00\x02\x00\x00\x00\x2F\x01\x10", 8);
  f += char(start >> 8);
  f += char(start & 0xFF);
  f += QByteArray("\x00\x14\x28", 3);
  for (int i = 0; i < 20; ++i) {
    f += '\0';
    f += char(i < int(values.size()) ? values[i] : 0);
  }
  return f;
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
  }
  void TearDown() override {
    form_.reset();
    sim_.reset();
    qputenv("XDG_CONFIG_HOME", oldConfig_);
  }

  RvsimWindow& open(int refreshMs = Simulator::kRefreshMs) {
    Simulator::Options o;
    o.port = 0;
    o.refreshMs = refreshMs;
    sim_ = std::make_unique<Simulator>(o);
    form_ = std::make_unique<RvsimWindow>(*sim_);
    // Questions are answered here, never by a box that would wait for a hand.
    form_->setConfirm([this](QWidget*, const QString& question) {
      questions_ << question;
      return answerYes_;
    });
    form_->show();
    form_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    return *form_;
  }

  // The request byte of row i as a read by the gateway would return it now.
  int readByte(int i) {
    RegisterImage copy = sim_->image();
    const FrameOutcome out = handleFrame(readRequest(), copy, false, {});
    return static_cast<quint8>(out.reply[10 + 2 * (i - 1)]);
  }

  void type(int i, const QString& keys) {
    reqReg(i)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(reqReg(i), keys);
  }

  // The window's controls, found by their names.
  template <typename T>
  T* named(const QString& name) const {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  RequestBox* reqReg(int i) const { return named<RequestBox>(QStringLiteral("ReqReg(%1)").arg(i)); }
  CaptionBox* capReg(int i) const { return named<CaptionBox>(QStringLiteral("CapReg(%1)").arg(i)); }
  QLineEdit* posReg(int i) const { return named<QLineEdit>(QStringLiteral("PosReg(%1)").arg(i)); }
  QLabel* modReg(int i) const { return named<QLabel>(QStringLiteral("ModReg(%1)").arg(i)); }
  QLabel* modReg1(int i) const { return named<QLabel>(QStringLiteral("ModReg1(%1)").arg(i)); }
  QLabel* addr(int i) const { return named<QLabel>(QStringLiteral("Addr(%1)").arg(i)); }
  QLineEdit* localIP() const { return named<QLineEdit>(QStringLiteral("LocalIP")); }
  QLineEdit* state() const { return named<QLineEdit>(QStringLiteral("State")); }
  QLineEdit* remoteIP() const { return named<QLineEdit>(QStringLiteral("RemoteIP")); }
  QFrame* shpActivity() const { return named<QFrame>(QStringLiteral("shpActivity")); }
  QCheckBox* chkMonitor() const { return named<QCheckBox>(QStringLiteral("chkMonitor")); }
  QPlainTextEdit* txtMonitor() const { return named<QPlainTextEdit>(QStringLiteral("txtMonitor")); }
  QPushButton* cmdMonitorClear() const { return named<QPushButton>(QStringLiteral("cmdMonitorClear")); }
  QPushButton* cmdClrCap() const { return named<QPushButton>(QStringLiteral("cmdClrCap")); }
  QPushButton* cmdExit() const { return named<QPushButton>(QStringLiteral("cmdExit")); }
  QLabel* counter(const char* name) const { return named<QLabel>(QString::fromLatin1(name)); }

  QTemporaryDir config_;
  QByteArray oldConfig_;
  QStringList questions_;
  bool answerYes_ = true;
  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<RvsimWindow> form_;
};

}  // namespace

TEST_F(FormTest, FirstActivationBuildsTheRowsAndListens) {
  {
    Simulator::Options o;
    o.port = 0;
    Simulator sim(o);
    RvsimWindow unshown(sim);
    EXPECT_EQ(unshown.objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(unshown.findChild<QWidget*>(QStringLiteral("ReqReg(1)")), nullptr);  // nothing before the first activation
    EXPECT_EQ(sim.state(), StateClosed);
  }

  RvsimWindow& f = open();
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRTU");
  for (int i = 1; i <= 20; ++i) {
    EXPECT_EQ(addr(i)->text(), QString(letters[i - 1]));
    EXPECT_EQ(reqReg(i)->text(), QStringLiteral("0"));
    EXPECT_EQ(posReg(i)->text(), QString());
    EXPECT_EQ(modReg(i)->text(), QString());
    EXPECT_EQ(modReg1(i)->text(), QString());
    EXPECT_TRUE(capReg(i)->isVisible());
    EXPECT_EQ(reqReg(i)->objectName(), QStringLiteral("ReqReg(%1)").arg(i));
    if (i > 1) {
      EXPECT_GT(reqReg(i)->y(), reqReg(i - 1)->y());
    }
  }
  for (const char* heading : {"Register", "Addr", "POS", "REQ"}) {
    bool found = false;
    for (QLabel* l : f.findChildren<QLabel*>()) found |= l->text().remove(QLatin1Char('&')) == QLatin1String(heading) && l->isVisible();
    EXPECT_TRUE(found) << heading;
  }
  EXPECT_EQ(f.focusWidget(), reqReg(1));
  EXPECT_EQ(sim_->server()->state(), StateListening);
  EXPECT_TRUE(localIP()->text().endsWith(QStringLiteral(":%1").arg(sim_->server()->localPort())));
  EXPECT_EQ(state()->text(), QString());
  EXPECT_EQ(backgroundOf(state()), xav::colours::LightGrey);
  sim_->refreshStatus();
  EXPECT_EQ(state()->text(), QStringLiteral("Waiting for XAV   "));
  EXPECT_EQ(backgroundOf(state()), xav::colours::Magenta);
  EXPECT_EQ(chkMonitor()->text().remove(QLatin1Char('&')), QStringLiteral("D Monitor"));
  EXPECT_FALSE(chkMonitor()->isChecked());
  EXPECT_EQ(cmdClrCap()->text().remove(QLatin1Char('&')), QStringLiteral("Clear Captions"));
  EXPECT_EQ(cmdMonitorClear()->text().remove(QLatin1Char('&')), QStringLiteral("Clear"));
  EXPECT_EQ(cmdExit()->text().remove(QLatin1Char('&')), QStringLiteral("Exit"));
}

TEST_F(FormTest, TypingStartsANewValueAndReadsSeeTheOldOneUntilCommitted) {
  open();
  RequestBox* box = reqReg(3);
  box->setText(QStringLiteral("40"));
  type(3, QStringLiteral("1"));
  EXPECT_TRUE(box->inEntry());
  EXPECT_EQ(backgroundOf(box), xav::colours::Cyan);
  EXPECT_EQ(box->text(), QStringLiteral("1"));
  EXPECT_EQ(readByte(3), 40);
  QTest::keyClicks(box, QStringLiteral("23"));
  EXPECT_EQ(readByte(3), 40);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(box->text(), QStringLiteral("123"));
  EXPECT_EQ(backgroundOf(box), xav::colours::White);
  EXPECT_EQ(readByte(3), 123);

  // 255 and above is refused at the keystroke.
  type(5, QStringLiteral("25"));
  QTest::keyClick(box = reqReg(5), '5');
  EXPECT_EQ(box->text(), QStringLiteral("25"));
  QTest::keyClick(box, '4');
  EXPECT_EQ(box->text(), QStringLiteral("254"));
  // The caret counts: "54" with the caret in front refuses a 9 (954) but takes a 1 (154).
  box->setCursorPosition(1);
  QTest::keyClick(box, Qt::Key_Backspace);
  box->setCursorPosition(0);
  QTest::keyClick(box, '9');
  EXPECT_EQ(box->text(), QStringLiteral("54"));
  QTest::keyClick(box, '1');
  EXPECT_EQ(box->text(), QStringLiteral("154"));
  // With a selection the digit goes in front of it and the selection still
  // counts: "1" of "12" selected, 9 makes 912 (refused), 0 makes 012 (taken,
  // replacing the selection).
  type(11, QStringLiteral("12"));
  box = reqReg(11);
  box->setSelection(0, 1);
  QTest::keyClick(box, '9');
  EXPECT_EQ(box->text(), QStringLiteral("12"));
  QTest::keyClick(box, '0');
  EXPECT_EQ(box->text(), QStringLiteral("02"));

  // Leading zeros go at Enter; Enter in a committed box commits 0.
  type(6, QStringLiteral("007"));
  QTest::keyClick(reqReg(6), Qt::Key_Enter);
  EXPECT_EQ(reqReg(6)->text(), QStringLiteral("7"));
  reqReg(7)->setText(QStringLiteral("17"));
  reqReg(7)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(reqReg(7), Qt::Key_Return);
  EXPECT_EQ(reqReg(7)->text(), QStringLiteral("0"));
  EXPECT_EQ(readByte(7), 0);
}

TEST_F(FormTest, OtherKeysAreSwallowedAndLeavingCommits) {
  RvsimWindow& f = open();
  RequestBox* box = reqReg(2);
  box->setText(QStringLiteral("33"));
  type(2, QStringLiteral("x"));
  EXPECT_EQ(box->text(), QString());  // emptied, the letter refused
  EXPECT_TRUE(box->inEntry());
  EXPECT_EQ(readByte(2), 33);
  QTest::keyClick(box, 'v', Qt::ControlModifier);  // no paste
  EXPECT_EQ(box->text(), QString());
  QTest::keyClicks(box, QStringLiteral("1-2"));
  EXPECT_EQ(box->text(), QStringLiteral("12"));
  // Moving on commits what was typed; the caption lights up with its box.
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(f.focusWidget(), reqReg(3));
  EXPECT_EQ(box->text(), QStringLiteral("12"));
  EXPECT_FALSE(box->inEntry());
  EXPECT_EQ(backgroundOf(capReg(2)), xav::colours::White);
  EXPECT_EQ(backgroundOf(capReg(3)), xav::colours::Yellow);
  EXPECT_EQ(readByte(2), 12);

  // A refused letter then leaving: 0.
  type(4, QStringLiteral("q"));
  QTest::keyClick(reqReg(4), Qt::Key_Up);
  EXPECT_EQ(f.focusWidget(), reqReg(3));
  EXPECT_EQ(reqReg(4)->text(), QStringLiteral("0"));

  // The ends of the column stay put.
  reqReg(20)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(reqReg(20), Qt::Key_Down);
  EXPECT_EQ(f.focusWidget(), reqReg(20));
  reqReg(1)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(reqReg(1), Qt::Key_Up);
  EXPECT_EQ(f.focusWidget(), reqReg(1));

  // A committed box never shows an empty or zero-valued text other than "0".
  reqReg(9)->setText(QString());
  EXPECT_EQ(reqReg(9)->text(), QStringLiteral("0"));
  reqReg(9)->setText(QStringLiteral("00"));
  EXPECT_EQ(reqReg(9)->text(), QStringLiteral("0"));

  // Paste keys type nothing: Ctrl+V starts an entry like any other key and
  // is refused, Shift+Insert and an input method's text are dropped.
  QGuiApplication::clipboard()->setText(QStringLiteral("199"));
  box = reqReg(10);
  box->setText(QStringLiteral("21"));
  box->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(box->text(), QStringLiteral("21"));
  EXPECT_FALSE(box->inEntry());
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box->text(), QString());
  EXPECT_TRUE(box->inEntry());
  EXPECT_EQ(readByte(10), 21);
  QInputMethodEvent composed;
  composed.setCommitString(QStringLiteral("199"));
  QCoreApplication::sendEvent(box, &composed);
  EXPECT_EQ(box->text(), QString());

  // Delete begins an entry that keeps the text.
  box = reqReg(8);
  box->setText(QStringLiteral("96"));
  box->setFocus(Qt::OtherFocusReason);
  box->setCursorPosition(0);
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(box->text(), QStringLiteral("6"));
  EXPECT_TRUE(box->inEntry());
  EXPECT_EQ(readByte(8), 96);
  // Delete again inside the entry: reads still see the value from before it.
  QTest::keyClicks(box, QStringLiteral("1"));  // "16"
  box->setCursorPosition(1);
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(box->text(), QStringLiteral("1"));
  EXPECT_EQ(readByte(8), 96);
}

TEST_F(FormTest, DisplayBoxesPassTheFocusOn) {
  RvsimWindow& f = open();
  QTest::mouseClick(posReg(9), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), reqReg(9));
  QTest::mouseClick(state(), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), reqReg(1));
  reqReg(5)->setFocus(Qt::OtherFocusReason);
  QTest::mouseClick(remoteIP(), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), reqReg(1));
}

TEST_F(FormTest, TabWalksOnThroughTheMonitor) {
  RvsimWindow& f = open();
  chkMonitor()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(chkMonitor(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), cmdMonitorClear());
  QTest::keyClick(cmdMonitorClear(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), txtMonitor());
  QTest::keyClick(txtMonitor(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), cmdClrCap());
  EXPECT_EQ(txtMonitor()->toPlainText(), QString());
}

TEST_F(FormTest, CaptionsLiveInTheirFile) {
  const QString path = xav::platform::captionsFilePath();
  {
    RvsimWindow& f = open();
    QByteArray data;
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data, QByteArray("\r\n").repeated(21));  // first start: 21 empty lines

    capReg(2)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(capReg(2), QStringLiteral("Silo 2"));
    QTest::keyClick(capReg(2), Qt::Key_Return);  // on to the row's request
    EXPECT_EQ(f.focusWidget(), reqReg(2));
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data, "\r\n\r\nSilo 2\r\n" + QByteArray("\r\n").repeated(18));
    form_.reset();
  }
  // Names on lines 2 to 21 come back; line 1 is ignored and written empty.
  ASSERT_TRUE(xav::writeWholeFile(path, "template\r\nA1\r\nB2\r\n"));
  open();
  EXPECT_EQ(capReg(1)->text(), QStringLiteral("A1"));
  EXPECT_EQ(capReg(2)->text(), QStringLiteral("B2"));
  EXPECT_EQ(capReg(3)->text(), QString());
  capReg(1)->setFocus(Qt::OtherFocusReason);
  reqReg(1)->setFocus(Qt::OtherFocusReason);
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_TRUE(data.startsWith("\r\nA1\r\nB2\r\n\r\n"));
  EXPECT_EQ(data.count("\r\n"), 21);

  QTest::mouseClick(cmdClrCap(), Qt::LeftButton);
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_EQ(data, QByteArray("\r\n").repeated(21));
  EXPECT_EQ(capReg(1)->text(), QString());
}

TEST_F(FormTest, ArrivalsShowPositionsTheMonitorAndTheLamp) {
  RvsimWindow& f = open();
  const QRgb lamp = backgroundOf(shpActivity());
  sim_->arrival(QByteArray("\x00\x01\x00\x00\x00\x06\x01\x06\x00\x00\x00\x05", 12));  // function 6
  EXPECT_TRUE(f.activityIsRed());
  EXPECT_EQ(backgroundOf(shpActivity()), xav::colours::Red);  // the first arrival is painted at once
  EXPECT_NE(lamp, xav::colours::Red);
  sim_->arrival(readRequest());
  EXPECT_FALSE(f.activityIsRed());
  EXPECT_TRUE(QTest::qWaitFor([&] { return backgroundOf(shpActivity()) == lamp; }, 5000));
  sim_->arrival(QByteArray("\x00\x01", 2));  // even a runt
  EXPECT_TRUE(f.activityIsRed());

  reqReg(4)->setText(QStringLiteral("15"));
  reqReg(2)->setText(QStringLiteral("7"));
  chkMonitor()->setChecked(true);
  sim_->arrival(writeRequest(0, {120, 0, 0, 12}));
  sim_->arrival(writeRequest(0, {120, 0, 0, 12}));
  // The screen catches up within its interval.
  ASSERT_TRUE(QTest::qWaitFor([&] { return posReg(1)->text() == QStringLiteral("120"); }, 5000));
  EXPECT_EQ(modReg(1)->text(), QStringLiteral("40001"));
  EXPECT_EQ(modReg1(20)->text(), QStringLiteral("40040"));
  EXPECT_EQ(backgroundOf(posReg(1)), xav::colours::LightRed);
  EXPECT_EQ(posReg(2)->text(), QStringLiteral("0"));
  EXPECT_EQ(posReg(3)->text(), QString());
  ASSERT_TRUE(QTest::qWaitFor([&] { return txtMonitor()->document()->blockCount() == 2; }, 5000));
  const QStringList lines = txtMonitor()->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("12, 15, - ")));
  EXPECT_EQ(txtMonitor()->textCursor().position(), txtMonitor()->toPlainText().size());

  QTest::mouseClick(cmdMonitorClear(), Qt::LeftButton);
  EXPECT_EQ(txtMonitor()->toPlainText(), QString());
  // The monitor keeps its newest lines only.
  for (int n = 0; n < RvsimWindow::kMonitorMaxLines + 50; ++n) sim_->arrival(writeRequest(0, {1, 0, 0, 12}));
  // Shown at the next display tick, whenever a loaded machine runs it.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return txtMonitor()->document()->blockCount() == RvsimWindow::kMonitorMaxLines; }, 10000));
  EXPECT_EQ(txtMonitor()->document()->blockCount(), RvsimWindow::kMonitorMaxLines);
}

TEST_F(FormTest, StatusFollowsTheGatewayThroughItsConnection) {
  open(3600 * 1000);  // refreshed by hand below
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return remoteIP()->text() == QStringLiteral("127.0.0.1"); }, 10000));
  EXPECT_EQ(state()->text(), QStringLiteral("7"));  // the state number until the next refresh
  sim_->refreshStatus();
  EXPECT_EQ(state()->text(), QStringLiteral("Connected         "));
  EXPECT_EQ(backgroundOf(state()), xav::colours::LightGrey);

  gateway.disconnectFromHost();
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->server()->state() == StatePeerClosed; }, 10000));
  sim_->refreshStatus();
  EXPECT_EQ(state()->text(), QStringLiteral("Peer Closed       "));
  EXPECT_EQ(backgroundOf(state()), xav::colours::LightGrey);  // no colour of its own
  sim_->refreshStatus();
  EXPECT_EQ(state()->text(), QStringLiteral("Waiting for XAV   "));
  EXPECT_EQ(backgroundOf(state()), xav::colours::Magenta);
  EXPECT_EQ(remoteIP()->text(), QStringLiteral("127.0.0.1"));  // kept until the next gateway

  QTcpSocket next;
  next.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  EXPECT_TRUE(QTest::qWaitFor([&] { return sim_->server()->state() == StateConnected; }, 10000));
}

TEST_F(FormTest, ABusyPortIsExplainedAndEndsTheProgram) {
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
  xav::MessageRecorder recorder;
  Simulator::Options o;
  o.port = holder.serverPort();
  Simulator sim(o);
  RvsimWindow f(sim);
  QSignalSpy end(&f, &RvsimWindow::programEnd);
  f.show();
  ASSERT_EQ(end.count(), 1);
  EXPECT_EQ(end.at(0).at(0).toInt(), 1);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].icon, xav::MessageIcon::Critical);
  // Busy, not forbidden: who holds it, and no advice about privileges.
  EXPECT_TRUE(recorder.lastText().contains(QStringLiteral("is already in use by"))) << recorder.lastText().toStdString();
  EXPECT_FALSE(recorder.lastText().contains(QStringLiteral("setcap"))) << recorder.lastText().toStdString();
}

TEST_F(FormTest, ExitClosesTheSocketAndEndsTheProgram) {
  RvsimWindow& f = open();
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->server()->state() == StateConnected; }, 10000));
  QSignalSpy end(&f, &RvsimWindow::programEnd);
  QTest::mouseClick(cmdExit(), Qt::LeftButton);
  ASSERT_EQ(end.count(), 1);
  EXPECT_EQ(end.at(0).at(0).toInt(), 0);
  EXPECT_EQ(sim_->server()->state(), StateClosed);
  // The gateway sees its connection end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return gateway.state() == QAbstractSocket::UnconnectedState; }, 10000));
}

TEST_F(FormTest, ExitByItsKeyKeepsTheCaptionBeingTyped) {
  // Alt+X leaves the focus where it is, so the caption box never loses it
  // before the window goes.
  RvsimWindow& f = open();
  QSignalSpy end(&f, &RvsimWindow::programEnd);
  capReg(3)->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(capReg(3), QStringLiteral("Pump"));
  QTest::keyClick(capReg(3), Qt::Key_X, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return end.count() == 1; }, 5000));  // the button's click is animated
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(xav::platform::captionsFilePath(), &data));
  EXPECT_EQ(data, "\r\n\r\n\r\nPump\r\n" + QByteArray("\r\n").repeated(17));
}

TEST_F(FormTest, CountersShowTheTrafficAndStalePositions) {
  RvsimWindow& f = open();
  qint64 nowMs = 0;
  sim_->setClock([&] { return nowMs; });
  f.setStaleAfterMs(100);
  f.showCounters();
  EXPECT_EQ(counter("lblLastWrite")->text(), QStringLiteral("none yet"));
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->state() == StateConnected; }, 10000));
  gateway.write(writeRequest(0, {3}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.bytesAvailable() >= 12; }, 10000));
  gateway.write(readRequest());
  ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.bytesAvailable() >= 12 + 49; }, 10000));
  QTcpSocket intruder;
  intruder.bind(QHostAddress(QStringLiteral("127.0.0.2")));  // not the gateway's own address
  intruder.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->counters().connectionsTurnedAway == 1; }, 10000));
  f.showCounters();
  EXPECT_EQ(counter("lblAccepted")->text(), QStringLiteral("1"));
  EXPECT_EQ(counter("lblTurnedAway")->text(), QStringLiteral("1"));
  EXPECT_EQ(counter("lblWrites")->text(), QStringLiteral("1"));
  EXPECT_EQ(counter("lblReads")->text(), QStringLiteral("1"));
  EXPECT_EQ(counter("lblIgnored")->text(), QStringLiteral("0"));
  EXPECT_EQ(counter("lblBytesIn")->text(), QStringLiteral("65"));
  EXPECT_EQ(counter("lblBytesOut")->text(), QStringLiteral("61"));
  EXPECT_EQ(counter("lblLastWrite")->text(), QStringLiteral("0.0 s ago"));
  EXPECT_NE(backgroundOf(counter("lblLastWrite")), xav::colours::LightRed);
  // No write for longer than a few scans: the positions are marked stale.
  nowMs = 100;
  f.showCounters();
  EXPECT_EQ(counter("lblLastWrite")->text(), QStringLiteral("0.1 s ago"));
  EXPECT_EQ(backgroundOf(counter("lblLastWrite")), xav::colours::LightRed);
  gateway.write(writeRequest(0, {4}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->counters().writesAnswered == 2; }, 10000));
  nowMs = 199;
  f.showCounters();
  EXPECT_NE(backgroundOf(counter("lblLastWrite")), xav::colours::LightRed);
  // The Traffic window opens from its button (Alt+T).
  EXPECT_EQ(named<QPushButton>(QStringLiteral("cmdTraffic"))->text(), QStringLiteral("&Traffic..."));
}

TEST_F(FormTest, GivesTheGoldenReplies) {
  open();
  for (const auto& [drive, request] : golden::kRequests) {
    const int row = xav::driveIndex(QLatin1Char(drive)) + 1;
    type(row, QString::number(request));
    QTest::keyClick(reqReg(row), Qt::Key_Return);
  }
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(gateway.waitForConnected(10000));
  const QString mismatch = golden::run(gateway, [&](int n) {
    return QTest::qWaitFor([&] { return sim_->counters().framesIgnored >= quint64(n); }, 10000);
  });
  EXPECT_TRUE(mismatch.isEmpty()) << mismatch.toStdString();
}

TEST_F(FormTest, CaptionsTroubleIsANoteAfterListeningAndAReturningGatewayIsShown) {
  // A pipe in the captions file's place: nothing may wait for it, and no box holds up the start.
  const QString path = xav::platform::captionsFilePath();
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  xav::MessageRecorder recorder;
  RvsimWindow& f = open();
  EXPECT_EQ(sim_->server()->state(), StateListening);
  EXPECT_TRUE(recorder.messages().empty());
  QLabel* message = named<QLabel>(QStringLiteral("lblMessage"));
  EXPECT_TRUE(message->text().contains(QStringLiteral("not a regular file"))) << message->text().toStdString();

  QTcpSocket dead;
  dead.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->state() == StateConnected; }, 10000));
  QTcpSocket reborn;
  reborn.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_->counters().connectionsReplaced == 1; }, 10000));
  reborn.write(readRequest());
  EXPECT_TRUE(QTest::qWaitFor([&] { return reborn.bytesAvailable() >= kReadReplySize; }, 10000));
  EXPECT_TRUE(message->text().contains(QStringLiteral("connected again"))) << message->text().toStdString();
  f.showCounters();
  EXPECT_EQ(counter("lblReplaced")->text(), QStringLiteral("1"));
  EXPECT_EQ(counter("lblTurnedAway")->text(), QStringLiteral("0"));
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(FormTest, ClearCaptionsAsksFirstAndFaultsShowWhileOn) {
  RvsimWindow& f = open();
  capReg(1)->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(capReg(1), QStringLiteral("Pump"));
  reqReg(1)->setFocus(Qt::OtherFocusReason);
  answerYes_ = false;
  QTest::keyClick(&f, Qt::Key_P, Qt::AltModifier);  // its own key, not the monitor's Clear (Alt+L)
  ASSERT_TRUE(QTest::qWaitFor([&] { return questions_.size() == 1; }, 5000));
  EXPECT_EQ(capReg(1)->text(), QStringLiteral("Pump"));  // No: nothing emptied
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(xav::platform::captionsFilePath(), &data));
  EXPECT_TRUE(data.contains("Pump"));
  QTest::keyClick(&f, Qt::Key_L, Qt::AltModifier);  // the monitor's Clear asks nothing and keeps the captions
  EXPECT_EQ(questions_.size(), 1);
  EXPECT_EQ(capReg(1)->text(), QStringLiteral("Pump"));

  // Faults: off at the start, shown while on, on a fixed background with fixed text.
  QLabel* faults = named<QLabel>(QStringLiteral("lblFaults"));
  EXPECT_FALSE(faults->isVisible());
  named<QAction>(QStringLiteral("actDelay500"))->trigger();
  named<QAction>(QStringLiteral("actRefuseWrites"))->trigger();
  EXPECT_EQ(sim_->faults().delayMs, 500);
  EXPECT_TRUE(sim_->faults().refuseWrites);
  EXPECT_TRUE(faults->isVisible());
  EXPECT_TRUE(faults->text().contains(QStringLiteral("500 ms"))) << faults->text().toStdString();
  EXPECT_EQ(faults->palette().color(QPalette::WindowText).rgb(), qRgb(0, 0, 0));
  EXPECT_TRUE(named<QAction>(QStringLiteral("actRefuseWrites"))->isChecked());
  named<QAction>(QStringLiteral("actFaultsOff"))->trigger();
  EXPECT_FALSE(faults->isVisible());
  EXPECT_FALSE(sim_->faults().any());
}

TEST_F(FormTest, FitsASmallScreenAndKeepsTextReadableOnADarkTheme) {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(20, 20, 20));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  const QPalette old = QApplication::palette();
  QApplication::setPalette(dark);
  RvsimWindow& f = open();
  // 900 x 500 at scale 1.5 on a 1366 x 768 screen.
  EXPECT_LE(f.minimumSizeHint().width(), 900);
  EXPECT_LE(f.minimumSizeHint().height(), 500);
  EXPECT_LE(f.minimumSize().width(), 900);
  f.resize(900, 500);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.height() <= 500; }, 5000));
  // Every control is still inside the window, row 20 reached by scrolling.
  for (QWidget* w : std::initializer_list<QWidget*>{cmdExit(), cmdClrCap(), state(), chkMonitor(), counter("lblLastWrite")}) {
    const QRect r(w->mapTo(&f, QPoint(0, 0)), w->size());
    EXPECT_TRUE(f.rect().contains(r)) << w->objectName().toStdString();
  }
  auto* area = named<QScrollArea>(QStringLiteral("rowsArea"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return area->verticalScrollBar()->maximum() > 0; }, 5000));  // the rows scroll now
  // Order within a row and down the rows, as the columns were.
  EXPECT_LT(modReg(1)->x(), addr(1)->x());
  EXPECT_LT(addr(1)->x(), posReg(1)->x());
  EXPECT_LT(posReg(1)->x(), modReg1(1)->x());
  EXPECT_LT(modReg1(1)->x(), reqReg(1)->x());
  EXPECT_LT(reqReg(1)->x(), capReg(1)->x());
  EXPECT_FALSE(posReg(1)->focusPolicy() & Qt::TabFocus);
  EXPECT_FALSE(state()->focusPolicy() & Qt::TabFocus);
  // Fixed backgrounds carry a fixed (black) text; the rest follows the theme.
  for (QWidget* w : std::initializer_list<QWidget*>{posReg(1), reqReg(1), capReg(1), state(), localIP()}) {
    EXPECT_EQ(w->palette().color(QPalette::Text).rgb(), qRgb(0, 0, 0)) << w->objectName().toStdString();
  }
  EXPECT_EQ(chkMonitor()->palette().color(QPalette::WindowText).rgb(), QColor(230, 230, 230).rgb());
  form_.reset();
  QApplication::setPalette(old);
}
