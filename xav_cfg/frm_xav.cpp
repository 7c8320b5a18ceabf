#include "frm_xav.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

#include "colours.h"
#include "entry_rules.h"
#include "frm_select.h"
#include "messages.h"
#include "platform.h"
#include "processes.h"
#include "profiles.h"
#include "readback.h"
#include "serial_record.h"
#include "serial_routines.h"

namespace xavcfg {

namespace {

// Positions are given in the window's old unit (twips) where the layout
// rules name them; 12 to a pixel leaves room for today's wider fonts.
constexpr int px(int twips) { return twips / 12; }
constexpr int kFrameTop = px(360);
constexpr int kFrameLeft = px(3240);
constexpr int kFrameWidth = px(4815);

const char* const kModeCaptions[9] = {"",
                                      "Digital Binary - (P1)",
                                      "Digital Descrete I/O - (P2)",
                                      "Digital Switch - (P3)",
                                      "Serial Modbus Scanner - (P4)",
                                      "Serial DF1 Scanner -  (P5)",
                                      "Serial Pass-Through - (P6)",
                                      "",
                                      "Serial Relay"};

const char* const kEthCaptions[4] = {"", "Ethernet/IP PCCC - (Micrologix, SLC processors.)",
                                     "Ethernet/IP  - (Compactlogix and Controllogix processors.)",
                                     "Modbus/TCP - (Universal)"};

QString workDir() { return QDir::currentPath(); }

// A push button whose caption wraps onto two lines when it is too long.
class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(rect().adjusted(6, 2, -6, -2), Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
  }
};

QLabel* makeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h = 20, const char* name = nullptr) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, h);
  if (name) l->setObjectName(QString::fromLatin1(name));
  return l;
}

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(x, y, w, 22);
  return e;
}

}  // namespace

QString modeCaption(int index) {
  return index >= 0 && index <= 8 ? QString::fromLatin1(kModeCaptions[index]) : QString();
}

FrmXAV::FrmXAV(FrmXAVOptions options, QWidget* parent) : QWidget(parent), options_(std::move(options)) {
  setObjectName(QStringLiteral("FrmXAV"));
  xav::SerialLink* link = options_.link;
  if (!link) {
    ownLink_ = std::make_unique<xav::QtSerialLink>();
    link = ownLink_.get();
  }
  network_ = options_.network;
  if (!network_) {
    ownNetwork_ = std::make_unique<SystemNetworkHost>();
    network_ = ownNetwork_.get();
  }
  serial_ = new SerialRoutines(link, this);
  connect(serial_, &SerialRoutines::countdown, this, [this](int left) { lblCntDn->setText(QString::number(left)); });
  connect(serial_, &SerialRoutines::queryFinished, this, &FrmXAV::onQueryFinished);
  buildWindow();
}

FrmXAV::~FrmXAV() { serial_->cancel(); }

bool FrmXAV::querying() const { return serial_->busy(); }

// ---------------------------------------------------------------- layout

void FrmXAV::buildWindow() {
  setWindowTitle(QString::fromLatin1(kCaption));
  setFixedSize(kFrameLeft + kFrameWidth + 10, 400);

  lblBanner = makeLabel(this, QStringLiteral("XAV Gateway Module Configuration Utility"), 0, 3, kFrameLeft + kFrameWidth + 10, 22, "lblBanner");
  QFont bannerFont(QStringLiteral("Arial"));
  bannerFont.setPointSize(11);
  bannerFont.setBold(true);
  lblBanner->setFont(bannerFont);
  lblBanner->setAlignment(Qt::AlignCenter);

  // Left column, serial: the modes, the port box and Connect.
  Frame1 = new QGroupBox(QStringLiteral("Serial Mode Selection"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(8, kFrameTop, 254, 190);
  modeGroup = new QButtonGroup(this);
  int y = 20;
  for (int i : {1, 2, 3, 4, 5, 6, 8}) {
    optMode[i] = new QRadioButton(modeCaption(i), Frame1);
    optMode[i]->setObjectName(QStringLiteral("optMode_%1").arg(i));
    optMode[i]->setGeometry(8, y, 240, 22);
    optMode[i]->setEnabled(false);
    modeGroup->addButton(optMode[i], i);
    y += 23;
    if (i != 8) connect(optMode[i], &QRadioButton::clicked, this, [this, i] { optMode_Click(i); });
  }

  cmbComm = new QComboBox(this);
  cmbComm->setObjectName(QStringLiteral("cmbComm"));
  cmbComm->setGeometry(8, 230, 120, 26);
  cmdConnect = new QPushButton(QStringLiteral("&Connect"), this);
  cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
  cmdConnect->setGeometry(136, 230, 126, 26);
  connect(cmdConnect, &QPushButton::clicked, this, &FrmXAV::cmdConnect_Click);
  lblCntDn = makeLabel(this, QString(), 8, 264, 254, 30, "lblCntDn");
  QFont big = lblCntDn->font();
  big.setPointSize(16);
  big.setBold(true);
  lblCntDn->setFont(big);
  lblCntDn->setAlignment(Qt::AlignCenter);

  // Left column, Ethernet: the module list.
  Frame2 = new QGroupBox(QStringLiteral("Etherner Modules"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  Frame2->setGeometry(8, kFrameTop, 254, 300);
  Label1_1 = makeLabel(Frame2, QStringLiteral("Select IP address of XAV module to configure."), 8, 18, 238, 32, "Label1_1");
  Label1_1->setWordWrap(true);
  LV1 = new QListWidget(Frame2);
  LV1->setObjectName(QStringLiteral("LV1"));
  LV1->setGeometry(8, 52, 238, 160);
  connect(LV1, &QListWidget::itemClicked, this, [this] { LV1_Click(); });
  connect(LV1, &QListWidget::itemActivated, this, [this] { LV1_Click(); });
  cmdReScan = new QPushButton(QStringLiteral("&Re-Scan"), Frame2);
  cmdReScan->setObjectName(QStringLiteral("cmdReScan"));
  cmdReScan->setGeometry(8, 218, 238, 28);
  connect(cmdReScan, &QPushButton::clicked, this, &FrmXAV::cmdReScan_Click);
  cmdToolbox = new WrappingButton(QStringLiteral("&Discover/Change Ethernet Module Address"), Frame2);
  cmdToolbox->setObjectName(QStringLiteral("cmdToolbox"));
  cmdToolbox->setGeometry(8, 252, 238, 40);
  connect(cmdToolbox, &QPushButton::clicked, this, &FrmXAV::cmdToolbox_Click);

  buildSerialFrames();
  buildEthernetPane();

  txtTitle = new QLineEdit(this);
  txtTitle->setObjectName(QStringLiteral("txtTitle"));
  txtTitle->setToolTip(QStringLiteral("Configuration title"));
  txtTitle->setPlaceholderText(QStringLiteral("Configuration title"));
  // The title goes into a comma-separated file: a comma can be neither
  // typed nor pasted.
  txtTitle->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^,]*")), txtTitle));
  txtTitle->hide();

  lblWait = makeLabel(this, QStringLiteral("Please wait - this operation may take up to 1 minute."), kFrameLeft, 274,
                      kFrameWidth, 34, "lblWait");
  lblWait->setWordWrap(true);
  lblWait->hide();

  cmdUpdateXAV = new QPushButton(QStringLiteral("&Save CFG to XAV"), this);
  cmdUpdateXAV->setObjectName(QStringLiteral("cmdUpdateXAV"));
  cmdUpdateXAV->setGeometry(kFrameLeft, 360, 160, 30);
  cmdUpdateXAV->setEnabled(false);
  connect(cmdUpdateXAV, &QPushButton::clicked, this, &FrmXAV::cmdUpdateXAV_Click);
  Command4 = new QPushButton(QStringLiteral("E&xit"), this);
  Command4->setObjectName(QStringLiteral("Command4"));
  Command4->setGeometry(kFrameLeft + kFrameWidth - 110, 360, 110, 30);
  connect(Command4, &QPushButton::clicked, this, &FrmXAV::Command4_Click);

  setTabOrder(cmbComm, cmdConnect);

  pane_.txtTitle = txtTitle;
  pane_.txtIPAddress = txtIPAddress;
  pane_.txtEIPFile = txtEIPFile;
  pane_.txtEIPOff = txtEIPOff;
  pane_.txtEipPath = txtEipPath;
  pane_.txtMBReg = txtMBReg;
  for (int p = 1; p <= 3; ++p) pane_.optEthMode[p] = optEthMode[p];
  pane_.lblEthernet0 = lblEthernet[0];
  pane_.lblEthernet1 = lblEthernet[1];
  pane_.lblEthernet3 = lblEthernet[3];
  pane_.lblEthernet5 = lblEthernet[5];
  pane_.lblEipPath = lblEipPath;
  pane_.lblEipCipDesc = lblEipCipDesc;
  pane_.lblWait = lblWait;
  pane_.plcIp = &PlcIP;
  gw::installEntryRules(pane_);
}

void FrmXAV::buildSerialFrames() {
  const char* titles[8] = {"",
                           "Digital I/O Options",
                           "Descrete I/O Options",
                           "Digital Switch Option",
                           "Modbus Scanner Options",
                           "DF1 Scanner Options",
                           "Pass Through Setup",
                           "Ethernet Protocols"};
  const int heights[8] = {0, 60, 60, 214, 112, 206, 60, 210};
  for (int i = 1; i <= 7; ++i) {
    FrOptions[i] = new QGroupBox(QString::fromLatin1(titles[i]), this);
    FrOptions[i]->setObjectName(QStringLiteral("FrOptions_%1").arg(i));
    FrOptions[i]->setGeometry(kFrameLeft, kFrameTop, kFrameWidth, heights[i]);
    FrOptions[i]->hide();
  }
  makeLabel(FrOptions[1], QStringLiteral("No options available."), 10, 24, 300);
  makeLabel(FrOptions[2], QStringLiteral("No options available."), 10, 24, 300);
  makeLabel(FrOptions[6], QStringLiteral("No options available. Set RS232 for 9600,N,8,1"), 10, 24, 300);

  // Digital Switch: the slave ranges and their help text.
  slaveGroup = new QButtonGroup(this);
  const char* ranges[6] = {"None", "12-22", "23-33", "34-44", "45-55", "56-66"};
  for (int i = 0; i < 6; ++i) {
    optSlave[i] = new QRadioButton(QString::fromLatin1(ranges[i]), FrOptions[3]);
    optSlave[i]->setObjectName(QStringLiteral("optSlave_%1").arg(i));
    optSlave[i]->setGeometry(12 + (i % 3) * 100, 22 + (i / 3) * 24, 96, 22);
    slaveGroup->addButton(optSlave[i], i);
  }
  optSlave[0]->setChecked(true);
  QLabel* help = makeLabel(FrOptions[3],
                           QStringLiteral("Slave mode allows multiple XAVs to be 'daisy-chained' so that descrete "
                                          "switches beyond the 11 available on a single XAV may be used.\n\n"
                                          "To 'daisy-chain' a XAV, connect terminals 3-3, 4-4 and 6-6."),
                           12, 74, kFrameWidth - 24, 132);
  help->setWordWrap(true);
  help->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  // Modbus scanner.
  QWidget* f4 = FrOptions[4];
  makeLabel(f4, QStringLiteral("Base register"), 12, 24, 140);
  txtBaseReg = makeBox(f4, "txtBaseReg", QStringLiteral("40001"), 160, 22, 90);
  makeLabel(f4, QStringLiteral("Last Register"), 12, 52, 140);
  Text3 = makeBox(f4, "Text3", QStringLiteral("40040"), 160, 50, 90);
  Text3->setEnabled(false);
  makeLabel(f4, QStringLiteral("PLC Slave Address"), 12, 80, 140);
  txtSlave = makeBox(f4, "txtSlave", QStringLiteral("1"), 160, 78, 50);
  connect(txtBaseReg, &QLineEdit::textChanged, this, [this](const QString& t) { Text3->setText(lastRegisterText(t)); });

  // DF1 scanner.
  QWidget* f5 = FrOptions[5];
  makeLabel(f5, QStringLiteral("Base Register"), 12, 24, 140);
  txtBaseRegDF1 = makeBox(f5, "txtBaseRegDF1", QStringLiteral("0"), 160, 22, 70);
  makeLabel(f5, QStringLiteral("File Number"), 12, 52, 140);
  txtFileNo = makeBox(f5, "txtFileNo", QStringLiteral("12"), 160, 50, 70);
  makeLabel(f5, QStringLiteral("PLC Address"), 12, 80, 140);
  txtSlaveDF1 = makeBox(f5, "txtSlaveDF1", QStringLiteral("1"), 160, 78, 70);
  makeLabel(f5, QStringLiteral("BaudRate"), 12, 108, 140);
  Combo1 = new QComboBox(f5);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
  Combo1->setGeometry(160, 106, 90, 24);
  makeLabel(f5, QStringLiteral("Position Registers"), 12, 140, 140);
  txtDf1Pos = makeBox(f5, "txtDf1Pos", QString(), 160, 138, 150);
  makeLabel(f5, QStringLiteral("Request Registers"), 12, 168, 140);
  txtDF1Req = makeBox(f5, "txtDF1Req", QString(), 160, 166, 150);
  for (QLineEdit* display : {txtDf1Pos, txtDF1Req}) {
    display->setReadOnly(true);  // display only: every key is discarded
    QPalette p = display->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    display->setPalette(p);
    display->setFocusPolicy(Qt::NoFocus);
  }
  connect(txtBaseRegDF1, &QLineEdit::textChanged, this, [this] {
    if (!SuppressDf1Update) Df1DisplayUpdate();
  });
  connect(txtFileNo, &QLineEdit::textChanged, this, [this] { Df1DisplayUpdate(); });
  txtBaseRegDF1->installEventFilter(this);
  txtFileNo->installEventFilter(this);
  Df1DisplayUpdate();

  // The distributor count of the scanner modes: fixed at 20.
  lblDistScanCnt = makeLabel(this, QStringLiteral("Nbr. Distributors to Scan"), kFrameLeft + 10, 318, 180, 22,
                             "lblDistScanCnt");
  txtDistScanCnt = makeBox(this, "txtDistScanCnt", QStringLiteral("20"), kFrameLeft + 200, 318, 50);
  txtDistScanCnt->setContextMenuPolicy(Qt::NoContextMenu);
  txtDistScanCnt->installEventFilter(this);
  lblDistScanCnt->hide();
  txtDistScanCnt->hide();
}

void FrmXAV::buildEthernetPane() {
  QWidget* f7 = FrOptions[7];
  ethGroup = new QButtonGroup(this);
  for (int p = 1; p <= 3; ++p) {
    optEthMode[p] = new QRadioButton(QString::fromLatin1(kEthCaptions[p]), f7);
    optEthMode[p]->setObjectName(QStringLiteral("optEthMode_%1").arg(p));
    optEthMode[p]->setGeometry(8, 18 + (p - 1) * 22, kFrameWidth - 12, 22);
    ethGroup->addButton(optEthMode[p], p);
    connect(optEthMode[p], &QRadioButton::clicked, this, [this, p] { optEthMode_Click(p); });
  }
  lblEthernet[5] = makeLabel(f7, QStringLiteral("PLC IP Addr."), 10, 90, 140, 20, "lblEthernet_5");
  txtIPAddress = makeBox(f7, "txtIPAddress", QString(), 160, 88, 130);
  lblEthernet[0] = makeLabel(f7, QStringLiteral("Integer File Number"), 10, 120, 140, 20, "lblEthernet_0");
  txtEIPFile = makeBox(f7, "txtEIPFile", QStringLiteral("7"), 160, 118, 60);
  lblEthernet[1] = makeLabel(f7, QStringLiteral("Base register"), 10, 148, 140, 20, "lblEthernet_1");
  txtEIPOff = makeBox(f7, "txtEIPOff", QStringLiteral("0"), 160, 146, 60);
  lblEipCipDesc = makeLabel(f7,
                            QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 "
                                           "element registers."),
                            10, 116, kFrameWidth - 20, 40, "lblEipCipDesc");
  lblEipCipDesc->setWordWrap(true);
  lblEipPath = makeLabel(f7, QStringLiteral("Processor Slot"), 10, 162, 140, 20, "lblEipPath");
  txtEipPath = makeBox(f7, "txtEipPath", QStringLiteral("0"), 160, 160, 60);
  lblEthernet[3] = makeLabel(f7, QStringLiteral("Base Register"), 10, 120, 140, 20, "lblEthernet_3");
  txtMBReg = makeBox(f7, "txtMBReg", QStringLiteral("40001"), 160, 118, 90);
  txtMBReg->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));

}

void FrmXAV::placeFrame(QGroupBox* frame) {
  frame->move(kFrameLeft, kFrameTop);
  frame->resize(kFrameWidth, frame->height());
  frame->show();
}

// ---------------------------------------------------------------- start-up

bool FrmXAV::Form_Load() {
  DisableModes();
  DisableEthernetEntry();
  setWindowTitle(QString::fromLatin1(kCaption));
  int type;
  if (options_.chooseConnectionType) {
    type = options_.chooseConnectionType(this);
  } else {
    frmSelect dialog(windowTitle(), this);
    dialog.exec();
    type = dialog.ConnectionType;
  }
  if (type == frmSelect::kEndProgram) return false;
  ConnectionType = type;
  if (ConnectionType == frmSelect::kEthernet) cmdUpdateXAV->setEnabled(true);
  if (ConnectionType != frmSelect::kEthernet) SetSerialConfiguration();
  else SetEthernetConfiguration();
  // Start-up check: a writable working directory and, in both connection
  // types, the loader beside the tool.
  if (!gw::CheckReadWriteAccesss()) return false;
  if (!loaderPresent()) {
    xav::showMessage(this, xav::MessageIcon::Critical, QString(),
                     QStringLiteral("Ruinet.exe not found.\r\n\r\nThis program will close."));
    return false;
  }
  return true;
}

void FrmXAV::SetSerialConfiguration() {
  HideAllFrames();
  Frame2->hide();
  Frame1->show();
  ListComPorts();
  show();
  DisableEthernetEntry();
  cmbComm->show();
  cmdConnect->show();
  cmdConnect->setFocus();
}

void FrmXAV::SetEthernetConfiguration() {
  Frame1->hide();
  show();
  HideAllFrames();
  Frame2->show();
  placeFrame(FrOptions[7]);
  txtTitle->setGeometry(kFrameLeft, FrOptions[7]->y() + FrOptions[7]->height(), kFrameWidth, 24);
  txtTitle->show();
  repaint();
  DiscoverModules();
}

void FrmXAV::HideAllFrames() {
  for (int i = 1; i <= 7; ++i) FrOptions[i]->hide();
  txtDistScanCnt->hide();
  lblDistScanCnt->hide();
  cmbComm->hide();
  cmdConnect->hide();
}

void FrmXAV::EnableModes() {
  for (int i = 1; i <= 6; ++i) optMode[i]->setEnabled(true);
}

void FrmXAV::DisableModes() {
  for (int i = 1; i <= 6; ++i) optMode[i]->setEnabled(false);
}

void FrmXAV::DisableEthernetEntry() { gw::DisableEthernetEntry(pane_); }

QString FrmXAV::GetSlaveMode() const {
  for (int i = 0; i < 6; ++i)
    if (optSlave[i]->isChecked()) return QString::number(i);
  return {};
}

int FrmXAV::selectedMode() const {
  for (int m = 1; m <= 6; ++m)
    if (optMode[m]->isChecked()) return m;
  return 7;
}

// ---------------------------------------------------------------- options

void FrmXAV::optMode_Click(int index) {
  if (index < 1 || index > 6) return;
  HideAllFrames();
  placeFrame(FrOptions[index]);
  if (modeCaption(index).toLower().contains(QLatin1String("scan"))) {
    txtDistScanCnt->show();
    lblDistScanCnt->show();
  }
}

void FrmXAV::optEthMode_Click(int p) { gw::selectProtocol(pane_, p); }

void FrmXAV::Df1DisplayUpdate() {
  if (SuppressDf1Update) return;
  const Df1Display d = df1Display(txtBaseRegDF1->text(), txtFileNo->text());
  if (d.baseText != txtBaseRegDF1->text()) {
    txtBaseRegDF1->setText(d.baseText);  // runs this update again through the change event
    return;
  }
  txtDf1Pos->setText(d.positions);
  txtDF1Req->setText(d.requests);
}

bool FrmXAV::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // A key that puts a character into the box (not Backspace, Tab, Enter...).
    const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint();
    if (watched == txtDistScanCnt) {
      if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
      txtDistScanCnt->setText(QStringLiteral("20"));
      txtDistScanCnt->selectAll();
      return true;
    }
    if (watched == txtBaseRegDF1 && typing && txtBaseRegDF1->text() == QLatin1String("0")) {
      // The typed digit replaces the 0 instead of following it.
      SuppressDf1Update = true;
      txtBaseRegDF1->clear();
      SuppressDf1Update = false;
      return false;
    }
  } else if (event->type() == QEvent::FocusOut && watched == txtFileNo) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    const bool leaving = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                         reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                         reason == Qt::OtherFocusReason;
    if (leaving && !closeHandled_ && txtFileNo->isVisible() && !isAcceptedDf1FileNumber(txtFileNo->text())) {
      txtFileNo->setText(QStringLiteral("0"));
      QTimer::singleShot(0, txtFileNo, [this] {
        if (!txtFileNo->isVisible()) return;
        txtFileNo->setFocus(Qt::OtherFocusReason);
        txtFileNo->selectAll();
      });
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- serial

void FrmXAV::ListComPorts() {
  cmbComm->clear();
  cmbComm->addItems(serial_->ListComPorts());
  if (cmbComm->count() > 0) cmbComm->setCurrentIndex(0);
}

void FrmXAV::cmdConnect_Click() {
  if (serial_->busy()) return;
  cmdConnect->hide();
  const int port = xav::platform::comNumberFromText(cmbComm->currentText());
  if (!serial_->openPort(port)) {
    cmdConnect->show();
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Unable to open COM Port ") + QString::number(port));
    serial_->link()->close();
    emit queryEnded(false);
    return;
  }
  QueryModule();
}

void FrmXAV::QueryModule() {
  xav::showMessage(this, xav::MessageIcon::Information, QString(),
                   QStringLiteral("BEFORE CONTINUING, MAKE SURE THE FOLLOWING STEPS ARE COMPLETE:\r\n\r\n"
                                  "[1] Attach serial cable to the XAV\r\n\r\n"
                                  "[2] Press the BLACK button on the XAV until a dash (-) appears on the XAV display."));
  if (closeHandled_) return;  // the window was closed while the box was up
  serial_->QueryModule();
}

void FrmXAV::onQueryFinished(bool replied) {
  if (!replied) {
    lblCntDn->setText(QStringLiteral(" "));
    xav::showMessage(this, xav::MessageIcon::None, QString(),
                     QStringLiteral("Unable to communicate with the XAV Module on ") + cmbComm->currentText() +
                         QStringLiteral("."));
    cmdConnect->show();
    emit queryEnded(false);
    return;
  }
  EnableModes();
  cmdUpdateXAV->setEnabled(true);
  const ModuleReply reply = readReply(serial_->ModuleRecord);
  CurrentMode = reply.mode;
  QString unknown;
  switch (CurrentMode) {
    case 3:
      if (isKnownSlaveRange(reply.slaveRange)) {
        optSlave[reply.slaveRange]->setChecked(true);
      } else {
        unknown = QStringLiteral(
                      "The XAV module reported a Digital Switch slave range (%1) that this tool does not know.\r\n\r\n"
                      "Select the slave range before saving.")
                      .arg(reply.slaveRange);
      }
      break;
    case 4:
      txtBaseReg->setText(QString::number(reply.baseRegister));
      txtSlave->setText(QString::number(reply.slaveAddress));
      break;
    case 5:
      txtBaseRegDF1->setText(QString::number(reply.baseRegister));
      Df1DisplayUpdate();
      txtSlaveDF1->setText(QString::number(reply.slaveAddress));
      txtFileNo->setText(QString::number(reply.fileNumber));
      break;
    default:
      break;
  }
  if (isKnownMode(CurrentMode)) {
    optMode[CurrentMode]->setChecked(true);
    optMode_Click(CurrentMode);
  } else {
    unknown = QStringLiteral(
                  "The XAV module reported a mode (%1) that this tool does not know.\r\n\r\n"
                  "Select the mode the module is to use before saving.")
                  .arg(CurrentMode);
  }
  EnableModes();
  cmdConnect->hide();
  lblCntDn->setText(QStringLiteral(" "));
  if (!unknown.isEmpty()) xav::showMessage(this, xav::MessageIcon::Exclamation, QString(), unknown);
  emit queryEnded(true);
}

bool FrmXAV::saveSerial(int mode) {
  SerialEntries e;
  e.mode = mode == 7 ? 0 : mode;
  e.baseReg = txtBaseReg->text();
  e.slave = txtSlave->text();
  e.baseRegDF1 = txtBaseRegDF1->text();
  e.slaveDF1 = txtSlaveDF1->text();
  e.fileNo = txtFileNo->text();
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
  // A port that went away (adapter unplugged) would swallow the record
  // while the window showed the module as configured.
  if (!serial_->portOpen()) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("The serial port ") + cmbComm->currentText() +
                         QStringLiteral(" is no longer open.\r\n\r\nNothing was sent to the XAV module. "
                                        "Check the cable, then close the tool and start it again."));
    return false;
  }
  serial_->ModuleRecord = r.record;
  serial_->SendToModule(r.record + '\r');
  return true;
}

// ---------------------------------------------------------------- Ethernet

void FrmXAV::DiscoverModules() {
  const QStringList listing = answeringModules(*network_);
  // The old entries go before the titles are fetched, so none of them can
  // be taken for a module of this run.
  LV1->clear();
  LV1->repaint();
  for (const QString& address : listing) LV1->addItem(moduleEntry(address, GetModuleTitle(*network_, address)));
  if (LV1->count() == 1) {
    LV1->setCurrentRow(0);
    LV1_Click();
  }
}

void FrmXAV::LV1_Click() {
  QListWidgetItem* item = LV1->currentItem();
  if (!item) return;
  FrOptions[7]->show();
  cmdUpdateXAV->setEnabled(true);
  ModuleIP = addressOfEntry(item->text());
  // A file of an earlier fetch must not restore another module's settings.
  gw::deleteConfigCsv(workDir());
  network_->fetchConfiguration(ModuleIP);
  gw::applyReadBack(pane_, gw::readCurrentConfig(workDir()), &CaptionsTail, this);
}

bool FrmXAV::saveEthernet() {
  if (ModuleIP.isEmpty()) {
    // Save is enabled from the start dialog on, before any module is picked.
    xav::showMessage(this, xav::MessageIcon::Exclamation, QString(),
                     QStringLiteral("No XAV module is selected.\r\n\r\nSelect the module in the list, then save again."));
    return false;
  }
  return gw::saveEthernetConfiguration(pane_, workDir(), ModuleIP, CaptionsTail, this);
}

// ---------------------------------------------------------------- Save

void FrmXAV::cmdUpdateXAV_Click() {
  const int mode = selectedMode();
  if (txtTitle->text().trimmed().isEmpty()) txtTitle->setText(QStringLiteral("Change this title if desired."));
  if (ConnectionType != frmSelect::kEthernet) {
    // Serial (an unchosen type counts as serial): only a record goes on
    // the line, and only for a selected mode.
    if (!saveSerial(mode)) return;
  } else if (mode == 7) {
    if (!saveEthernet()) return;
  }
  closingSteps();
}

void FrmXAV::closingSteps() {
  cmdUpdateXAV->setEnabled(false);
  gw::deleteConfigCsv(workDir());
  HideAllFrames();
  txtTitle->clear();
  DisableModes();
  cmdConnect->hide();
  DiscoverModules();
}

// ---------------------------------------------------------------- buttons

void FrmXAV::cmdReScan_Click() { DiscoverModules(); }

void FrmXAV::cmdToolbox_Click() {
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
  gw::ShellAndWait(toolboxCommand(toolboxDir), gw::kNormalFocus);
  QDir::setCurrent(home);
  DiscoverModules();
}

void FrmXAV::Command4_Click() { close(); }

void FrmXAV::closeHandling() {
  if (closeHandled_) return;
  closeHandled_ = true;
  serial_->cancel();
  gw::deleteConfigCsv(workDir());
  serial_->sendEndMarker();
}

void FrmXAV::closeEvent(QCloseEvent* event) {
  if (!isEnabled()) {
    // A utility is running and input is blocked until it ends; closing now
    // would delete Config.csv under the loader. Close once it has ended.
    event->ignore();
    QTimer::singleShot(100, this, [this] { close(); });
    return;
  }
  closeHandling();
  event->accept();
}

}  // namespace xavcfg
