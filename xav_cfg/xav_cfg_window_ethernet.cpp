// XavCfgWindow, Ethernet connection type: a view of the configuration
// sessions. The discovery fills the module list, a pick reads the module
// back, Save and Verify map their outcomes to the described boxes and the
// status line, the toolbox runs beside the window; each finished read-back,
// save and verify is kept in the history. Every utility runs on the shared
// runner; an operation whose utility was cancelled stops there.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTime>

#include "busy_guard.h"
#include "connection_type_dialog.h"
#include "history_window.h"
#include "message_boxes.h"
#include "operation_record.h"
#include "processes.h"
#include "profiles.h"
#include "readback.h"
#include "sessions.h"
#include "verify.h"
#include "wait_panel.h"
#include "xav_cfg_window.h"

namespace xavcfg {

namespace {
QString workDir() { return QDir::currentPath(); }
QString timeNow() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }
}  // namespace

// The discovery by broadcast ping and address table; the list is emptied
// before the titles are fetched and filled as each module's title comes.
void XavCfgWindow::DiscoverModules() {
  if (!discoverySession_) {
    discoverySession_ = new gw::AddressTableSession(gw::sharedUtilityRunner(), workDir(), this);
    connect(discoverySession_, &gw::Session::stateChanged, this, [this](gw::Session::State state) {
      // The old entries go before the titles are fetched, so none of them
      // can be taken for a module of this run.
      if (state == gw::Session::State::FetchingTitle && !listCleared_) {
        moduleList_->clear();
        listCleared_ = true;
      }
    });
    connect(discoverySession_, &gw::AddressTableSession::moduleListed, this,
            [this](const gw::ModuleEntry& m) { moduleList_->addItem(moduleEntry(m.address, m.title)); });
    connect(discoverySession_, &gw::Session::finished, this, &XavCfgWindow::onDiscoveryFinished);
  }
  if (!discoverySession_->start()) return;
  listCleared_ = false;
  busy_->holdWhile(*discoverySession_);
}

void XavCfgWindow::onDiscoveryFinished(const gw::SessionOutcome& outcome) {
  for (const gw::ModuleEntry& m : outcome.modules) hardwareAddresses_.insert(m.address, m.hardwareAddress);
  if (outcome.interrupted()) {
    reportInterruption(outcome.lastRun, waitPanel_->lastWait().moduleAddress);
    return;
  }
  moduleList_->clear();
  for (const gw::ModuleEntry& m : outcome.modules) moduleList_->addItem(moduleEntry(m.address, m.title));
  if (moduleList_->count() == 1) {
    moduleList_->setCurrentRow(0);
    LV1_Click();
  }
}

void XavCfgWindow::LV1_Click() {
  QListWidgetItem* item = moduleList_->currentItem();
  if (!item) return;
  optionFrames_[7]->show();
  saveButton_->setEnabled(true);
  ModuleIP = addressOfEntry(item->text());
  verifyButton_->setEnabled(!uploadedTo_.isEmpty() && uploadedTo_ == ModuleIP);
  historyButton_->setEnabled(true);
  readBack();
}

// Fetches the picked module's Config.csv (no ping: the list holds modules
// that answered) and puts it into the pane in onReadBackFinished.
void XavCfgWindow::readBack() {
  if (!pickSession_) {
    pickSession_ = new gw::ModulePickSession(gw::sharedUtilityRunner(), workDir(), this);
    connect(pickSession_, &gw::Session::finished, this, &XavCfgWindow::onReadBackFinished);
  }
  if (!pickSession_->start(ModuleIP, false, gw::paneEntries(pane_))) return;
  readBackFile_.clear();
  compareButton_->setEnabled(false);
  busy_->holdWhile(*pickSession_);
}

void XavCfgWindow::onReadBackFinished(const gw::SessionOutcome& outcome) {
  const bool newModule = readBackOf_ != ModuleIP;
  readBackOf_ = ModuleIP;
  const bool restorable = outcome.succeeded();
  if (restorable) readBackFile_ = outcome.configRead;
  compareButton_->setEnabled(restorable);
  gw::SessionOutcome kept = outcome;
  if (outcome.failure == gw::SessionFailure::CorruptFile || outcome.failure == gw::SessionFailure::FetchFailed)
    kept.message = QStringLiteral("Current Config file is corrupt.");
  recordOutcome(kept);
  // What the window shows of the module picked before must not be saved to
  // this one: without its own settings, this module starts from nothing.
  if (newModule && !restorable) resetEthernetEntries();
  if (outcome.interrupted()) {
    reportInterruption(outcome.lastRun, ModuleIP);
  } else {
    gw::applyReadBack(pane_, outcome.current, &CaptionsTail, this);
  }
  emit readBackEnded(restorable);
}

// The protocol pane as at start: no protocol, no address, the numbers'
// first values, no title and no captions kept.
void XavCfgWindow::resetEthernetEntries() {
  gw::resetToStartValues(pane_);
  PlcIP.clear();
  CaptionsTail.clear();
}

// Starts the Ethernet save of the pane's entries to the picked module; the
// rest follows in onSaveFinished. False when it did not start.
bool XavCfgWindow::saveEthernet() {
  if (ModuleIP.isEmpty()) {
    // Save is enabled from the start dialog on, before any module is picked.
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("No XAV module is selected.\r\n\r\nSelect the module in the list, then save again."));
    return false;
  }
  if (!saveSession_) {
    saveSession_ = new gw::SaveSession(gw::sharedUtilityRunner(), workDir(), this);
    connect(saveSession_, &gw::Session::finished, this, &XavCfgWindow::onSaveFinished);
    // The wait label is up while the loader sends.
    connect(saveSession_, &gw::Session::stateChanged, this,
            [this](gw::Session::State state) { loaderWaitLabel_->setVisible(state == gw::Session::State::Loading); });
  }
  if (!saveSession_->start(ModuleIP, gw::paneEntries(pane_), CaptionsTail)) return false;
  saving_ = true;
  busy_->holdWhile(*saveSession_);
  return true;
}

void XavCfgWindow::onSaveFinished(const gw::SessionOutcome& outcome) {
  saving_ = false;
  loaderWaitLabel_->hide();
  // A blank title was replaced by the default, in the file and in the box.
  if (!outcome.entries.title.isEmpty() && outcome.entries.title != titleBox_->text())
    titleBox_->setText(outcome.entries.title);
  switch (outcome.failure) {
    case gw::SessionFailure::InvalidEntries:
      xav::showMessage(this, xav::MessageIcon::None, QString(), outcome.message);
      emit saveEnded(false);
      return;
    case gw::SessionFailure::NotAnAddress:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), outcome.message);
      emit saveEnded(false);
      return;
    case gw::SessionFailure::WriteFailed:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                       QString(outcome.message).replace(QStringLiteral("written: "), QStringLiteral("written:\r\n")));
      emit saveEnded(false);
      return;
    default:
      break;
  }
  if (const QString plc = gw::normalAddress(plcAddressBox_->text()); !plc.isEmpty()) PlcIP = plc;
  const int protocol = gw::selectedProtocol(pane_);
  if (protocol == gw::kPccc) pcccFileNumberBox_->setFocus();
  if (protocol == gw::kModbusTcp) modbusTcpRegisterBox_->setFocus();
  const gw::RunResult& upload = outcome.lastRun;
  if (upload.outcome != gw::RunOutcome::NotStarted && upload.outcome != gw::RunOutcome::Busy) {
    // What went to the module, for Verify; also after a failure or a
    // cancel, when the module's state is what the operator must find out.
    uploadedTo_ = ModuleIP;
    uploadedFile_ = outcome.configSent;
    verifyButton_->show();
    verifyButton_->setEnabled(true);
  }
  reportUpload(upload, QTime::currentTime());
  recordOutcome(outcome);
  if (outcome.succeeded()) closingSteps();
  emit saveEnded(outcome.succeeded());
}

// The status line after an upload, and a box when it did not succeed: a
// loader that failed or was cancelled never reads as "loaded".
void XavCfgWindow::reportUpload(const gw::RunResult& upload, const QTime& at) {
  const QString status = gw::uploadStatusLine(QStringLiteral("Config.csv"), ModuleIP, upload, at);
  if (upload.interrupted()) {
    setStatus(status + QStringLiteral(" Its configuration is now unknown: read it back."));
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(ModuleIP));
    return;
  }
  setStatus(status);
  if (upload.outcome == gw::RunOutcome::Failed) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("Config.csv was NOT loaded to ") + ModuleIP + QStringLiteral(": ") +
                         upload.describe() + QStringLiteral("\r\n\r\nCheck the module, then save again."));
  }
}

void XavCfgWindow::reportInterruption(const gw::RunResult& run, const QString& moduleAddress) {
  setStatus(timeNow() + QStringLiteral(": ") + run.describe() +
            QStringLiteral(" The module's configuration is unknown: read it back."));
  xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(moduleAddress));
}

// Fetches the saved module's Config.csv again and compares it with what
// was loaded (serial: asks the module for its settings again).
void XavCfgWindow::cmdVerify_Click() {
  if (ConnectionType != ConnectionTypeDialog::kEthernet) {
    verifySerial();
    return;
  }
  if (uploadedTo_.isEmpty() || busy_->isBusy()) return;
  if (!verifySession_) {
    verifySession_ = new gw::VerifySession(gw::sharedUtilityRunner(), workDir(), this);
    connect(verifySession_, &gw::Session::finished, this, &XavCfgWindow::onVerifyFinished);
  }
  if (!verifySession_->start(uploadedTo_, uploadedFile_)) return;
  busy_->holdWhile(*verifySession_);
}

void XavCfgWindow::onVerifyFinished(const gw::SessionOutcome& outcome) {
  recordOutcome(outcome);
  if (outcome.interrupted()) {
    reportInterruption(outcome.lastRun, uploadedTo_);
  } else {
    const bool fetched = outcome.failure != gw::SessionFailure::UtilityNotStarted &&
                         outcome.failure != gw::SessionFailure::NotAnAddress;
    const QString message = fetched ? outcome.verify.message() : outcome.message;
    setStatus(QStringLiteral("Verify of %1 at %2: %3").arg(uploadedTo_, timeNow(), message));
    xav::showMessage(this, outcome.verified ? xav::MessageIcon::Information : xav::MessageIcon::Exclamation,
                     QString(), message);
  }
  emit verifyEnded(outcome.verified);
}

void XavCfgWindow::cmdReScan_Click() { DiscoverModules(); }

void XavCfgWindow::recordOutcome(gw::SessionOutcome outcome) {
  outcome.finishedAt = QDateTime::currentDateTime();
  if (outcome.hardwareAddress.isEmpty()) outcome.hardwareAddress = hardwareAddresses_.value(outcome.moduleAddress);
  recorder_->record(outcome);
}

// The picked module's history; a restore that went through is read back,
// so the window shows what the module now holds.
void XavCfgWindow::cmdHistory_Click() {
  if (ModuleIP.isEmpty()) return;
  if (!historyWindow_) {
    historyWindow_ = new gw::HistoryWindow(*recorder_, gw::sharedUtilityRunner(), workDir(), this);
    connect(historyWindow_, &gw::HistoryWindow::restoreFinished, this, [this](const gw::SessionOutcome& o) {
      if (o.succeeded() && gw::normalAddress(o.moduleAddress) == gw::normalAddress(ModuleIP)) readBack();
    });
  }
  historyWindow_->showModule(ModuleIP, readBackFile_);
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

// What a Save would change on the picked module: the file read back against
// the one the entries would make. It never stands in the Save's way.
void XavCfgWindow::cmdCompare_Click() {
  if (ModuleIP.isEmpty()) return;
  const gw::GeneratedConfig gen = gw::generateConfig(gw::collectEntries(pane_), CaptionsTail);
  if (gen.refusal != gw::Refusal::None) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::refusalMessage(gen.refusal));
    return;
  }
  gw::showSaveComparison(this, ModuleIP, readBackFile_, gen.bytes);
}

void XavCfgWindow::cmdServiceLog_Click() { gw::showServiceLog(this, *recorder_); }

// The outside toolbox runs from its own directory, beside the window (the
// window takes no input meanwhile); the discovery follows once it has ended.
void XavCfgWindow::cmdToolbox_Click() {
  if (busy_->isBusy()) return;
  const QString home = workDir();
  const QString toolboxDir = QDir(home).filePath(QStringLiteral("Toolbox"));
  const QString program = QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe"));
  if (!QFileInfo(program).isFile()) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The toolbox program was not found:\r\n") + QDir::toNativeSeparators(program) +
                         QStringLiteral("\r\n\r\nThe configuration tool goes on without it."));
    return;
  }
  gw::UtilityRunner& runner = gw::sharedUtilityRunner();
  // The runner takes the directory a run starts from at its start.
  QDir::setCurrent(toolboxDir);
  const bool started = runner.start(toolboxCommand(toolboxDir), gw::kNormalFocus);
  QDir::setCurrent(home);
  if (!started) return;
  busy_->enter();
  connect(
      &runner, &gw::UtilityRunner::finished, this,
      [this](const gw::RunResult& run) {
        busy_->leave();
        if (run.interrupted()) reportInterruption(run, QString());
        else DiscoverModules();
        emit toolboxEnded();
      },
      Qt::SingleShotConnection);
}

}  // namespace xavcfg
