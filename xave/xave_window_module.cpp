// XAVE and the picked module: the read-back, Save, Verify and the module's
// history. Each operation is a session; its outcome is told here and
// recorded.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTime>
#include <QScopeGuard>
#include <QTimer>

#include "commands.h"
#include "history_window.h"
#include "message_boxes.h"
#include "modgetip.h"
#include "operation_record.h"
#include "profiles.h"
#include "xave_window.h"

namespace xave {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString notOnSubnetSingle() {
  return QStringLiteral("This XAV is not on this computers subnet. The IP address must be changed") + kCrLf +
         QStringLiteral("before the XAV can be configured.");
}

QString notOnSubnetMany() {
  return QStringList{QStringLiteral("This XAV cannot be configured as is."), QString(),
                     QStringLiteral("This XAV is not on this computers subnet. The IP address must be changed"),
                     QStringLiteral("before the XAV can be configured. To change this IP address, only this one "),
                     QStringLiteral("XAV may be on the network."), QString(),
                     QStringLiteral("Please make sure that this is the only XAV connected to the network and then") +
                         QStringLiteral(" try again.")}
      .join(kCrLf);
}

}  // namespace

// ---------------------------------------------------------------- selection and read-back

void XaveWindow::LV1_Click() {
  if (busy_.isBusy() || changingAddress_) return;
  QListWidgetItem* item = moduleList_->currentItem();
  if (!item) return;
  const QString picked = moduleIpFromEntry(item->text());
  // Another module than the one shown: nothing of the one before may stay
  // in the window if this one cannot be read back.
  const bool newModule = moduleIp_.isEmpty() || !sameModuleAddress(picked, moduleIp_);
  stopScanning();
  gw::ClearModes(pane_);
  gw::DisableEthernetEntry(pane_);
  protocolFrame_->show();
  saveButton_->setEnabled(true);
  moduleIp_ = picked;
  // The tail and the file read back belong to the module they came from; a
  // save to this one (also after a refused ping, when the options may still
  // be enabled) must not carry them.
  captionsTail_.clear();
  lastReadBack_.clear();
  startReadBack(newModule, true);
}

void XaveWindow::startReadBack(bool newModule, bool pingFirst) {
  pickedNewModule_ = newModule;
  if (!pickSession_->start(moduleIp_, pingFirst, gw::paneEntries(pane_))) return;
  busy_.holdWhile(*pickSession_);
  updateModuleButtons();
}

void XaveWindow::onPickFinished(const gw::SessionOutcome& outcome) {
  // Recorded once the window has told the outcome, so a storage problem follows it.
  const auto recordLast = qScopeGuard([&] { record(outcome); });
  const bool newModule = pickedNewModule_;
  const bool answered = outcome.failure != gw::SessionFailure::NotAnswering && !(outcome.interrupted() && pingInterrupted_);
  if (outcome.failure == gw::SessionFailure::NotAnswering || outcome.failure == gw::SessionFailure::NotAnAddress) {
    if (newModule) restoreStartValues();
    refuseUnreachableModule();
    updateModuleButtons();
    return;
  }
  if (!answered) {  // cancelled while it pinged: said in the status line only
    if (newModule) restoreStartValues();
    setStatus(outcome.lastRun.describe());
    updateModuleButtons();
    return;
  }
  changeAddressButton_->setEnabled(true);
  if (outcome.interrupted()) {
    if (newModule) restoreStartValues();
    setStatus(QStringLiteral("Nothing read back from ") + shownAddress(moduleIp_) + QStringLiteral(": ") +
              outcome.lastRun.describe());
    reportUnfinishedRun(outcome);
    updateModuleButtons();
    return;
  }
  gw::EnableProtocols(pane_);
  // A fetch that brought no file reads as an unreadable one.
  const gw::ReadBackResult result = gw::applyReadBack(pane_, outcome.current, &captionsTail_, this);
  if (outcome.succeeded()) lastReadBack_ = outcome.configRead;
  // A file that could not be read changed no box: for a module picked anew
  // the boxes still hold the previous module's values. A file with an
  // unknown protocol gave this module's title and address, not its numbers.
  if (newModule && result == gw::ReadBackResult::Unreadable) restoreStartValues();
  if (newModule && result == gw::ReadBackResult::UnknownProtocol) restoreStartNumbers();
  updateModuleButtons();
}

void XaveWindow::refuseUnreachableModule() {
  if (moduleList_->count() == 1) {
    xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetSingle());
    changeAddressButton_->setEnabled(true);
  } else {
    xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetMany());
    changeAddressButton_->setEnabled(false);
  }
}

void XaveWindow::restoreStartValues() {
  gw::resetToStartValues(pane_);
  captionsTail_.clear();
}

void XaveWindow::restoreStartNumbers() {
  const QString title = pane_.txtTitle->text();
  const QString address = pane_.txtIPAddress->text();
  gw::resetToStartValues(pane_);
  pane_.txtTitle->setText(title);
  pane_.txtIPAddress->setText(address);
}

// ---------------------------------------------------------------- save and verify

void XaveWindow::cmdUpdateXAV_Click() {
  if (busy_.isBusy()) return;
  const gw::Entries entries = gw::paneEntries(pane_);
  const gw::GeneratedConfig gen = gw::generateConfig(entries.toConfigEntries(), captionsTail_);
  if (gen.titleReplaced) pane_.txtTitle->setText(gen.title);
  if (gen.refusal != gw::Refusal::None) {
    // Refused before anything is written or asked: nothing to record.
    xav::showMessage(this, xav::MessageIcon::None, QString(), gw::refusalMessage(gen.refusal));
    return;
  }
  plcIp_ = gen.plcIp;
  if (entries.protocol == gw::kPccc) pane_.txtEIPFile->setFocus();
  if (entries.protocol == gw::kModbusTcp) pane_.txtMBReg->setFocus();
  if (!saveSession_->start(moduleIp_, gw::paneEntries(pane_), captionsTail_)) return;
  busy_.holdWhile(*saveSession_);
}

void XaveWindow::onSaveFinished(const gw::SessionOutcome& outcome) {
  pane_.lblWait->hide();
  // Recorded once the window has told the outcome, so a storage problem follows it.
  const auto recordLast = qScopeGuard([&] { record(outcome); });
  switch (outcome.failure) {
    case gw::SessionFailure::NotAnAddress:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), outcome.message);
      return;
    case gw::SessionFailure::InvalidEntries:
      xav::showMessage(this, xav::MessageIcon::None, QString(), outcome.message);
      return;
    case gw::SessionFailure::WriteFailed:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                       QString(outcome.message).replace(QStringLiteral("written: "), QStringLiteral("written:\r\n")));
      return;
    default: break;
  }
  setStatus(gw::uploadStatusLine(QStringLiteral("Config.csv"), outcome.moduleAddress, outcome.lastRun,
                                 outcome.finishedAt.time()));
  if (!outcome.succeeded()) {
    // Not sent: the window keeps the entries, so Save can be tried again.
    gw::deleteConfigCsv(workDir_);
    verifyButton_->setEnabled(false);
    reportUnfinishedRun(outcome);
    return;
  }
  lastSentTo_ = outcome.moduleAddress;
  lastSent_ = outcome.configSent;
  verifyButton_->setEnabled(true);
  resetAfterSave();
}

void XaveWindow::resetAfterSave() {
  saveButton_->setEnabled(false);
  gw::deleteConfigCsv(workDir_);
  pane_.txtTitle->clear();
  gw::DisableEthernetEntry(pane_);
  gw::ClearModes(pane_);
  scanTimer_->start();
  moduleList_->clear();
  // The list is empty now: the next listing must fill it even when it is
  // the one the tag holds, or the list stays empty while modules answer.
  timerTag_.clear();
  changeAddressButton_->setEnabled(false);
  lastReadBack_.clear();
  updateModuleButtons();
}

void XaveWindow::cmdVerify_Click() {
  if (busy_.isBusy() || lastSentTo_.isEmpty()) return;
  if (!verifySession_->start(lastSentTo_, lastSent_)) return;
  busy_.holdWhile(*verifySession_);
}

void XaveWindow::onVerifyFinished(const gw::SessionOutcome& outcome) {
  gw::VerifyResult check = outcome.verify;
  if (outcome.interrupted()) {
    check.kind = gw::VerifyResult::Kind::Cancelled;
    check.detail = outcome.lastRun.describe();
  } else if (outcome.failure == gw::SessionFailure::UtilityNotStarted) {
    check.kind = gw::VerifyResult::Kind::FetchFailed;
    check.detail = outcome.lastRun.describe();
  }
  // Recorded once the window has told the outcome, so a storage problem follows it.
  const auto recordLast = qScopeGuard([&] { record(outcome); });
  const QString when = outcome.finishedAt.time().toString(QStringLiteral("HH:mm:ss"));
  setStatus(check.message() + QStringLiteral(" (") + shownAddress(lastSentTo_) + QStringLiteral(", checked at ") +
            when + u')');
  if (check.kind == gw::VerifyResult::Kind::Cancelled) return;  // nothing learnt; the status line says so
  if (!check.identical()) xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), check.message());
}

// ---------------------------------------------------------------- history

void XaveWindow::updateModuleButtons() {
  const bool picked = !moduleIp_.isEmpty();
  historyButton_->setEnabled(picked);
  // (The input area may be disabled for the operation just ending.)
  compareButton_->setEnabled(picked && !lastReadBack_.isEmpty() && saveButton_->isEnabledTo(inputArea_));
}

void XaveWindow::cmdHistory_Click() {
  if (moduleIp_.isEmpty()) return;
  if (!historyWindow_) {
    historyWindow_ = new gw::HistoryWindow(*recorder_, runner_, workDir_, this);
    connect(historyWindow_, &gw::HistoryWindow::restoreFinished, this, [this](const gw::SessionOutcome& o) {
      // What the module holds now is what counts: read it back.
      if (o.succeeded() && !busy_.isBusy() && sameModuleAddress(o.moduleAddress, moduleIp_)) {
        stopScanning();
        startReadBack(false, false);
      }
    });
  }
  historyWindow_->showModule(moduleIp_, lastReadBack_);
  historyWindow_->show();
  historyWindow_->raise();
}

void XaveWindow::cmdCompare_Click() {
  if (lastReadBack_.isEmpty()) return;
  // What Save would send now, by the same generator and the same refusals.
  const gw::GeneratedConfig gen = gw::generateConfig(gw::paneEntries(pane_).toConfigEntries(), captionsTail_);
  if (gen.refusal != gw::Refusal::None) {
    xav::showMessage(this, xav::MessageIcon::None, QString(), gw::refusalMessage(gen.refusal));
    return;
  }
  gw::showSaveComparison(this, moduleIp_, lastReadBack_, gen.bytes);
}

void XaveWindow::cmdServiceLog_Click() { gw::showServiceLog(this, *recorder_); }

}  // namespace xave
