#include "xave_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "commands.h"
#include "ip_change_dialog.h"
#include "history_window.h"
#include "message_boxes.h"
#include "modgetip.h"
#include "operation_record.h"
#include "processes.h"
#include "wait_panel.h"

namespace xave {

XaveWindow::XaveWindow(QWidget* parent)
    : QWidget(parent), workDir_(QDir::currentPath()), runner_(gw::sharedUtilityRunner()) {
  setObjectName(QStringLiteral("FrmXAV"));
  recorder_ = new gw::OperationRecorder(QStringLiteral("XAVE"), gw::dataFolder(), this);
  connect(recorder_, &gw::OperationRecorder::problem, this, &XaveWindow::showProblem);
  buildWindow();
  createSessions();
  connect(&busy_, &gw::BusyState::busyChanged, this, &XaveWindow::onBusyChanged);
  // A restore from the History window runs on the runner too: a close waits for it as well.
  connect(&runner_, &gw::UtilityRunner::busyChanged, this, [this](bool busy) {
    if (!busy && closePending_ && !busy_.isBusy()) QTimer::singleShot(0, this, &QWidget::close);
  });
}

XaveWindow::~XaveWindow() = default;

void XaveWindow::createSessions() {
  scanSession_ = new gw::ModuleScanSession(runner_, workDir_, this);
  pickSession_ = new gw::ModulePickSession(runner_, workDir_, this);
  saveSession_ = new gw::SaveSession(runner_, workDir_, this);
  verifySession_ = new gw::VerifySession(runner_, workDir_, this);
  ipSession_ = new gw::IpChangeSession(runner_, workDir_, this);
  connect(scanSession_, &gw::Session::finished, this, [this](const gw::SessionOutcome& o) {
    auto then = std::move(afterScan_);
    afterScan_ = nullptr;
    const gw::RunResult& run = o.lastRun;
    if (o.failure == gw::SessionFailure::UtilityNotStarted || o.interrupted()) {
      // The runner has told the start error once; scanning on would tell it
      // again every second. Re-Scan tries again.
      stopScanning();
      if (o.interrupted()) setStatus(run.describe());
      if (then) then(std::nullopt);
      return;
    }
    if (then) then(ParseDiscoveryOutput(textAfterSeparator(readDiscoveryFile(workDir_))));
  });
  connect(pickSession_, &gw::Session::stateChanged, this, [this](gw::Session::State s) {
    // The ping answered once the fetch starts: the protocols may be chosen.
    if (s == gw::Session::State::Fetching) gw::EnableProtocols(pane_);
    // Which step a cancel ends: a ping cancelled is no refusal of the module.
    if (s != gw::Session::State::Finished) pingInterrupted_ = s == gw::Session::State::Pinging;
  });
  connect(pickSession_, &gw::Session::finished, this, &XaveWindow::onPickFinished);
  connect(saveSession_, &gw::Session::stateChanged, this, [this](gw::Session::State s) {
    if (s == gw::Session::State::Loading) pane_.lblWait->show();
  });
  connect(saveSession_, &gw::Session::finished, this, &XaveWindow::onSaveFinished);
  connect(verifySession_, &gw::Session::finished, this, &XaveWindow::onVerifyFinished);
  connect(ipSession_, &gw::IpChangeSession::settingsFetched, this, [this](const QString& ip, const QString& mask) {
    if (!ipChangeDialog_) ipChangeDialog_ = new IpChangeDialog(this);
    ipChangeDialog_->ask(ip, mask, [this](bool change, const QString& newIp, const QString& newMask) {
      if (change) ipSession_->proceed(newIp, newMask);
      else ipSession_->cancel();
    });
  });
  connect(ipSession_, &gw::Session::stateChanged, this, [this](gw::Session::State s) {
    if (s != gw::Session::State::Finished) ipPingInterrupted_ = s == gw::Session::State::Pinging;
  });
  connect(ipSession_, &gw::Session::finished, this, &XaveWindow::onIpChangeFinished);
  // Cancel ends whichever session runs; a lone run (the address mode) directly.
  waitPanel_->setCancelAction([this] {
    for (gw::Session* s : std::initializer_list<gw::Session*>{scanSession_, pickSession_, saveSession_,
                                                               verifySession_, ipSession_})
      if (s->isActive()) s->cancel();
    runner_.cancel();
  });
}

bool XaveWindow::isScanning() const { return scanTimer_->isActive(); }

// ---------------------------------------------------------------- start-up

bool XaveWindow::Form_Load() {
  gw::KillProcess(QStringLiteral("Ruinet.exe"));
  gw::DisableEthernetEntry(pane_);
  if (!gw::CheckForRuiFiles()) return false;
  gw::DisableProtocols(pane_);
  setWindowTitle(QStringLiteral("XAVE Configuration V3.0.1"));
  SetEthernetConfiguration();
  if (!gw::CheckReadWriteAccesss()) return false;
  scanTimer_->start();
  QFile::remove(QDir(workDir_).filePath(QStringLiteral("C.txt")));
  Timer1_Timer();
  return true;
}

// ---------------------------------------------------------------- busy, waiting and telling

void XaveWindow::onBusyChanged(bool busy) {
  if (busy) focusBeforeWait_ = inputArea_->isAncestorOf(focusWidget()) ? focusWidget() : nullptr;
  updateInputEnabled();
  if (!busy && focusBeforeWait_ && focusBeforeWait_->isEnabled() && focusBeforeWait_->isVisible())
    focusBeforeWait_->setFocus();
  // A close asked for meanwhile happens now that nothing runs any more.
  if (!busy && closePending_ && !runner_.isBusy()) QTimer::singleShot(0, this, &QWidget::close);
}

void XaveWindow::updateInputEnabled() { inputArea_->setEnabled(!busy_.isBusy() && !changingAddress_); }

bool XaveWindow::reportUnfinishedRun(const gw::SessionOutcome& outcome) {
  if (outcome.succeeded()) return false;
  const gw::RunResult& run = outcome.lastRun;
  if (outcome.interrupted())
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(moduleIp_));
  else if (outcome.failure != gw::SessionFailure::UtilityNotStarted && run.outcome != gw::RunOutcome::NotStarted)
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), run.describe());
  return true;
}

void XaveWindow::setStatus(const QString& text) { statusLine_->setText(text); }

// The history cannot be kept: told once in the status line, after what the
// operation itself reported (handlers record last); the operation went
// through regardless.
void XaveWindow::showProblem(const QString& text) {
  // The history and the log may each fail on the same folder: one word of it.
  if (problemTold_) return;
  problemTold_ = true;
  const QString now = statusLine_->text();
  statusLine_->setText(now.isEmpty() ? text : now + QStringLiteral(" - ") + text);
}

QString XaveWindow::bridgeNameOf(const QString& address) const {
  for (auto it = bridgeNames_.cbegin(); it != bridgeNames_.cend(); ++it)
    if (sameModuleAddress(it.key(), address)) return it.value();
  return {};
}

void XaveWindow::record(gw::SessionOutcome outcome) {
  if (outcome.bridgeName.isEmpty()) outcome.bridgeName = bridgeNameOf(outcome.moduleAddress);
  const gw::OperationRecorder::Recorded kept = recorder_->record(outcome);
  // Kept again: a later failure is news worth telling.
  if (!kept.historyId.isEmpty() || kept.logged) problemTold_ = false;
}

// ---------------------------------------------------------------- closing

void XaveWindow::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  scanTimer_->stop();
  gw::deleteConfigCsv(workDir_);
  // The background discovery run would write C.txt again: end it first.
  delete discovery_;
  discovery_ = nullptr;
  removeDiscoveryFileNow();
}

void XaveWindow::closeEvent(QCloseEvent* event) {
  // An operation owns the working directory until it ends: the close
  // happens then (closing now would delete files under the loader).
  if (busy_.isBusy() || runner_.isBusy()) {
    closePending_ = true;
    event->ignore();
    return;
  }
  if (historyWindow_) historyWindow_->close();
  Form_Unload();
  event->accept();
}

bool XaveWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == moduleList_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      LV1_Click();
      return true;
    }
  }
  if (watched == waitPanel_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
    // The panel takes the banner's place while it shows.
    banner_->setVisible(event->type() == QEvent::Hide);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace xave
