#include "xave_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "commands.h"
#include "ip_change_dialog.h"
#include "messages.h"
#include "modgetip.h"
#include "process.h"
#include "profiles.h"
#include "readback.h"

namespace xave {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The window's design unit: twips, at 12 to a pixel (120 dpi), which gives
// the protocol captions room in the frame's design width.
int tw(int twips) { return twips / 12; }

// Counts a handler that spins the event loop while it waits, so that timer
// ticks and clicks arriving meanwhile do not start a second operation.
class Waiting {
 public:
  explicit Waiting(int& counter) : counter_(counter) { ++counter_; }
  ~Waiting() { --counter_; }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;

 private:
  int& counter_;
};

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

XaveWindow::XaveWindow(QWidget* parent) : QWidget(parent), workDir_(QDir::currentPath()) {
  setObjectName(QStringLiteral("FrmXAV"));
  buildWindow();
}

XaveWindow::~XaveWindow() = default;

void XaveWindow::buildWindow() {
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setFixedSize(tw(3240) + tw(4800) + 8, 384);

  scanTimer_ = new QTimer(this);
  scanTimer_->setObjectName(QStringLiteral("Timer1"));
  scanTimer_->setInterval(1000);
  connect(scanTimer_, &QTimer::timeout, this, &XaveWindow::Timer1_Timer);
  discovery_ = new gw::BackgroundCommand(this);

  // Creation order is the tab order.
  buildModuleFrame();
  buildProtocolFrame();
  buildProtocolFields();
  buildTitleAndButtons();

  pane_.plcIp = &plcIp_;
  gw::installEntryRules(pane_);
}

void XaveWindow::buildModuleFrame() {
  moduleFrame_ = new QGroupBox(QStringLiteral("Etherner Modules"), this);
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
  changeAddressButton_ = makeButton(QStringLiteral("cmdToolbox"), QStringLiteral("Change &IP Address"), this,
                                    QRect(8, tw(360) + 272, tw(3240) - 16, 28));
  changeAddressButton_->setEnabled(false);
  connect(changeAddressButton_, &QPushButton::clicked, this, &XaveWindow::cmdToolbox_Click);
}

void XaveWindow::buildProtocolFrame() {
  protocolFrame_ = new QGroupBox(QStringLiteral("Ethernet Protocols"), this);
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
  pane_.txtEIPFile = makeBox(QStringLiteral("txtEIPFile"), QStringLiteral("7"), frame, QRect(124, 114, 60, 22));
  pane_.lblEthernet1 =
      makeLabel(QStringLiteral("lblEthernet1"), QStringLiteral("Base register"), frame, QRect(8, 142, 110, 22));
  pane_.txtEIPOff = makeBox(QStringLiteral("txtEIPOff"), QStringLiteral("0"), frame, QRect(124, 142, 60, 22));
  pane_.lblEthernet3 =
      makeLabel(QStringLiteral("lblEthernet3"), QStringLiteral("Base Register"), frame, QRect(8, 114, 110, 22));
  pane_.txtMBReg = makeBox(QStringLiteral("txtMBReg"), QStringLiteral("40001"), frame, QRect(124, 114, 80, 22));
  pane_.txtMBReg->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
  pane_.lblEipPath =
      makeLabel(QStringLiteral("lblEipPath"), QStringLiteral("Processor Slot"), frame, QRect(8, 114, 110, 22));
  pane_.txtEipPath = makeBox(QStringLiteral("txtEipPath"), QStringLiteral("0"), frame, QRect(124, 114, 60, 22));
  pane_.lblEipCipDesc = makeLabel(
      QStringLiteral("lblEipCipDesc"),
      QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 element registers."),
      frame, QRect(8, 142, tw(4800) - 16, 36));
  pane_.lblEipCipDesc->setWordWrap(true);
}

void XaveWindow::buildTitleAndButtons() {
  pane_.txtTitle = makeBox(QStringLiteral("txtTitle"), QStringLiteral("Change this title if you wish."), this,
                           QRect(tw(3240), tw(360) + 186, tw(4800), 24));
  pane_.txtTitle->setToolTip(QStringLiteral("Configuration title"));
  saveButton_ = makeButton(QStringLiteral("cmdUpdateXAV"), QStringLiteral("&Save CFG to XAV"), this,
                           QRect(tw(3240), tw(360) + 220, 150, 30));
  saveButton_->setEnabled(false);
  connect(saveButton_, &QPushButton::clicked, this, &XaveWindow::cmdUpdateXAV_Click);
  exitButton_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this,
                           QRect(tw(3240) + tw(4800) - 150, tw(360) + 220, 150, 30));
  connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
  pane_.lblWait = makeLabel(QStringLiteral("lblWait"),
                            QStringLiteral("Please wait - this operation may take up to 1 minute."), this,
                            QRect(tw(3240), tw(360) + 256, tw(4800), 20));
  pane_.lblWait->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
  pane_.lblWait->hide();
  makeLabel(QStringLiteral("lblCntDn"), QString(), this, QRect(tw(3240), tw(360) + 278, tw(4800), 18));
  auto* banner = makeLabel(QStringLiteral("lblBanner"), QStringLiteral("XAVE  -  XAV Ethernet Configuration"), this,
                           QRect(8, tw(360) + 310, tw(3240) + tw(4800) - 8, 32));
  QFont bf = banner->font();
  bf.setPointSize(13);
  bf.setBold(true);
  banner->setFont(bf);
  banner->setAlignment(Qt::AlignCenter);
}

bool XaveWindow::isScanning() const { return scanTimer_->isActive(); }

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

QString XaveWindow::scanForModules() {
  Waiting w(waiting_);
  return ScanForModules(workDir_);
}

bool XaveWindow::pingHost(const QString& address) {
  Waiting w(waiting_);
  return PingHost(workDir_, address);
}

void XaveWindow::deleteDiscoveryFile() {
  Waiting w(waiting_);
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
  if (!QFile::exists(path) && !discovery_->isRunning()) scanForModules();
  // The background run truncates C.txt when it starts: read it only once the run has ended.
  if (discovery_->isRunning() || unloaded_) return;
  if (QFileInfo(path).size() > 0) {
    const QString text = readDiscoveryFile(workDir_);
    if (text.isEmpty()) return;
    const QString listing = ParseDiscoveryOutput(text);
    if (listing != timerTag_) {
      FillModuleList(listing);
      timerTag_ = listing;
    }
  }
  // Run discovery again for a later tick. A run that ended with an empty
  // file is run again too: its end is known, so nothing is still to come.
  // (Timer1 may have been stopped while the list was refilled.)
  if (scanTimer_->isActive() && !unloaded_) discovery_->start(gw::discoveryCommand());
}

void XaveWindow::FillModuleList(const QString& listing) {
  const QString fresh = listing.isEmpty() ? scanForModules() : listing;
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
  FillModuleList(scanForModules());
  scanTimer_->start();
}

void XaveWindow::LV1_Click() {
  if (waiting_ > 0 || changingAddress_) return;
  QListWidgetItem* item = moduleList_->currentItem();
  if (!item) return;
  scanTimer_->stop();
  scanStateLabel_->setText(QStringLiteral("Not scanning"));
  gw::ClearModes(pane_);
  gw::DisableEthernetEntry(pane_);
  protocolFrame_->show();
  saveButton_->setEnabled(true);
  moduleIp_ = moduleIpFromEntry(item->text());
  // The tail belongs to the module it was read from; a save to this one
  // (also after a refused ping, when the options may still be enabled) must
  // not carry it.
  captionsTail_.clear();

  if (!pingHost(moduleIp_)) {
    if (moduleList_->count() == 1) {
      xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetSingle());
      changeAddressButton_->setEnabled(true);
    } else {
      xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetMany());
      changeAddressButton_->setEnabled(false);
    }
    return;
  }
  gw::EnableProtocols(pane_);
  {
    Waiting w(waiting_);
    // A file left by an earlier read-back must not pass for this module's.
    gw::deleteConfigCsv(workDir_);
    gw::ShellAndWait(gw::fetchConfigurationCommand(workDir_, moduleIp_), gw::kHidden);
  }
  const gw::CurrentConfig cfg = gw::readCurrentConfig(workDir_);
  gw::EnableProtocols(pane_);
  gw::applyReadBack(pane_, cfg, &captionsTail_, this);
  changeAddressButton_->setEnabled(true);
}

void XaveWindow::cmdUpdateXAV_Click() {
  if (waiting_ > 0) return;
  {
    Waiting w(waiting_);
    if (!gw::saveEthernetConfiguration(pane_, workDir_, moduleIp_, captionsTail_, this)) return;
  }
  saveButton_->setEnabled(false);
  gw::deleteConfigCsv(workDir_);
  pane_.txtTitle->clear();
  QCoreApplication::processEvents();
  gw::DisableEthernetEntry(pane_);
  gw::ClearModes(pane_);
  scanTimer_->start();
  moduleList_->clear();
  changeAddressButton_->setEnabled(false);
}

void XaveWindow::cmdToolbox_Click() {
  if (waiting_ > 0 || changingAddress_) return;
  scanTimer_->stop();
  if (pingHost(moduleIp_)) {
    if (!ipChangeDialog_) ipChangeDialog_ = new IpChangeDialog(workDir_, this);
    Waiting w(waiting_);
    ipChangeDialog_->showFor(moduleIp_);
  } else {
    Waiting w(waiting_);
    gw::ShellAndWait(gw::addressModeCommand(workDir_), gw::kNormalFocus);
  }
  deleteDiscoveryFile();
  // Give the module time to restart on its new address; input is refused meanwhile.
  changingAddress_ = true;
  setEnabled(false);
  QTimer::singleShot(2000, this, &XaveWindow::finishAddressChange);
}

void XaveWindow::finishAddressChange() {
  changingAddress_ = false;
  setEnabled(true);
  if (unloaded_) return;
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  cmdReScan_Click();
  scanTimer_->start();
  changeAddressButton_->setEnabled(false);
}

void XaveWindow::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  scanTimer_->stop();
  gw::deleteConfigCsv(workDir_);
  deleteDiscoveryFile();
}

void XaveWindow::closeEvent(QCloseEvent* event) {
  // A handler still waiting for a utility owns the window until it returns.
  if (waiting_ > 0) {
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
