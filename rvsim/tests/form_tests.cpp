// The window through QTest events: the rows built at the first activation,
// the request boxes' key and focus rules, captions on disk, the monitor and
// the status panel.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "colours.h"
#include "files.h"
#include "form1.h"
#include "messages.h"
#include "modbus_server.h"
#include "platform.h"

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
    qputenv("XDG_CONFIG_HOME", oldConfig_);
  }

  Form1& open(int refreshMs = Form1::kRefreshMs) {
    Form1::Options o;
    o.port = 0;
    o.refreshMs = refreshMs;
    form_ = std::make_unique<Form1>(o);
    form_->show();
    form_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    return *form_;
  }

  // The request byte of row i as a read by the gateway would return it now.
  int readByte(int i) {
    RegisterImage copy = form_->image();
    const FrameOutcome out = handleFrame(readRequest(), copy, false, {});
    return static_cast<quint8>(out.reply[10 + 2 * (i - 1)]);
  }

  void type(int i, const QString& keys) {
    form_->reqReg(i)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(form_->reqReg(i), keys);
  }

  QTemporaryDir config_;
  QByteArray oldConfig_;
  std::unique_ptr<Form1> form_;
};

}  // namespace

TEST_F(FormTest, FirstActivationBuildsTheRowsAndListens) {
  Form1::Options o;
  o.port = 0;
  Form1 unshown(o);
  EXPECT_EQ(unshown.reqReg(1), nullptr);  // nothing before the first activation
  EXPECT_EQ(unshown.server()->state(), StateClosed);

  Form1& f = open();
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRTU");
  for (int i = 1; i <= 20; ++i) {
    EXPECT_EQ(f.addr(i)->text(), QString(letters[i - 1]));
    EXPECT_EQ(f.reqReg(i)->text(), QStringLiteral("0"));
    EXPECT_EQ(f.posReg(i)->text(), QString());
    EXPECT_EQ(f.modReg(i)->text(), QString());
    EXPECT_EQ(f.modReg1(i)->text(), QString());
    EXPECT_TRUE(f.capReg(i)->isVisible());
    EXPECT_EQ(f.reqReg(i)->objectName(), QStringLiteral("ReqReg(%1)").arg(i));
    if (i > 1) {
      EXPECT_GT(f.reqReg(i)->y(), f.reqReg(i - 1)->y());
    }
  }
  for (const char* heading : {"Register", "Addr", "POS", "REQ"}) {
    bool found = false;
    for (QLabel* l : f.findChildren<QLabel*>()) found |= l->text() == QLatin1String(heading) && l->isVisible();
    EXPECT_TRUE(found) << heading;
  }
  EXPECT_EQ(f.focusWidget(), f.reqReg(1));
  EXPECT_EQ(f.server()->state(), StateListening);
  EXPECT_TRUE(f.localIP()->text().endsWith(QStringLiteral(":%1").arg(f.server()->localPort())));
  EXPECT_EQ(f.state()->text(), QString());
  EXPECT_EQ(backgroundOf(f.state()), xav::colours::LightGrey);
  f.refreshStatus();
  EXPECT_EQ(f.state()->text(), QStringLiteral("Waiting for XAV   "));
  EXPECT_EQ(backgroundOf(f.state()), xav::colours::Magenta);
  EXPECT_EQ(f.chkMonitor()->text().remove(QLatin1Char('&')), QStringLiteral("D Monitor"));
  EXPECT_FALSE(f.chkMonitor()->isChecked());
  EXPECT_EQ(f.cmdClrCap()->text().remove(QLatin1Char('&')), QStringLiteral("Clear Captions"));
  EXPECT_EQ(f.cmdMonitorClear()->text().remove(QLatin1Char('&')), QStringLiteral("Clear"));
  EXPECT_EQ(f.cmdExit()->text().remove(QLatin1Char('&')), QStringLiteral("Exit"));
}

TEST_F(FormTest, TypingStartsANewValueAndReadsSeeTheOldOneUntilCommitted) {
  Form1& f = open();
  RequestBox* box = f.reqReg(3);
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
  QTest::keyClick(box = f.reqReg(5), '5');
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
  box = f.reqReg(11);
  box->setSelection(0, 1);
  QTest::keyClick(box, '9');
  EXPECT_EQ(box->text(), QStringLiteral("12"));
  QTest::keyClick(box, '0');
  EXPECT_EQ(box->text(), QStringLiteral("02"));

  // Leading zeros go at Enter; Enter in a committed box commits 0.
  type(6, QStringLiteral("007"));
  QTest::keyClick(f.reqReg(6), Qt::Key_Enter);
  EXPECT_EQ(f.reqReg(6)->text(), QStringLiteral("7"));
  f.reqReg(7)->setText(QStringLiteral("17"));
  f.reqReg(7)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(f.reqReg(7), Qt::Key_Return);
  EXPECT_EQ(f.reqReg(7)->text(), QStringLiteral("0"));
  EXPECT_EQ(f.reqReg(7)->savedCopy(), QStringLiteral("17"));
}

TEST_F(FormTest, OtherKeysAreSwallowedAndLeavingCommits) {
  Form1& f = open();
  RequestBox* box = f.reqReg(2);
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
  EXPECT_EQ(f.focusWidget(), f.reqReg(3));
  EXPECT_EQ(box->text(), QStringLiteral("12"));
  EXPECT_FALSE(box->inEntry());
  EXPECT_EQ(backgroundOf(f.capReg(2)), xav::colours::White);
  EXPECT_EQ(backgroundOf(f.capReg(3)), xav::colours::Yellow);
  EXPECT_EQ(readByte(2), 12);

  // A refused letter then leaving: 0.
  type(4, QStringLiteral("q"));
  QTest::keyClick(f.reqReg(4), Qt::Key_Up);
  EXPECT_EQ(f.focusWidget(), f.reqReg(3));
  EXPECT_EQ(f.reqReg(4)->text(), QStringLiteral("0"));

  // The ends of the column stay put.
  f.reqReg(20)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(f.reqReg(20), Qt::Key_Down);
  EXPECT_EQ(f.focusWidget(), f.reqReg(20));
  f.reqReg(1)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(f.reqReg(1), Qt::Key_Up);
  EXPECT_EQ(f.focusWidget(), f.reqReg(1));

  // A committed box never shows an empty or zero-valued text other than "0".
  f.reqReg(9)->setText(QString());
  EXPECT_EQ(f.reqReg(9)->text(), QStringLiteral("0"));
  f.reqReg(9)->setText(QStringLiteral("00"));
  EXPECT_EQ(f.reqReg(9)->text(), QStringLiteral("0"));

  // Paste keys type nothing: Ctrl+V starts an entry like any other key and
  // is refused, Shift+Insert and an input method's text are dropped.
  QGuiApplication::clipboard()->setText(QStringLiteral("199"));
  box = f.reqReg(10);
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
  box = f.reqReg(8);
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
  Form1& f = open();
  QTest::mouseClick(f.posReg(9), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), f.reqReg(9));
  QTest::mouseClick(f.state(), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), f.reqReg(1));
  f.reqReg(5)->setFocus(Qt::OtherFocusReason);
  QTest::mouseClick(f.remoteIP(), Qt::LeftButton);
  EXPECT_EQ(f.focusWidget(), f.reqReg(1));
}

TEST_F(FormTest, TabWalksOnThroughTheMonitor) {
  Form1& f = open();
  f.chkMonitor()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f.chkMonitor(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), f.cmdMonitorClear());
  QTest::keyClick(f.cmdMonitorClear(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), f.txtMonitor());
  QTest::keyClick(f.txtMonitor(), Qt::Key_Tab);
  EXPECT_EQ(f.focusWidget(), f.cmdClrCap());
  EXPECT_EQ(f.txtMonitor()->toPlainText(), QString());
}

TEST_F(FormTest, CaptionsLiveInTheirFile) {
  const QString path = xav::platform::captionsFilePath();
  {
    Form1& f = open();
    QByteArray data;
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data, QByteArray("\r\n").repeated(21));  // first start: 21 empty lines

    f.capReg(2)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(f.capReg(2), QStringLiteral("Silo 2"));
    QTest::keyClick(f.capReg(2), Qt::Key_Return);  // on to the row's request
    EXPECT_EQ(f.focusWidget(), f.reqReg(2));
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data, "\r\n\r\nSilo 2\r\n" + QByteArray("\r\n").repeated(18));
    form_.reset();
  }
  // Names on lines 2 to 21 come back; line 1 is ignored and written empty.
  ASSERT_TRUE(xav::writeWholeFile(path, "template\r\nA1\r\nB2\r\n"));
  Form1& f = open();
  EXPECT_EQ(f.capReg(1)->text(), QStringLiteral("A1"));
  EXPECT_EQ(f.capReg(2)->text(), QStringLiteral("B2"));
  EXPECT_EQ(f.capReg(3)->text(), QString());
  f.capReg(1)->setFocus(Qt::OtherFocusReason);
  f.reqReg(1)->setFocus(Qt::OtherFocusReason);
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_TRUE(data.startsWith("\r\nA1\r\nB2\r\n\r\n"));
  EXPECT_EQ(data.count("\r\n"), 21);

  QTest::mouseClick(f.cmdClrCap(), Qt::LeftButton);
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_EQ(data, QByteArray("\r\n").repeated(21));
  EXPECT_EQ(f.capReg(1)->text(), QString());
}

TEST_F(FormTest, ArrivalsShowPositionsTheMonitorAndTheLamp) {
  Form1& f = open();
  const QRgb lamp = backgroundOf(f.shpActivity());
  f.dataArrival(QByteArray("\x00\x01\x00\x00\x00\x06\x01\x06\x00\x00\x00\x05", 12));  // function 6
  EXPECT_TRUE(f.activityIsRed());
  EXPECT_EQ(backgroundOf(f.shpActivity()), xav::colours::Red);  // the first arrival is painted at once
  EXPECT_NE(lamp, xav::colours::Red);
  f.dataArrival(readRequest());
  EXPECT_FALSE(f.activityIsRed());
  EXPECT_TRUE(QTest::qWaitFor([&] { return backgroundOf(f.shpActivity()) == lamp; }, 5000));
  f.dataArrival(QByteArray("\x00\x01", 2));  // even a runt
  EXPECT_TRUE(f.activityIsRed());

  f.reqReg(4)->setText(QStringLiteral("15"));
  f.reqReg(2)->setText(QStringLiteral("7"));
  f.chkMonitor()->setChecked(true);
  f.dataArrival(writeRequest(0, {120, 0, 0, 12}));
  f.dataArrival(writeRequest(0, {120, 0, 0, 12}));
  // The screen catches up within its interval.
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.posReg(1)->text() == QStringLiteral("120"); }, 5000));
  EXPECT_EQ(f.modReg(1)->text(), QStringLiteral("40001"));
  EXPECT_EQ(f.modReg1(20)->text(), QStringLiteral("40040"));
  EXPECT_EQ(backgroundOf(f.posReg(1)), xav::colours::LightRed);
  EXPECT_EQ(f.posReg(2)->text(), QStringLiteral("0"));
  EXPECT_EQ(f.posReg(3)->text(), QString());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.txtMonitor()->document()->blockCount() == 2; }, 5000));
  const QStringList lines = f.txtMonitor()->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("12, 15, - ")));
  EXPECT_EQ(f.txtMonitor()->textCursor().position(), f.txtMonitor()->toPlainText().size());

  QTest::mouseClick(f.cmdMonitorClear(), Qt::LeftButton);
  EXPECT_EQ(f.txtMonitor()->toPlainText(), QString());
  // The monitor keeps its newest lines only.
  for (int n = 0; n < Form1::kMonitorMaxLines + 50; ++n) f.dataArrival(writeRequest(0, {1, 0, 0, 12}));
  QTest::qWait(3 * Form1::kDisplayIntervalMs);
  EXPECT_EQ(f.txtMonitor()->document()->blockCount(), Form1::kMonitorMaxLines);
}

TEST_F(FormTest, StatusFollowsTheGatewayThroughItsConnection) {
  Form1& f = open(3600 * 1000);  // refreshed by hand below
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, f.server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.remoteIP()->text() == QStringLiteral("127.0.0.1"); }, 10000));
  EXPECT_EQ(f.state()->text(), QStringLiteral("7"));  // the state number until the next refresh
  f.refreshStatus();
  EXPECT_EQ(f.state()->text(), QStringLiteral("Connected         "));
  EXPECT_EQ(backgroundOf(f.state()), xav::colours::LightGrey);

  gateway.disconnectFromHost();
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.server()->state() == StatePeerClosed; }, 10000));
  f.refreshStatus();
  EXPECT_EQ(f.state()->text(), QStringLiteral("Peer Closed       "));
  EXPECT_EQ(backgroundOf(f.state()), xav::colours::LightGrey);  // no colour of its own
  f.refreshStatus();
  EXPECT_EQ(f.state()->text(), QStringLiteral("Waiting for XAV   "));
  EXPECT_EQ(backgroundOf(f.state()), xav::colours::Magenta);
  EXPECT_EQ(f.remoteIP()->text(), QStringLiteral("127.0.0.1"));  // kept until the next gateway

  QTcpSocket next;
  next.connectToHost(QHostAddress::LocalHost, f.server()->localPort());
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.server()->state() == StateConnected; }, 10000));
}

TEST_F(FormTest, ABusyPortIsExplainedAndEndsTheProgram) {
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
  xav::MessageRecorder recorder;
  Form1::Options o;
  o.port = holder.serverPort();
  Form1 f(o);
  QSignalSpy end(&f, &Form1::programEnd);
  f.show();
  ASSERT_EQ(end.count(), 1);
  EXPECT_EQ(end.at(0).at(0).toInt(), 1);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].icon, xav::MessageIcon::Critical);
  EXPECT_TRUE(recorder.lastText().contains(QStringLiteral("setcap cap_net_bind_service")));
}

TEST_F(FormTest, ExitClosesTheSocketAndEndsTheProgram) {
  Form1& f = open();
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, f.server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.server()->state() == StateConnected; }, 10000));
  QSignalSpy end(&f, &Form1::programEnd);
  QTest::mouseClick(f.cmdExit(), Qt::LeftButton);
  ASSERT_EQ(end.count(), 1);
  EXPECT_EQ(end.at(0).at(0).toInt(), 0);
  EXPECT_EQ(f.server()->state(), StateClosed);
  // The gateway sees its connection end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return gateway.state() == QAbstractSocket::UnconnectedState; }, 10000));
}

TEST_F(FormTest, ExitByItsKeyKeepsTheCaptionBeingTyped) {
  // Alt+X leaves the focus where it is, so the caption box never loses it
  // before the window goes.
  Form1& f = open();
  QSignalSpy end(&f, &Form1::programEnd);
  f.capReg(3)->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(f.capReg(3), QStringLiteral("Pump"));
  QTest::keyClick(f.capReg(3), Qt::Key_X, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return end.count() == 1; }, 5000));  // the button's click is animated
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(xav::platform::captionsFilePath(), &data));
  EXPECT_EQ(data, "\r\n\r\n\r\nPump\r\n" + QByteArray("\r\n").repeated(17));
}
