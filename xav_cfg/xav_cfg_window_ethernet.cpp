// XavCfgWindow, Ethernet connection type: the discovery into the module
// list, the read-back of a picked module, the Ethernet Save with its status
// line, Verify, and the outside toolbox. Every utility runs on the shared
// runner; an operation whose utility was cancelled stops there.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTime>

#include "message_boxes.h"
#include "processes.h"
#include "utility_wait.h"  // until this file drives sessions instead
#include "profiles.h"
#include "readback.h"
#include "utility_wait_panel.h"
#include "verify.h"
#include "xav_cfg_window.h"

namespace xavcfg {

namespace {
QString workDir() { return QDir::currentPath(); }
QString timeNow() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }
}  // namespace

void XavCfgWindow::DiscoverModules() {
  Operation operation(*this);
  const QStringList listing = answeringModules(*network_);
  if (stopIfInterrupted()) return;
  // The old entries go before the titles are fetched, so none of them can
  // be taken for a module of this run.
  moduleList_->clear();
  moduleList_->repaint();
  for (const QString& address : listing) {
    const QString title = GetModuleTitle(*network_, address);
    if (stopIfInterrupted(address)) return;
    moduleList_->addItem(moduleEntry(address, title));
  }
  if (moduleList_->count() == 1) {
    moduleList_->setCurrentRow(0);
    LV1_Click();
  }
}

void XavCfgWindow::LV1_Click() {
  Operation operation(*this);
  QListWidgetItem* item = moduleList_->currentItem();
  if (!item) return;
  optionFrames_[7]->show();
  saveButton_->setEnabled(true);
  const QString picked = addressOfEntry(item->text());
  const bool newModule = picked != ModuleIP;
  ModuleIP = picked;
  verifyButton_->setEnabled(!uploadedTo_.isEmpty() && uploadedTo_ == ModuleIP);
  // A file of an earlier fetch must not restore another module's settings.
  gw::deleteConfigCsv(workDir());
  network_->fetchConfiguration(ModuleIP);
  const bool interrupted = network_->interrupted();
  const gw::CurrentConfig current = interrupted ? gw::CurrentConfig{} : gw::readCurrentConfig(workDir());
  const bool restorable =
      current.readable && current.protocolCode >= gw::kPccc && current.protocolCode <= gw::kModbusTcp;
  // What the window shows of the module picked before must not be saved to
  // this one: without its own settings, this module starts from nothing.
  if (newModule && !restorable) resetEthernetEntries();
  if (stopIfInterrupted(ModuleIP)) return;
  gw::applyReadBack(pane_, current, &CaptionsTail, this);
}

// The protocol pane as at start: no protocol, no address, the numbers'
// first values, no title and no captions kept.
void XavCfgWindow::resetEthernetEntries() {
  gw::resetToStartValues(pane_);
  PlcIP.clear();
  CaptionsTail.clear();
}

bool XavCfgWindow::saveEthernet() {
  if (ModuleIP.isEmpty()) {
    // Save is enabled from the start dialog on, before any module is picked.
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("No XAV module is selected.\r\n\r\nSelect the module in the list, then save again."));
    return false;
  }
  gw::SaveOutcome saved;
  if (!gw::saveEthernetConfiguration(pane_, workDir(), ModuleIP, CaptionsTail, this, &saved)) return false;
  if (saved.upload.outcome != gw::RunOutcome::NotStarted && saved.upload.outcome != gw::RunOutcome::Busy) {
    // What went to the module, for Verify; also after a failure or a
    // cancel, when the module's state is what the operator must find out.
    uploadedTo_ = ModuleIP;
    uploadedFile_ = saved.sent;
    verifyButton_->show();
    verifyButton_->setEnabled(true);
  }
  reportUpload(saved.upload, saved.finishedAt);
  return saved.upload.succeeded();
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

// After a step of the network host: when the operator cancelled it, says
// so and tells the caller to stop. The module is the one the step named
// unless the caller knows better.
bool XavCfgWindow::stopIfInterrupted(const QString& moduleAddress) {
  if (!network_->interrupted()) return false;
  reportInterruption(gw::sharedUtilityRunner().lastResult(),
                     moduleAddress.isEmpty() ? waitPanel_->lastWait().moduleAddress : moduleAddress);
  return true;
}

void XavCfgWindow::reportInterruption(const gw::RunResult& run, const QString& moduleAddress) {
  setStatus(timeNow() + QStringLiteral(": ") + run.describe() +
            QStringLiteral(" The module's configuration is unknown: read it back."));
  xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(moduleAddress));
}

// Fetches the saved module's Config.csv again and compares it with what
// was loaded.
void XavCfgWindow::cmdVerify_Click() {
  if (uploadedTo_.isEmpty()) return;
  Operation operation(*this);
  const gw::VerifyResult result =
      gw::verifyModuleConfig(gw::sharedUtilityRunner(), workDir(), uploadedTo_, uploadedFile_);
  if (result.kind == gw::VerifyResult::Kind::Cancelled) {
    reportInterruption(gw::sharedUtilityRunner().lastResult(), uploadedTo_);
    return;
  }
  setStatus(QStringLiteral("Verify of %1 at %2: %3").arg(uploadedTo_, timeNow(), result.message()));
  xav::showMessage(this, result.identical() ? xav::MessageIcon::Information : xav::MessageIcon::Exclamation,
                   QString(), result.message());
}

void XavCfgWindow::cmdReScan_Click() { DiscoverModules(); }

void XavCfgWindow::cmdToolbox_Click() {
  Operation operation(*this);
  const QString home = workDir();
  const QString toolboxDir = QDir(home).filePath(QStringLiteral("Toolbox"));
  const QString program = QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe"));
  if (!QFileInfo(program).isFile()) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The toolbox program was not found:\r\n") + QDir::toNativeSeparators(program) +
                         QStringLiteral("\r\n\r\nThe configuration tool goes on without it."));
    return;
  }
  QDir::setCurrent(toolboxDir);
  const gw::RunResult run = gw::ShellAndWait(toolboxCommand(toolboxDir), gw::kNormalFocus);
  QDir::setCurrent(home);
  if (run.interrupted()) {
    reportInterruption(run, QString());
    return;
  }
  DiscoverModules();
}

}  // namespace xavcfg
