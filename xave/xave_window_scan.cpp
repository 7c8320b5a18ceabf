// XAVE's module list: the one-second scan and Re-Scan.
//
// A tick reads C.txt, which the discovery run started by the tick before
// left (in the background, not waited for), refills the list when the
// listing changed and starts the next run. Only when there is no file and
// no run (the first tick, after a Re-Scan) is discovery run as a session
// and waited for, with the window busy meanwhile.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "message_boxes.h"
#include "modgetip.h"
#include "processes.h"
#include "xave_window.h"

namespace xave {

namespace {

// Longer than any discovery run takes: a run that has not ended by then
// is ended, so a Re-Scan or a close never waits for good.
constexpr int kDiscoveryEndLimitMs = 10000;

}  // namespace

void XaveWindow::runWaitedScan(std::function<void(std::optional<QString>)> then) {
  if (!scanSession_->start()) {
    // The runner is taken (a lone run): this tick gives way.
    if (then) then(std::nullopt);
    return;
  }
  afterScan_ = std::move(then);
  busy_.holdWhile(*scanSession_);
}

void XaveWindow::Timer1_Timer() {
  if (busy_.isBusy() || unloaded_ || runningAddressMode_) return;
  scanStateLabel_->setText(QStringLiteral("Scanning for XAVs"));
  const QString path = QDir(workDir_).filePath(QStringLiteral("C.txt"));
  if (!QFile::exists(path) && !discovery_->isRunning()) {
    runWaitedScan([this](std::optional<QString> listing) {
      if (listing) continueTick();
    });
    return;
  }
  continueTick();
}

void XaveWindow::continueTick() {
  // The background run truncates C.txt when it starts: read it only once the run has ended.
  if (unloaded_ || discovery_->isRunning()) return;
  const QString path = QDir(workDir_).filePath(QStringLiteral("C.txt"));
  auto restart = [this] {
    // Run discovery again for a later tick. A run that ended with an empty
    // file is run again too: its end is known, so nothing is still to come.
    // (Timer1 may have been stopped while the list was refilled.)
    if (scanTimer_->isActive() && !unloaded_) startBackgroundDiscovery();
  };
  if (QFileInfo(path).size() > 0) {
    QString listing;
    if (!gw::listingFromDiscoveryFile(workDir_, &listing)) return;
    if (listing != timerTag_) {
      fillModuleList(listing, [this, listing, restart] {
        timerTag_ = listing;
        restart();
      });
      return;
    }
  }
  restart();
}

// A listing without modules is checked with a waited run before the list
// is emptied.
void XaveWindow::fillModuleList(const QString& listing, std::function<void()> then) {
  if (!listing.isEmpty()) {
    showListing(listing);
    if (then) then();
    return;
  }
  runWaitedScan([this, then](std::optional<QString> fresh) {
    showListing(fresh.value_or(QString()));
    if (then) then();
  });
}

void XaveWindow::showListing(const QString& listing) {
  moduleList_->clear();
  for (const gw::ModuleEntry& m : gw::modulesOfListing(listing)) {
    moduleList_->addItem(m.text());
    if (!m.bridgeName.isEmpty()) bridgeNames_.insert(m.address, m.bridgeName);
  }
  listTag_ = listing;
}

void XaveWindow::startBackgroundDiscovery() {
  const QString command = gw::discoveryCommand();
  if (discovery_->start(command) || discovery_->lastStartError().isEmpty()) return;
  stopScanning();
  xav::showMessage(this, xav::MessageIcon::Exclamation, QStringLiteral("Error"),
                   gw::startErrorMessage(command, discovery_->lastStartError()));
}

void XaveWindow::stopScanning() {
  scanTimer_->stop();
  scanStateLabel_->setText(QStringLiteral("Not scanning"));
}

void XaveWindow::removeDiscoveryFileNow() { QFile::remove(QDir(workDir_).filePath(QStringLiteral("C.txt"))); }

// A background run still going would write the file again: it is removed
// once the run has ended (the window busy meanwhile), then then() runs.
void XaveWindow::whenDiscoveryFileGone(std::function<void()> then) {
  removeDiscoveryFileNow();
  if (!discovery_ || !discovery_->isRunning()) {
    if (then) then();
    return;
  }
  busy_.enter();
  auto done = std::make_shared<bool>(false);
  auto finish = [this, then, done] {
    if (*done) return;
    *done = true;
    removeDiscoveryFileNow();
    busy_.leave();
    if (then) then();
  };
  connect(discovery_, &gw::BackgroundCommand::finished, this, finish, Qt::SingleShotConnection);
  QTimer::singleShot(kDiscoveryEndLimitMs, this, [this, finish, done] {
    if (*done) return;
    // Ends the hung run; a new one is made for the next tick.
    delete discovery_;
    discovery_ = new gw::BackgroundCommand(this);
    finish();
  });
}

void XaveWindow::cmdReScan_Click() {
  if (busy_.isBusy()) return;
  gw::DisableEthernetEntry(pane_);
  gw::DisableProtocols(pane_);
  changeAddressButton_->setEnabled(false);
  moduleList_->clear();
  timerTag_.clear();
  // Busy from the click to the list filled, so nothing else starts between.
  busy_.enter();
  whenDiscoveryFileGone([this] {
    runWaitedScan([this](std::optional<QString> listing) {
      busy_.leave();
      if (!listing) return;  // told once; the scan stays stopped until the next Re-Scan
      fillModuleList(*listing, [this] { scanTimer_->start(); });
    });
  });
}

}  // namespace xave
