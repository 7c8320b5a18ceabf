#include "frmxav.h"

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
#include "frmtcp.h"
#include "messages.h"
#include "modgetip.h"
#include "processes.h"
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

FrmXAV::FrmXAV(QWidget* parent) : QWidget(parent), workDir_(QDir::currentPath()) {
  setObjectName(QStringLiteral("FrmXAV"));
  buildWindow();
}

FrmXAV::~FrmXAV() = default;

void FrmXAV::buildWindow() {
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  setFixedSize(tw(3240) + tw(4800) + 8, 384);

  Timer1_ = new QTimer(this);
  Timer1_->setObjectName(QStringLiteral("Timer1"));
  Timer1_->setInterval(1000);
  connect(Timer1_, &QTimer::timeout, this, &FrmXAV::Timer1_Timer);
  discovery_ = new gw::BackgroundCommand(this);

  auto label = [](const QString& name, const QString& text, QWidget* parent, QRect geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
  };
  auto box = [](const QString& name, const QString& text, QWidget* parent, QRect geometry) {
    auto* b = new QLineEdit(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
  };
  auto button = [](const QString& name, const QString& text, QWidget* parent, QRect geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
  };

  // Module list.
  Frame2_ = new QGroupBox(QStringLiteral("Etherner Modules"), this);
  Frame2_->setObjectName(QStringLiteral("Frame2"));
  Frame2_->setGeometry(8, tw(360), tw(3240) - 16, 262);
  auto* label1 = label(QStringLiteral("Label1"), QStringLiteral("Select IP address of XAV module to configure."),
                       Frame2_, QRect(8, 18, tw(3240) - 32, 30));
  label1->setWordWrap(true);
  LV1_ = new QListWidget(Frame2_);
  LV1_->setObjectName(QStringLiteral("LV1"));
  LV1_->setGeometry(8, 50, tw(3240) - 32, 150);
  LV1_->installEventFilter(this);
  connect(LV1_, &QListWidget::itemClicked, this, &FrmXAV::LV1_Click);
  lblScanOn_ = label(QStringLiteral("lblScanOn"), QString(), Frame2_, QRect(8, 204, tw(3240) - 32, 18));
  cmdReScan_ = button(QStringLiteral("cmdReScan"), QStringLiteral("&Re-Scan"), Frame2_, QRect(8, 226, 90, 26));
  connect(cmdReScan_, &QPushButton::clicked, this, &FrmXAV::cmdReScan_Click);
  cmdToolbox_ =
      button(QStringLiteral("cmdToolbox"), QStringLiteral("Change &IP Address"), this, QRect(8, tw(360) + 272, tw(3240) - 16, 28));
  cmdToolbox_->setEnabled(false);
  connect(cmdToolbox_, &QPushButton::clicked, this, &FrmXAV::cmdToolbox_Click);

  // Protocol pane.
  FrOptions_ = new QGroupBox(QStringLiteral("Ethernet Protocols"), this);
  FrOptions_->setObjectName(QStringLiteral("FrOptions"));
  FrOptions_->setGeometry(tw(3240), tw(360), tw(4800), 186);
  auto* group = new QButtonGroup(this);
  const QString captions[4] = {QString(), QStringLiteral("Ethernet/IP PCCC - (Micrologix, SLC processors.)"),
                               QStringLiteral("Ethernet/IP  - (Compactlogix and Controllogix processors.)"),
                               QStringLiteral("Modbus/TCP - (Universal)")};
  for (int c = 1; c <= 3; ++c) {
    auto* opt = new QRadioButton(captions[c], FrOptions_);
    opt->setObjectName(QStringLiteral("optEthMode%1").arg(c));
    opt->setGeometry(8, 16 + (c - 1) * 20, tw(4800) - 12, 20);
    group->addButton(opt, c);
    connect(opt, &QRadioButton::clicked, this, [this, c] { gw::selectProtocol(pane_, c); });
    pane_.optEthMode[c] = opt;
  }
  pane_.lblEthernet5 = label(QStringLiteral("lblEthernet5"), QStringLiteral("PLC IP Addr."), FrOptions_,
                             QRect(8, 86, 110, 22));
  pane_.txtIPAddress = box(QStringLiteral("txtIPAddress"), QString(), FrOptions_, QRect(124, 86, 130, 22));
  pane_.lblEthernet0 = label(QStringLiteral("lblEthernet0"), QStringLiteral("Integer File Number"), FrOptions_,
                             QRect(8, 114, 110, 22));
  pane_.txtEIPFile = box(QStringLiteral("txtEIPFile"), QStringLiteral("7"), FrOptions_, QRect(124, 114, 60, 22));
  pane_.lblEthernet1 =
      label(QStringLiteral("lblEthernet1"), QStringLiteral("Base register"), FrOptions_, QRect(8, 142, 110, 22));
  pane_.txtEIPOff = box(QStringLiteral("txtEIPOff"), QStringLiteral("0"), FrOptions_, QRect(124, 142, 60, 22));
  pane_.lblEthernet3 =
      label(QStringLiteral("lblEthernet3"), QStringLiteral("Base Register"), FrOptions_, QRect(8, 114, 110, 22));
  pane_.txtMBReg = box(QStringLiteral("txtMBReg"), QStringLiteral("40001"), FrOptions_, QRect(124, 114, 80, 22));
  pane_.txtMBReg->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
  pane_.lblEipPath =
      label(QStringLiteral("lblEipPath"), QStringLiteral("Processor Slot"), FrOptions_, QRect(8, 114, 110, 22));
  pane_.txtEipPath = box(QStringLiteral("txtEipPath"), QStringLiteral("0"), FrOptions_, QRect(124, 114, 60, 22));
  pane_.lblEipCipDesc = label(
      QStringLiteral("lblEipCipDesc"),
      QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 element registers."),
      FrOptions_, QRect(8, 142, tw(4800) - 16, 36));
  pane_.lblEipCipDesc->setWordWrap(true);

  pane_.txtTitle = box(QStringLiteral("txtTitle"), QStringLiteral("Change this title if you wish."), this,
                       QRect(tw(3240), tw(360) + 186, tw(4800), 24));
  pane_.txtTitle->setToolTip(QStringLiteral("Configuration title"));
  cmdUpdateXAV_ =
      button(QStringLiteral("cmdUpdateXAV"), QStringLiteral("&Save CFG to XAV"), this, QRect(tw(3240), tw(360) + 220, 150, 30));
  cmdUpdateXAV_->setEnabled(false);
  connect(cmdUpdateXAV_, &QPushButton::clicked, this, &FrmXAV::cmdUpdateXAV_Click);
  cmdExit_ = button(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this,
                    QRect(tw(3240) + tw(4800) - 150, tw(360) + 220, 150, 30));
  connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);
  pane_.lblWait = label(QStringLiteral("lblWait"),
                        QStringLiteral("Please wait - this operation may take up to 1 minute."), this,
                        QRect(tw(3240), tw(360) + 256, tw(4800), 20));
  pane_.lblWait->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
  pane_.lblWait->hide();
  label(QStringLiteral("lblCntDn"), QString(), this, QRect(tw(3240), tw(360) + 278, tw(4800), 18));
  auto* banner = label(QStringLiteral("lblBanner"), QStringLiteral("XAVE  -  XAV Ethernet Configuration"), this,
                       QRect(8, tw(360) + 310, tw(3240) + tw(4800) - 8, 32));
  QFont bf = banner->font();
  bf.setPointSize(13);
  bf.setBold(true);
  banner->setFont(bf);
  banner->setAlignment(Qt::AlignCenter);

  pane_.plcIp = &plcIp_;
  gw::installEntryRules(pane_);
}

bool FrmXAV::isScanning() const { return Timer1_->isActive(); }

bool FrmXAV::Form_Load() {
  gw::KillProcess(QStringLiteral("Ruinet.exe"));
  gw::DisableEthernetEntry(pane_);
  if (!gw::CheckForRuiFiles()) return false;
  gw::DisableProtocols(pane_);
  setWindowTitle(QStringLiteral("XAVE Configuration V3.0.1"));
  SetEthernetConfiguration();
  if (!gw::CheckReadWriteAccesss()) return false;
  Timer1_->start();
  QFile::remove(QDir(workDir_).filePath(QStringLiteral("C.txt")));
  Timer1_Timer();
  return true;
}

void FrmXAV::SetEthernetConfiguration() {
  show();
  Frame2_->show();
  FrOptions_->setGeometry(tw(3240), tw(360), tw(4800), FrOptions_->height());
  FrOptions_->show();
  pane_.txtTitle->setGeometry(tw(3240), FrOptions_->y() + FrOptions_->height(), tw(4800),
                              pane_.txtTitle->height());
  pane_.txtTitle->show();
  repaint();
}

QString FrmXAV::scanForModules() {
  Waiting w(waiting_);
  return ScanForModules(workDir_);
}

bool FrmXAV::pingHost(const QString& address) {
  Waiting w(waiting_);
  return PingHost(workDir_, address);
}

void FrmXAV::deleteDiscoveryFile() {
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

void FrmXAV::Timer1_Timer() {
  if (waiting_ > 0 || unloaded_) return;
  lblScanOn_->setText(QStringLiteral("Scanning for XAVs"));
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
  if (Timer1_->isActive() && !unloaded_) discovery_->start(gw::discoveryCommand());
}

void FrmXAV::FillModuleList(const QString& listing) {
  const QString fresh = listing.isEmpty() ? scanForModules() : listing;
  LV1_->clear();
  LV1_->repaint();
  LV1_->addItems(listingEntries(fresh));
  listTag_ = fresh;
}

void FrmXAV::cmdReScan_Click() {
  if (waiting_ > 0) return;
  gw::DisableEthernetEntry(pane_);
  gw::DisableProtocols(pane_);
  cmdToolbox_->setEnabled(false);
  repaint();
  QCoreApplication::processEvents();
  LV1_->clear();
  timerTag_.clear();
  deleteDiscoveryFile();
  FillModuleList(scanForModules());
  Timer1_->start();
}

void FrmXAV::LV1_Click() {
  if (waiting_ > 0 || changingAddress_) return;
  QListWidgetItem* item = LV1_->currentItem();
  if (!item) return;
  Timer1_->stop();
  lblScanOn_->setText(QStringLiteral("Not scanning"));
  gw::ClearModes(pane_);
  gw::DisableEthernetEntry(pane_);
  FrOptions_->show();
  cmdUpdateXAV_->setEnabled(true);
  moduleIp_ = moduleIpFromEntry(item->text());
  // The tail belongs to the module it was read from; a save to this one
  // (also after a refused ping, when the options may still be enabled) must
  // not carry it.
  captionsTail_.clear();

  if (!pingHost(moduleIp_)) {
    if (LV1_->count() == 1) {
      xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetSingle());
      cmdToolbox_->setEnabled(true);
    } else {
      xav::showMessage(this, xav::MessageIcon::None, QString(), notOnSubnetMany());
      cmdToolbox_->setEnabled(false);
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
  cmdToolbox_->setEnabled(true);
}

void FrmXAV::cmdUpdateXAV_Click() {
  if (waiting_ > 0) return;
  {
    Waiting w(waiting_);
    if (!gw::saveEthernetConfiguration(pane_, workDir_, moduleIp_, captionsTail_, this)) return;
  }
  cmdUpdateXAV_->setEnabled(false);
  gw::deleteConfigCsv(workDir_);
  pane_.txtTitle->clear();
  QCoreApplication::processEvents();
  gw::DisableEthernetEntry(pane_);
  gw::ClearModes(pane_);
  Timer1_->start();
  LV1_->clear();
  cmdToolbox_->setEnabled(false);
}

void FrmXAV::cmdToolbox_Click() {
  if (waiting_ > 0 || changingAddress_) return;
  Timer1_->stop();
  if (pingHost(moduleIp_)) {
    if (!frmTCP_) frmTCP_ = new FrmTCP(workDir_, this);
    Waiting w(waiting_);
    frmTCP_->showFor(moduleIp_);
  } else {
    Waiting w(waiting_);
    gw::ShellAndWait(gw::addressModeCommand(workDir_), gw::kNormalFocus);
  }
  deleteDiscoveryFile();
  // Give the module time to restart on its new address; input is refused meanwhile.
  changingAddress_ = true;
  setEnabled(false);
  QTimer::singleShot(2000, this, &FrmXAV::finishAddressChange);
}

void FrmXAV::finishAddressChange() {
  changingAddress_ = false;
  setEnabled(true);
  if (unloaded_) return;
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  cmdReScan_Click();
  Timer1_->start();
  cmdToolbox_->setEnabled(false);
}

void FrmXAV::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Timer1_->stop();
  gw::deleteConfigCsv(workDir_);
  deleteDiscoveryFile();
}

void FrmXAV::closeEvent(QCloseEvent* event) {
  // A handler still waiting for a utility owns the window until it returns.
  if (waiting_ > 0) {
    event->ignore();
    return;
  }
  Form_Unload();
  event->accept();
}

bool FrmXAV::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LV1_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      LV1_Click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace xave
