// XavCfgWindow, serial connection type: the port, the query exchange and
// loading its reply, the DF1 frame's rules, and the serial Save.
#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimer>

#include "entry_rules.h"
#include "message_boxes.h"
#include "platform.h"
#include "operation_record.h"
#include "serial_routines.h"
#include "serial_verify.h"
#include "xav_cfg_window.h"

namespace xavcfg {

void XavCfgWindow::ListComPorts() {
  portBox_->clear();
  portBox_->addItems(serial_->ListComPorts());
  if (portBox_->count() > 0) portBox_->setCurrentIndex(0);
}

void XavCfgWindow::cmdConnect_Click() {
  if (serial_->busy()) return;
  showPortControls(false);
  const int port = xav::platform::comNumberFromText(portBox_->currentText());
  if (!serial_->openPort(port)) {
    showPortControls(true);
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Unable to open COM Port ") + QString::number(port));
    serial_->link()->close();
    emit queryEnded(false);
    return;
  }
  QueryModule();
}

void XavCfgWindow::QueryModule() {
  xav::showMessage(this, xav::MessageIcon::Information, QString(),
                   QStringLiteral("BEFORE CONTINUING, MAKE SURE THE FOLLOWING STEPS ARE COMPLETE:\r\n\r\n"
                                  "[1] Attach serial cable to the XAV\r\n\r\n"
                                  "[2] Press the BLACK button on the XAV until a dash (-) appears on the XAV display."));
  if (closeHandled_) return;  // the window was closed while the box was up
  serial_->QueryModule();
}

void XavCfgWindow::onQueryFinished(bool replied) {
  // A Verify asks with the same exchange; its answer is the verifier's.
  if (serialVerifier_->busy()) return;
  if (!replied) {
    countdownLabel_->setText(QStringLiteral(" "));
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Unable to communicate with the XAV Module on ") + portBox_->currentText() +
                         QStringLiteral("."));
    showPortControls(true);
    emit queryEnded(false);
    return;
  }
  EnableModes();
  saveButton_->setEnabled(true);
  const ModuleReply reply = readReply(serial_->ModuleRecord);
  CurrentMode = reply.mode;
  QString unknown = loadReplyIntoFields(reply);
  if (isKnownMode(CurrentMode)) {
    modeOptions_[CurrentMode]->setChecked(true);
    optMode_Click(CurrentMode);
  } else {
    unknown = QStringLiteral(
                  "The XAV module reported a mode (%1) that this tool does not know.\r\n\r\n"
                  "Select the mode the module is to use before saving.")
                  .arg(CurrentMode);
  }
  EnableModes();
  showPortControls(false);
  countdownLabel_->setText(QStringLiteral(" "));
  if (!unknown.isEmpty()) xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), unknown);
  emit queryEnded(true);
}

// The reply's fields of the current mode into their boxes; the text of a
// message when the reply names something this tool does not know.
QString XavCfgWindow::loadReplyIntoFields(const ModuleReply& reply) {
  switch (reply.mode) {
    case 3:
      if (isKnownSlaveRange(reply.slaveRange)) {
        slaveRangeOptions_[reply.slaveRange]->setChecked(true);
        return {};
      }
      slaveRangeChosen_ = false;  // "None" stays shown, but nobody chose it
      return QStringLiteral(
                 "The XAV module reported a Digital Switch slave range (%1) that this tool does not know.\r\n\r\n"
                 "Select the slave range before saving.")
          .arg(reply.slaveRange);
    case 4:
      modbusBaseRegisterBox_->setText(QString::number(reply.baseRegister));
      modbusSlaveAddressBox_->setText(QString::number(reply.slaveAddress));
      return {};
    case 5:
      df1BaseRegisterBox_->setText(QString::number(reply.baseRegister));
      Df1DisplayUpdate();
      df1PlcAddressBox_->setText(QString::number(reply.slaveAddress));
      df1FileNumberBox_->setText(QString::number(reply.fileNumber));
      return {};
    default:
      return {};
  }
}

void XavCfgWindow::Df1DisplayUpdate() {
  if (SuppressDf1Update) return;
  const Df1Display d = df1Display(df1BaseRegisterBox_->text(), df1FileNumberBox_->text());
  if (d.baseText != df1BaseRegisterBox_->text()) {
    df1BaseRegisterBox_->setText(d.baseText);  // runs this update again through the change event
    return;
  }
  df1PositionRangeBox_->setText(d.positions);
  df1RequestRangeBox_->setText(d.requests);
}

// Leaving the DF1 file number with a refused value: the box shows 0 and
// takes the focus back.
bool XavCfgWindow::handleDf1FileNumberFocusOut(QFocusEvent* event) {
  const auto reason = event->reason();
  const bool leaving = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                       reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                       reason == Qt::OtherFocusReason;
  if (!leaving || closeHandled_ || !df1FileNumberBox_->isVisible() ||
      isAcceptedDf1FileNumber(df1FileNumberBox_->text()))
    return false;
  df1FileNumberBox_->setText(QStringLiteral("0"));
  QTimer::singleShot(0, df1FileNumberBox_, [this] {
    if (!df1FileNumberBox_->isVisible()) return;
    // Taking the focus back would swallow a click on Save that is under
    // way (a button that loses the focus while held down never clicks):
    // run the Save now, which refuses the number as Alt+S does.
    if (saveButton_->isDown() && saveButton_->isEnabled()) {
      saveButton_->setDown(false);
      cmdUpdateXAV_Click();
      return;
    }
    df1FileNumberBox_->setFocus(Qt::OtherFocusReason);
    df1FileNumberBox_->selectAll();
  });
  return true;
}

bool XavCfgWindow::saveSerial(int mode) {
  if (mode == 3 && !slaveRangeChosen_) {
    // The module named a range this tool does not know; sending "None" in
    // its place would change the module's wiring without anyone choosing it.
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Select the slave range of the Digital Switch mode, then save again.\r\n\r\n"
                                    "Nothing was sent to the XAV module."));
    slaveRangeOptions_[0]->setFocus();
    return false;
  }
  SerialEntries e;
  e.mode = mode == 7 ? 0 : mode;
  e.baseReg = modbusBaseRegisterBox_->text();
  e.slave = modbusSlaveAddressBox_->text();
  e.baseRegDF1 = df1BaseRegisterBox_->text();
  e.slaveDF1 = df1PlcAddressBox_->text();
  e.fileNo = df1FileNumberBox_->text();
  e.slaveMode = GetSlaveMode();
  const RecordResult r = buildSerialRecord(e);
  if (!r.ok) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), r.message);
    if (auto* box = findChild<QLineEdit*>(r.box)) {
      box->setFocus();
      box->selectAll();
    }
    return false;
  }
  return sendRecord(r.record, mode);
}

// Sends the record and says in the status line what went where; a port
// that is gone or fails during the write is a failure, never "sent".
bool XavCfgWindow::sendRecord(const QByteArray& record, int mode) {
  const QString port = portBox_->currentText();
  const QString at = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  // The module's PLC address, for the service log: the slave (mode 4) or
  // node address (mode 5) the record carries.
  const QString plc = mode == 4 || mode == 5 ? QString::number(replyField(record, 8, 2)) : QString();
  auto keep = [&](bool sent, const QString& reason) {
    recorder_->recordSerialRecord(port, modeCaption(mode), plc, QString(), sent, reason);
  };
  if (!serial_->portOpen()) {
    keep(false, QStringLiteral("the port is no longer open."));
    setStatus(QStringLiteral("Record NOT sent on %1 at %2: the port is no longer open.").arg(port, at));
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The serial port ") + port +
                         QStringLiteral(" is no longer open.\r\n\r\nNothing was sent to the XAV module. "
                                        "Check the cable, then close the tool and start it again."));
    return false;
  }
  serial_->ModuleRecord = record;
  if (!serial_->SendToModule(record + '\r')) {
    const QString reason = serial_->lastWriteFailure();
    keep(false, reason);
    setStatus(QStringLiteral("Record NOT sent on %1 at %2: %3").arg(port, at, reason));
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The record could not be sent on ") + port + QStringLiteral(": ") + reason +
                         QStringLiteral("\r\n\r\nThe XAV module may hold part of it or nothing. Check the cable, "
                                        "then close the tool, start it again and read the module back."));
    return false;
  }
  keep(true, QString());
  setStatus(QStringLiteral("Record sent on %1 at %2").arg(port, at));
  sentRecord_ = record;
  sentRecordPort_ = port;
  verifyButton_->show();
  verifyButton_->setEnabled(true);
  return true;
}

// Asks the module again, as Connect does, and compares its answer with the
// record sent. The Verify button stays off until the exchange has ended.
void XavCfgWindow::verifySerial() {
  if (sentRecord_.isEmpty() || serialVerifier_->busy()) return;
  if (!serialVerifier_->start(sentRecord_)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The serial port ") + sentRecordPort_ +
                         QStringLiteral(" is no longer open.\r\n\r\nClose the tool and start it again to check the module."));
    return;
  }
  verifyButton_->setEnabled(false);
  setStatus(QStringLiteral("Verifying the record on %1...").arg(sentRecordPort_));
}

void XavCfgWindow::onSerialVerifyFinished(const SerialVerifyResult& result) {
  countdownLabel_->setText(QStringLiteral(" "));
  if (result.kind == SerialVerifyResult::Kind::Cancelled) return;  // the window is closing
  verifyButton_->setEnabled(true);
  const QString message = result.message(sentRecordPort_);
  const QString at = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  recorder_->recordSerialVerify(sentRecordPort_, result.holds(), result.holds() ? QString() : message);
  setStatus(QStringLiteral("Verify on %1 at %2: %3").arg(sentRecordPort_, at, message));
  xav::showMessage(this, result.holds() ? xav::MessageIcon::Information : xav::MessageIcon::Exclamation, QString(),
                   message);
  emit serialVerifyEnded(result.holds());
}

}  // namespace xavcfg
