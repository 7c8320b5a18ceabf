// XAVE's IP address change: the session pings the module and fetches its
// fs_tcp.ini, the dialog asks for the new values, the session writes and
// uploads them. A module that does not answer gets the loader's address
// mode instead. Either way the module is given time to restart and the
// list is scanned afresh.
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include "commands.h"
#include "ip_change_dialog.h"
#include "message_boxes.h"
#include "modgetip.h"
#include "processes.h"
#include "xave_window.h"

namespace xave {

namespace {

// The module's restart time after an IP change, before the re-scan.
constexpr int kRestartWaitMs = 2000;

}  // namespace

void XaveWindow::cmdToolbox_Click() {
  if (busy_.isBusy() || changingAddress_) return;
  scanTimer_->stop();
  if (!ipSession_->startAsking(moduleIp_)) return;
  busy_.holdWhile(*ipSession_);
}

void XaveWindow::onIpChangeFinished(const gw::SessionOutcome& outcome) {
  if (ipChangeDialog_ && ipChangeDialog_->isVisible()) ipChangeDialog_->reject();
  // Recorded once the window has told the outcome, so a storage problem follows it.
  const auto recordLast = qScopeGuard([&] { record(outcome); });
  const bool escaped = outcome.failure == gw::SessionFailure::Cancelled && !outcome.lastRun.interrupted();
  const bool uploadTried = outcome.sending || outcome.failure == gw::SessionFailure::LoaderFailed ||
                           (outcome.succeeded() && !outcome.networkSettingsAfter.isEmpty());
  switch (outcome.failure) {
    case gw::SessionFailure::NotAnswering:
    case gw::SessionFailure::NotAnAddress: {
      // The loader's own way to reach a module off this subnet.
      const QString command = gw::addressModeCommand(workDir_);
      busy_.enter();
      runningAddressMode_ = true;
      connect(&runner_, &gw::UtilityRunner::finished, this, &XaveWindow::onAddressModeFinished,
              Qt::SingleShotConnection);
      if (!runner_.start(command, gw::kNormalFocus)) {
        disconnect(&runner_, &gw::UtilityRunner::finished, this, &XaveWindow::onAddressModeFinished);
        runningAddressMode_ = false;
        busy_.leave();
        afterAddressChange();
      }
      return;
    }
    case gw::SessionFailure::SettingsUnreadable:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                       QStringLiteral("The network settings of the XAV at ") + moduleIp_ +
                           QStringLiteral(" could not be read (fs_tcp.ini missing or incomplete).\r\n"
                                          "Nothing was changed."));
      break;
    case gw::SessionFailure::WriteFailed:
    case gw::SessionFailure::InvalidEntries:
      xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), outcome.message);
      break;
    default:
      if (escaped) break;  // nothing was sent
      if (uploadTried) {
        setStatus(gw::uploadStatusLine(QStringLiteral("fs_tcp.ini"), shownAddress(moduleIp_), outcome.lastRun,
                                       outcome.finishedAt.time()));
      } else if (outcome.interrupted()) {
        setStatus(outcome.lastRun.describe());
      }
      // A ping cancelled is no failure to report; a fetch or upload cancelled is.
      if (outcome.interrupted() && ipPingInterrupted_) break;
      if (!reportUnfinishedRun(outcome) && sameModuleAddress(moduleIp_, lastSentTo_)) {
        // The module now answers elsewhere: what Verify would fetch is gone.
        lastSentTo_.clear();
        verifyButton_->setEnabled(false);
      }
      break;
  }
  afterAddressChange();
}

void XaveWindow::onAddressModeFinished(const gw::RunResult& run) {
  runningAddressMode_ = false;
  if (!run.succeeded()) setStatus(run.describe());
  if (run.interrupted())
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(moduleIp_));
  else if (!run.succeeded() && run.outcome != gw::RunOutcome::NotStarted)
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), run.describe());
  busy_.leave();
  afterAddressChange();
}

void XaveWindow::afterAddressChange() {
  whenDiscoveryFileGone([this] {
    // Give the module time to restart on its new address; input is refused meanwhile.
    changingAddress_ = true;
    updateInputEnabled();
    QTimer::singleShot(kRestartWaitMs, this, &XaveWindow::finishAddressChange);
  });
}

void XaveWindow::finishAddressChange() {
  changingAddress_ = false;
  updateInputEnabled();
  if (unloaded_) return;
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  cmdReScan_Click();  // starts the scan again unless discovery could not run
  changeAddressButton_->setEnabled(false);
}

}  // namespace xave
