#include "xave_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimer>

#include "commands.h"
#include "files.h"
#include "ip_change_dialog.h"
#include "message_boxes.h"
#include "modgetip.h"
#include "processes.h"
#include "utility_wait.h"  // until this file drives sessions instead
#include "profiles.h"
#include "readback.h"
#include "verify.h"

namespace xave {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Start texts of the protocol's number boxes (the window's design texts).
const QString kStartFileNumber = QStringLiteral("7");
const QString kStartBaseElement = QStringLiteral("0");
const QString kStartRegister = QStringLiteral("40001");
const QString kStartSlot = QStringLiteral("0");

// The module's restart time after an IP change, before the re-scan.
constexpr int kRestartWaitMs = 2000;

// The window's design unit: twips, at 12 to a pixel (120 dpi), which gives
// the protocol captions room in the frame's design width.
int tw(int twips) { return twips / 12; }

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent, QRect geometry) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setGeometry(geometry);
  return l;
}

QLineEdit* makeBox(const QString& name, const QString& text, QWidget* parent, QRect geometry) {
  auto* b = new QLineEdit(text, parent);
  b->setObjectName(name);
  b->setGeometry(geometry);
  return b;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent, QRect geometry) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setGeometry(geometry);
  b->setAutoDefault(false);
  return b;
}

void letEventsRun(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QString waitText(const gw::UtilityWait& wait) {
  QString text = QStringLiteral("Waiting for ") + wait.program;
  if (!wait.moduleAddress.isEmpty()) text += QStringLiteral(" (module ") + shownAddress(wait.moduleAddress) + u')';
  return text + QStringLiteral(": %1 s").arg(wait.elapsedSeconds);
}

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

// Counts a handler that spins the event loop while it waits, so that timer
// ticks arriving meanwhile do not start a second operation; a close asked
// for meanwhile happens once the last such handler has returned.
class XaveWindow::WaitScope {
 public:
  explicit WaitScope(XaveWindow& window) : window_(window) { ++window_.waiting_; }
  ~WaitScope() {
    if (--window_.waiting_ == 0 && window_.closePending_)
      QTimer::singleShot(0, &window_, &QWidget::close);
  }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  XaveWindow& window_;
};

XaveWindow::XaveWindow(QWidget* parent) : QWidget(parent), workDir_(QDir::currentPath()) {
  setObjectName(QStringLiteral("FrmXAV"));
  buildWindow();
  observeRunner();
}

XaveWindow::~XaveWindow() = default;

// ---------------------------------------------------------------- building

void XaveWindow::buildWindow() {
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setFixedSize(tw(3240) + tw(4800) + 8, 404);

  scanTimer_ = new QTimer(this);
  scanTimer_->setObjectName(QStringLiteral("Timer1"));
  scanTimer_->setInterval(1000);
  connect(scanTimer_, &QTimer::timeout, this, &XaveWindow::Timer1_Timer);
  discovery_ = new gw::BackgroundCommand(this);

  // One parent for every control that takes input, so a wait disables them
  // all at once and gives each its own state back afterwards.
  inputArea_ = new QWidget(this);
  inputArea_->setGeometry(rect());
  // Creation order is the tab order.
  buildModuleFrame();
  buildProtocolFrame();
  buildProtocolFields();
  buildTitleAndButtons();
  buildWaitPanel();

  pane_.plcIp = &plcIp_;
  gw::installEntryRules(pane_);
}

void XaveWindow::buildModuleFrame() {
  moduleFrame_ = new QGroupBox(QStringLiteral("Etherner Modules"), inputArea_);
  moduleFrame_->setObjectName(QStringLiteral("Frame2"));
  moduleFrame_->setGeometry(8, tw(360), tw(3240) - 16, 262);
  auto* label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Select IP address of XAV module to configure."),
                           moduleFrame_, QRect(8, 18, tw(3240) - 32, 30));
  label1->setWordWrap(true);
  moduleList_ = new QListWidget(moduleFrame_);
  moduleList_->setObjectName(QStringLiteral("LV1"));
  moduleList_->setGeometry(8, 50, tw(3240) - 32, 150);
  moduleList_->installEventFilter(this);
  connect(moduleList_, &QListWidget::itemClicked, this, &XaveWindow::LV1_Click);
  scanStateLabel_ = makeLabel(QStringLiteral("lblScanOn"), QString(), moduleFrame_, QRect(8, 204, tw(3240) - 32, 18));
  rescanButton_ =
      makeButton(QStringLiteral("cmdReScan"), QStringLiteral("&Re-Scan"), moduleFrame_, QRect(8, 226, 90, 26));
  connect(rescanButton_, &QPushButton::clicked, this, &XaveWindow::cmdReScan_Click);
  changeAddressButton_ = makeButton(QStringLiteral("cmdToolbox"), QStringLiteral("Change &IP Address"), inputArea_,
                                    QRect(8, tw(360) + 272, tw(3240) - 16, 28));
  changeAddressButton_->setEnabled(false);
  connect(changeAddressButton_, &QPushButton::clicked, this, &XaveWindow::cmdToolbox_Click);
}

void XaveWindow::buildProtocolFrame() {
  protocolFrame_ = new QGroupBox(QStringLiteral("Ethernet Protocols"), inputArea_);
  protocolFrame_->setObjectName(QStringLiteral("FrOptions"));
  protocolFrame_->setGeometry(tw(3240), tw(360), tw(4800), 186);
  auto* group = new QButtonGroup(this);
  const QString captions[4] = {QString(), QStringLiteral("Ethernet/IP PCCC - (Micrologix, SLC processors.)"),
                               QStringLiteral("Ethernet/IP  - (Compactlogix and Controllogix processors.)"),
                               QStringLiteral("Modbus/TCP - (Universal)")};
  for (int c = 1; c <= 3; ++c) {
    auto* opt = new QRadioButton(captions[c], protocolFrame_);
    opt->setObjectName(QStringLiteral("optEthMode%1").arg(c));
    opt->setGeometry(8, 16 + (c - 1) * 20, tw(4800) - 12, 20);
    group->addButton(opt, c);
    connect(opt, &QRadioButton::clicked, this, [this, c] { gw::selectProtocol(pane_, c); });
    pane_.optEthMode[c] = opt;
  }
}

void XaveWindow::buildProtocolFields() {
  QWidget* frame = protocolFrame_;
  pane_.lblEthernet5 =
      makeLabel(QStringLiteral("lblEthernet5"), QStringLiteral("PLC IP Addr."), frame, QRect(8, 86, 110, 22));
  pane_.txtIPAddress = makeBox(QStringLiteral("txtIPAddress"), QString(), frame, QRect(124, 86, 130, 22));
  pane_.lblEthernet0 =
      makeLabel(QStringLiteral("lblEthernet0"), QStringLiteral("Integer File Number"), frame, QRect(8, 114, 110, 22));
  pane_.txtEIPFile = makeBox(QStringLiteral("txtEIPFile"), kStartFileNumber, frame, QRect(124, 114, 60, 22));
  pane_.lblEthernet1 =
      makeLabel(QStringLiteral("lblEthernet1"), QStringLiteral("Base register"), frame, QRect(8, 142, 110, 22));
  pane_.txtEIPOff = makeBox(QStringLiteral("txtEIPOff"), kStartBaseElement, frame, QRect(124, 142, 60, 22));
  pane_.lblEthernet3 =
      makeLabel(QStringLiteral("lblEthernet3"), QStringLiteral("Base Register"), frame, QRect(8, 114, 110, 22));
  pane_.txtMBReg = makeBox(QStringLiteral("txtMBReg"), kStartRegister, frame, QRect(124, 114, 80, 22));
  pane_.txtMBReg->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
  pane_.lblEipPath =
      makeLabel(QStringLiteral("lblEipPath"), QStringLiteral("Processor Slot"), frame, QRect(8, 114, 110, 22));
  pane_.txtEipPath = makeBox(QStringLiteral("txtEipPath"), kStartSlot, frame, QRect(124, 114, 60, 22));
  pane_.lblEipCipDesc = makeLabel(
      QStringLiteral("lblEipCipDesc"),
      QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 element registers."),
      frame, QRect(8, 142, tw(4800) - 16, 36));
  pane_.lblEipCipDesc->setWordWrap(true);
}

void XaveWindow::buildTitleAndButtons() {
  QWidget* area = inputArea_;
  pane_.txtTitle = makeBox(QStringLiteral("txtTitle"), QStringLiteral("Change this title if you wish."), area,
                           QRect(tw(3240), tw(360) + 186, tw(4800), 24));
  pane_.txtTitle->setToolTip(QStringLiteral("Configuration title"));
  saveButton_ = makeButton(QStringLiteral("cmdUpdateXAV"), QStringLiteral("&Save CFG to XAV"), area,
                           QRect(tw(3240), tw(360) + 220, 150, 30));
  saveButton_->setEnabled(false);
  connect(saveButton_, &QPushButton::clicked, this, &XaveWindow::cmdUpdateXAV_Click);
  verifyButton_ = makeButton(QStringLiteral("cmdVerify"), QStringLiteral("&Verify"), area,
                             QRect(tw(3240) + 158, tw(360) + 220, 84, 30));
  verifyButton_->setToolTip(QStringLiteral("Fetch the module's Config.csv again and compare it with the one sent"));
  verifyButton_->setEnabled(false);
  connect(verifyButton_, &QPushButton::clicked, this, &XaveWindow::cmdVerify_Click);
  exitButton_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), area,
                           QRect(tw(3240) + tw(4800) - 150, tw(360) + 220, 150, 30));
  connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
  pane_.lblWait = makeLabel(QStringLiteral("lblWait"),
                            QStringLiteral("Please wait - this operation may take up to 1 minute."), area,
                            QRect(tw(3240), tw(360) + 256, tw(4800), 20));
  pane_.lblWait->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
  pane_.lblWait->hide();
  makeLabel(QStringLiteral("lblCntDn"), QString(), area, QRect(tw(3240), tw(360) + 278, tw(4800), 18));
  auto* banner = makeLabel(QStringLiteral("lblBanner"), QStringLiteral("XAVE  -  XAV Ethernet Configuration"), area,
                           QRect(8, tw(360) + 310, tw(3240) + tw(4800) - 8, 32));
  QFont bf = banner->font();
  bf.setPointSize(13);
  bf.setBold(true);
  banner->setFont(bf);
  banner->setAlignment(Qt::AlignCenter);
  statusLine_ = makeLabel(QStringLiteral("lblStatus"), QString(), area,
                          QRect(8, tw(360) + 346, tw(3240) + tw(4800) - 8, 22));
  statusLine_->setFrameShape(QFrame::StyledPanel);
  statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void XaveWindow::buildWaitPanel() {
  // Over the banner while a utility has run past the long-wait threshold;
  // outside the input area, so it stays usable while the rest is disabled.
  waitPanel_ = new QFrame(this);
  waitPanel_->setObjectName(QStringLiteral("fraWait"));
  waitPanel_->setGeometry(8, tw(360) + 308, tw(3240) + tw(4800) - 8, 36);
  waitPanel_->setFrameShape(QFrame::StyledPanel);
  waitPanel_->setAutoFillBackground(true);
  waitLabel_ = makeLabel(QStringLiteral("lblWaiting"), QString(), waitPanel_, QRect(8, 4, waitPanel_->width() - 120, 28));
  cancelButton_ = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), waitPanel_,
                             QRect(waitPanel_->width() - 104, 4, 96, 28));
  connect(cancelButton_, &QPushButton::clicked, this, [] { gw::sharedUtilityRunner().cancel(); });
  waitPanel_->hide();
}

void XaveWindow::observeRunner() {
  gw::UtilityRunner& runner = gw::sharedUtilityRunner();
  connect(&runner, &gw::UtilityRunner::busyChanged, this, &XaveWindow::onRunnerBusy);
  connect(&runner, &gw::UtilityRunner::longWait, this, &XaveWindow::showLongWait);
  connect(&runner, &gw::UtilityRunner::stillWaiting, this,
          [this](const gw::UtilityWait& wait) { waitLabel_->setText(waitText(wait)); });
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

void XaveWindow::SetEthernetConfiguration() {
  show();
  moduleFrame_->show();
  protocolFrame_->setGeometry(tw(3240), tw(360), tw(4800), protocolFrame_->height());
  protocolFrame_->show();
  pane_.txtTitle->setGeometry(tw(3240), protocolFrame_->y() + protocolFrame_->height(), tw(4800),
                              pane_.txtTitle->height());
  pane_.txtTitle->show();
  repaint();
}

// ---------------------------------------------------------------- waiting for utilities

void XaveWindow::onRunnerBusy(bool busy) {
  runnerBusy_ = busy;
  if (busy) {
    focusBeforeWait_ = inputArea_->isAncestorOf(focusWidget()) ? focusWidget() : nullptr;
  } else {
    waitPanel_->hide();
  }
  updateInputEnabled();
  if (!busy && focusBeforeWait_ && focusBeforeWait_->isEnabled() && focusBeforeWait_->isVisible())
    focusBeforeWait_->setFocus();
}

void XaveWindow::showLongWait(const gw::UtilityWait& wait) {
  waitLabel_->setText(waitText(wait));
  waitPanel_->show();
  waitPanel_->raise();
  cancelButton_->setFocus();
}

void XaveWindow::updateInputEnabled() { inputArea_->setEnabled(!runnerBusy_ && !changingAddress_); }

// A run that was cancelled, timed out, could not start or failed: the
// operator is told in a box (a start failure the runner has told already)
// and true is returned; the caller's operation stops there. The status line
// is the caller's.
bool XaveWindow::reportUnfinishedRun(const gw::RunResult& run, const QString& moduleAddress) {
  if (run.succeeded()) return false;
  if (run.interrupted())
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), gw::cancelledOperationMessage(moduleAddress));
  else if (run.outcome != gw::RunOutcome::NotStarted)
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), run.describe());
  return true;
}

void XaveWindow::setStatus(const QString& text) { statusLine_->setText(text); }

// ---------------------------------------------------------------- scanning

std::optional<QString> XaveWindow::scanForModules() {
  WaitScope w(*this);
  const gw::RunResult run = gw::ShellAndWait(gw::discoveryCommand(), gw::kHidden);
  if (run.outcome == gw::RunOutcome::NotStarted || run.interrupted()) {
    // The runner has told the start error once; scanning on would tell it
    // again every second. Re-Scan tries again.
    stopScanning();
    if (run.interrupted()) setStatus(run.describe());
    return std::nullopt;
  }
  return ParseDiscoveryOutput(textAfterSeparator(readDiscoveryFile(workDir_)));
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

XaveWindow::Ping XaveWindow::pingHost(const QString& address) {
  WaitScope w(*this);
  const QString command = gw::pingCommand(workDir_, address);
  if (command.isEmpty()) return Ping::NotAnswered;  // never ping what is no address
  const QString report = QDir(workDir_).filePath(QStringLiteral("png.txt"));
  QFile::remove(report);  // a report left by an earlier run must not answer for this one
  const gw::RunResult run = gw::ShellAndWait(command, gw::kHidden);
  const bool answered = gw::takePingReport(workDir_);
  if (run.interrupted()) {
    setStatus(run.describe());
    return Ping::Interrupted;
  }
  return answered ? Ping::Answered : Ping::NotAnswered;
}

void XaveWindow::deleteDiscoveryFile() {
  WaitScope w(*this);
  const QString path = QDir(workDir_).filePath(QStringLiteral("C.txt"));
  // A background run still going could write the file again; wait for its end
  // (the window stays painted), but never longer than the run could take.
  for (int attempt = 0; attempt < 500; ++attempt) {
    QFile::remove(path);
    if (!QFile::exists(path) && !discovery_->isRunning()) return;
    letEventsRun(20);
  }
}

void XaveWindow::Timer1_Timer() {
  if (waiting_ > 0 || unloaded_) return;
  scanStateLabel_->setText(QStringLiteral("Scanning for XAVs"));
  const QString path = QDir(workDir_).filePath(QStringLiteral("C.txt"));
  if (!QFile::exists(path) && !discovery_->isRunning() && !scanForModules()) return;
  // The background run truncates C.txt when it starts: read it only once the run has ended.
  if (discovery_->isRunning() || unloaded_) return;
  if (QFileInfo(path).size() > 0) {
    QString listing;
    if (!gw::listingFromDiscoveryFile(workDir_, &listing)) return;
    if (listing != timerTag_) {
      FillModuleList(listing);
      timerTag_ = listing;
    }
  }
  // Run discovery again for a later tick. A run that ended with an empty
  // file is run again too: its end is known, so nothing is still to come.
  // (Timer1 may have been stopped while the list was refilled.)
  if (scanTimer_->isActive() && !unloaded_) startBackgroundDiscovery();
}

void XaveWindow::FillModuleList(const QString& listing) {
  const QString fresh = listing.isEmpty() ? scanForModules().value_or(QString()) : listing;
  moduleList_->clear();
  moduleList_->repaint();
  moduleList_->addItems(listingEntries(fresh));
  listTag_ = fresh;
}

void XaveWindow::cmdReScan_Click() {
  if (waiting_ > 0) return;
  gw::DisableEthernetEntry(pane_);
  gw::DisableProtocols(pane_);
  changeAddressButton_->setEnabled(false);
  repaint();
  QCoreApplication::processEvents();
  moduleList_->clear();
  timerTag_.clear();
  deleteDiscoveryFile();
  const std::optional<QString> listing = scanForModules();
  if (!listing) return;  // told once; the scan stays stopped until the next Re-Scan
  FillModuleList(*listing);
  scanTimer_->start();
}

// ---------------------------------------------------------------- selection and read-back

void XaveWindow::LV1_Click() {
  if (waiting_ > 0 || changingAddress_) return;
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
  // The tail belongs to the module it was read from; a save to this one
  // (also after a refused ping, when the options may still be enabled) must
  // not carry it.
  captionsTail_.clear();

  const Ping ping = pingHost(moduleIp_);
  if (ping != Ping::Answered) {
    if (newModule) restoreStartValues();
    if (ping == Ping::NotAnswered) refuseUnreachableModule();
    return;
  }
  gw::EnableProtocols(pane_);
  readBackModule(newModule);
  changeAddressButton_->setEnabled(true);
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

void XaveWindow::readBackModule(bool newModule) {
  gw::RunResult fetch;
  {
    WaitScope w(*this);
    // A file left by an earlier read-back must not pass for this module's.
    gw::deleteConfigCsv(workDir_);
    fetch = gw::ShellAndWait(gw::fetchConfigurationCommand(workDir_, moduleIp_), gw::kHidden);
  }
  if (fetch.interrupted()) {
    gw::deleteConfigCsv(workDir_);
    if (newModule) restoreStartValues();
    setStatus(QStringLiteral("Nothing read back from ") + shownAddress(moduleIp_) + QStringLiteral(": ") +
              fetch.describe());
    reportUnfinishedRun(fetch, moduleIp_);
    return;
  }
  const gw::CurrentConfig cfg = gw::readCurrentConfig(workDir_);
  gw::EnableProtocols(pane_);
  const gw::ReadBackResult result = gw::applyReadBack(pane_, cfg, &captionsTail_, this);
  // A file that could not be read changed no box: for a module picked anew
  // the boxes still hold the previous module's values. A file with an
  // unknown protocol gave this module's title and address, not its numbers.
  if (newModule && result == gw::ReadBackResult::Unreadable) restoreStartValues();
  if (newModule && result == gw::ReadBackResult::UnknownProtocol) restoreStartNumbers();
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
  if (waiting_ > 0) return;
  gw::SaveOutcome save;
  bool loaderRan = false;
  {
    WaitScope w(*this);
    loaderRan = gw::saveEthernetConfiguration(pane_, workDir_, moduleIp_, captionsTail_, this, &save);
  }
  if (!loaderRan) return;  // refused or not written; a message said why
  setStatus(gw::uploadStatusLine(QStringLiteral("Config.csv"), save.moduleAddress, save.upload, save.finishedAt));
  if (!save.upload.succeeded()) {
    // Not sent: the window keeps the entries, so Save can be tried again.
    gw::deleteConfigCsv(workDir_);
    verifyButton_->setEnabled(false);
    reportUnfinishedRun(save.upload, moduleIp_);
    return;
  }
  lastSentTo_ = save.moduleAddress;
  lastSent_ = save.sent;
  verifyButton_->setEnabled(true);
  resetAfterSave();
}

void XaveWindow::resetAfterSave() {
  saveButton_->setEnabled(false);
  gw::deleteConfigCsv(workDir_);
  pane_.txtTitle->clear();
  QCoreApplication::processEvents();
  gw::DisableEthernetEntry(pane_);
  gw::ClearModes(pane_);
  scanTimer_->start();
  moduleList_->clear();
  // The list is empty now: the next listing must fill it even when it is
  // the one the tag holds, or the list stays empty while modules answer.
  timerTag_.clear();
  changeAddressButton_->setEnabled(false);
}

void XaveWindow::cmdVerify_Click() {
  if (waiting_ > 0 || lastSentTo_.isEmpty()) return;
  gw::VerifyResult check;
  {
    WaitScope w(*this);
    check = gw::verifyModuleConfig(gw::sharedUtilityRunner(), workDir_, lastSentTo_, lastSent_);
  }
  const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  setStatus(check.message() + QStringLiteral(" (") + shownAddress(lastSentTo_) + QStringLiteral(", checked at ") +
            when + u')');
  if (check.kind == gw::VerifyResult::Kind::Cancelled) return;  // nothing learnt; the status line says so
  if (!check.identical()) xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), check.message());
}

// ---------------------------------------------------------------- IP address change

void XaveWindow::cmdToolbox_Click() {
  if (waiting_ > 0 || changingAddress_) return;
  scanTimer_->stop();
  {
    WaitScope w(*this);
    changeModuleAddress();
  }
  deleteDiscoveryFile();
  // Give the module time to restart on its new address; input is refused meanwhile.
  changingAddress_ = true;
  updateInputEnabled();
  QTimer::singleShot(kRestartWaitMs, this, &XaveWindow::finishAddressChange);
}

void XaveWindow::changeModuleAddress() {
  const Ping ping = pingHost(moduleIp_);
  if (ping == Ping::Interrupted) return;
  if (ping == Ping::NotAnswered) {
    const gw::RunResult run = gw::ShellAndWait(gw::addressModeCommand(workDir_), gw::kNormalFocus);
    if (!run.succeeded()) setStatus(run.describe());
    reportUnfinishedRun(run, moduleIp_);
    return;
  }
  if (!ipChangeDialog_) ipChangeDialog_ = new IpChangeDialog(workDir_, this);
  const IpChangeDialog::Outcome outcome = ipChangeDialog_->showFor(moduleIp_);
  if (outcome == IpChangeDialog::Outcome::Interrupted) {
    // The fetch ran on the shared runner.
    const gw::RunResult cancelled = gw::sharedUtilityRunner().lastResult();
    setStatus(cancelled.describe());
    reportUnfinishedRun(cancelled, moduleIp_);
    return;
  }
  if (outcome != IpChangeDialog::Outcome::Changed) return;
  const gw::RunResult upload = gw::ShellAndWait(gw::uploadNetworkSettingsCommand(moduleIp_), gw::kNormalNoFocus);
  setStatus(gw::uploadStatusLine(QStringLiteral("fs_tcp.ini"), shownAddress(moduleIp_), upload, QTime::currentTime()));
  if (!reportUnfinishedRun(upload, moduleIp_) && sameModuleAddress(moduleIp_, lastSentTo_)) {
    // The module now answers elsewhere: what Verify would fetch is gone.
    lastSentTo_.clear();
    verifyButton_->setEnabled(false);
  }
}

void XaveWindow::finishAddressChange() {
  changingAddress_ = false;
  updateInputEnabled();
  if (unloaded_) return;
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  cmdReScan_Click();  // starts the scan again unless discovery could not run
  changeAddressButton_->setEnabled(false);
}

// ---------------------------------------------------------------- closing

void XaveWindow::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  scanTimer_->stop();
  gw::deleteConfigCsv(workDir_);
  deleteDiscoveryFile();
}

void XaveWindow::closeEvent(QCloseEvent* event) {
  // A handler waiting for a utility owns the window until it returns: the
  // close happens then (closing now would delete files under the loader).
  if (waiting_ > 0) {
    closePending_ = true;
    event->ignore();
    return;
  }
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
  return QWidget::eventFilter(watched, event);
}

}  // namespace xave
