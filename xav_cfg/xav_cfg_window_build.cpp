// XavCfgWindow's builders: one per group of controls, in the order the
// controls are stacked and reached by Tab.
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "entry_rules.h"
#include "utility_wait_panel.h"
#include "window_geometry.h"
#include "xav_cfg_window.h"

namespace xavcfg {

using namespace geometry;

namespace {

const char* const kProtocolCaptions[4] = {"", "Ethernet/IP PCCC - (Micrologix, SLC processors.)",
                                          "Ethernet/IP  - (Compactlogix and Controllogix processors.)",
                                          "Modbus/TCP - (Universal)"};

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

template <class Button>
Button* makeButton(QWidget* parent, const QString& caption, const QString& name, const QRect& at) {
  auto* b = new Button(caption, parent);
  b->setObjectName(name);
  b->setGeometry(at);
  return b;
}

}  // namespace

void XavCfgWindow::buildWindow() {
  setWindowTitle(QString::fromLatin1(kCaption));
  setFixedSize(kWindowWidth, kWindowHeight);
  inputArea_ = new QWidget(this);
  inputArea_->setObjectName(QStringLiteral("inputArea"));
  inputArea_->setGeometry(0, 0, kWindowWidth, kWindowHeight);
  buildBanner();
  buildSerialColumn();
  buildModuleListColumn();
  buildOptionFrames();
  buildDigitalSwitchFrame();
  buildModbusScannerFrame();
  buildDf1ScannerFrame();
  buildDistributorCount();
  buildEthernetPane();
  buildBottomRow();
  buildWaitAndStatus();
  setTabOrder(portBox_, connectButton_);
  connectPane();
}

void XavCfgWindow::buildBanner() {
  bannerLabel_ = makeLabel(inputArea_, QStringLiteral("XAV Gateway Module Configuration Utility"), 0, 3, kWindowWidth,
                           22, "lblBanner");
  QFont bannerFont(QStringLiteral("Arial"));
  bannerFont.setPointSize(11);
  bannerFont.setBold(true);
  bannerLabel_->setFont(bannerFont);
  bannerLabel_->setAlignment(Qt::AlignCenter);
}

// Left column, serial: the modes, the port box and Connect, the countdown.
void XavCfgWindow::buildSerialColumn() {
  serialModeFrame_ = new QGroupBox(QStringLiteral("Serial Mode Selection"), inputArea_);
  serialModeFrame_->setObjectName(QStringLiteral("Frame1"));
  serialModeFrame_->setGeometry(8, kFrameTop, 254, 190);
  modeGroup_ = new QButtonGroup(this);
  int y = 20;
  for (int i : {1, 2, 3, 4, 5, 6, 8}) {
    modeOptions_[i] = makeButton<QRadioButton>(serialModeFrame_, modeCaption(i), QStringLiteral("optMode_%1").arg(i),
                                               QRect(8, y, 240, 22));
    modeOptions_[i]->setEnabled(false);
    modeGroup_->addButton(modeOptions_[i], i);
    y += 23;
    if (i != 8) connect(modeOptions_[i], &QRadioButton::clicked, this, [this, i] { optMode_Click(i); });
  }

  portBox_ = new QComboBox(inputArea_);
  portBox_->setObjectName(QStringLiteral("cmbComm"));
  portBox_->setGeometry(8, 230, 120, 26);
  connectButton_ =
      makeButton<QPushButton>(inputArea_, QStringLiteral("&Connect"), QStringLiteral("cmdConnect"), QRect(136, 230, 126, 26));
  connect(connectButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdConnect_Click);
  countdownLabel_ = makeLabel(inputArea_, QString(), 8, 264, 254, 30, "lblCntDn");
  QFont big = countdownLabel_->font();
  big.setPointSize(16);
  big.setBold(true);
  countdownLabel_->setFont(big);
  countdownLabel_->setAlignment(Qt::AlignCenter);
}

// Left column, Ethernet: the module list and its buttons.
void XavCfgWindow::buildModuleListColumn() {
  moduleListFrame_ = new QGroupBox(QStringLiteral("Etherner Modules"), inputArea_);
  moduleListFrame_->setObjectName(QStringLiteral("Frame2"));
  moduleListFrame_->setGeometry(8, kFrameTop, 254, 300);
  moduleListHint_ = makeLabel(moduleListFrame_, QStringLiteral("Select IP address of XAV module to configure."), 8, 18,
                              238, 32, "Label1_1");
  moduleListHint_->setWordWrap(true);
  moduleList_ = new QListWidget(moduleListFrame_);
  moduleList_->setObjectName(QStringLiteral("LV1"));
  moduleList_->setGeometry(8, 52, 238, 160);
  connect(moduleList_, &QListWidget::itemClicked, this, [this] { LV1_Click(); });
  connect(moduleList_, &QListWidget::itemActivated, this, [this] { LV1_Click(); });
  rescanButton_ = makeButton<QPushButton>(moduleListFrame_, QStringLiteral("&Re-Scan"), QStringLiteral("cmdReScan"),
                                          QRect(8, 218, 238, 28));
  connect(rescanButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdReScan_Click);
  toolboxButton_ = makeButton<WrappingButton>(moduleListFrame_, QStringLiteral("&Discover/Change Ethernet Module Address"),
                                              QStringLiteral("cmdToolbox"), QRect(8, 252, 238, 40));
  connect(toolboxButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdToolbox_Click);
}

// The option frames of the serial modes 1..6 and the Ethernet frame 7, all
// in one place on the right; the fixed texts of frames 1, 2 and 6.
void XavCfgWindow::buildOptionFrames() {
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
    optionFrames_[i] = new QGroupBox(QString::fromLatin1(titles[i]), inputArea_);
    optionFrames_[i]->setObjectName(QStringLiteral("FrOptions_%1").arg(i));
    optionFrames_[i]->setGeometry(kFrameLeft, kFrameTop, kFrameWidth, heights[i]);
    optionFrames_[i]->hide();
  }
  makeLabel(optionFrames_[1], QStringLiteral("No options available."), 10, 24, 300);
  makeLabel(optionFrames_[2], QStringLiteral("No options available."), 10, 24, 300);
  makeLabel(optionFrames_[6], QStringLiteral("No options available. Set RS232 for 9600,N,8,1"), 10, 24, 300);
}

// Digital Switch: the slave ranges and their help text.
void XavCfgWindow::buildDigitalSwitchFrame() {
  QGroupBox* frame = optionFrames_[3];
  slaveRangeGroup_ = new QButtonGroup(this);
  const char* ranges[6] = {"None", "12-22", "23-33", "34-44", "45-55", "56-66"};
  for (int i = 0; i < 6; ++i) {
    slaveRangeOptions_[i] = makeButton<QRadioButton>(frame, QString::fromLatin1(ranges[i]),
                                                     QStringLiteral("optSlave_%1").arg(i),
                                                     QRect(12 + (i % 3) * 100, 22 + (i / 3) * 24, 96, 22));
    slaveRangeGroup_->addButton(slaveRangeOptions_[i], i);
  }
  slaveRangeOptions_[0]->setChecked(true);
  connect(slaveRangeGroup_, &QButtonGroup::idClicked, this, [this] { slaveRangeChosen_ = true; });
  connect(slaveRangeGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) slaveRangeChosen_ = true;
  });
  QLabel* help = makeLabel(frame,
                           QStringLiteral("Slave mode allows multiple XAVs to be 'daisy-chained' so that descrete "
                                          "switches beyond the 11 available on a single XAV may be used.\n\n"
                                          "To 'daisy-chain' a XAV, connect terminals 3-3, 4-4 and 6-6."),
                           12, 74, kFrameWidth - 24, 132);
  help->setWordWrap(true);
  help->setAlignment(Qt::AlignTop | Qt::AlignLeft);
}

void XavCfgWindow::buildModbusScannerFrame() {
  QWidget* frame = optionFrames_[4];
  makeLabel(frame, QStringLiteral("Base register"), 12, 24, 140);
  modbusBaseRegisterBox_ = makeBox(frame, "txtBaseReg", QStringLiteral("40001"), 160, 22, 90);
  makeLabel(frame, QStringLiteral("Last Register"), 12, 52, 140);
  modbusLastRegisterBox_ = makeBox(frame, "Text3", QStringLiteral("40040"), 160, 50, 90);
  modbusLastRegisterBox_->setEnabled(false);
  makeLabel(frame, QStringLiteral("PLC Slave Address"), 12, 80, 140);
  modbusSlaveAddressBox_ = makeBox(frame, "txtSlave", QStringLiteral("1"), 160, 78, 50);
  connect(modbusBaseRegisterBox_, &QLineEdit::textChanged, this,
          [this](const QString& t) { modbusLastRegisterBox_->setText(lastRegisterText(t)); });
}

void XavCfgWindow::buildDf1ScannerFrame() {
  QWidget* frame = optionFrames_[5];
  makeLabel(frame, QStringLiteral("Base Register"), 12, 24, 140);
  df1BaseRegisterBox_ = makeBox(frame, "txtBaseRegDF1", QStringLiteral("0"), 160, 22, 70);
  makeLabel(frame, QStringLiteral("File Number"), 12, 52, 140);
  df1FileNumberBox_ = makeBox(frame, "txtFileNo", QStringLiteral("12"), 160, 50, 70);
  makeLabel(frame, QStringLiteral("PLC Address"), 12, 80, 140);
  df1PlcAddressBox_ = makeBox(frame, "txtSlaveDF1", QStringLiteral("1"), 160, 78, 70);
  makeLabel(frame, QStringLiteral("BaudRate"), 12, 108, 140);
  df1BaudRateBox_ = new QComboBox(frame);
  df1BaudRateBox_->setObjectName(QStringLiteral("Combo1"));
  df1BaudRateBox_->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
  df1BaudRateBox_->setGeometry(160, 106, 90, 24);
  makeLabel(frame, QStringLiteral("Position Registers"), 12, 140, 140);
  df1PositionRangeBox_ = makeBox(frame, "txtDf1Pos", QString(), 160, 138, 150);
  makeLabel(frame, QStringLiteral("Request Registers"), 12, 168, 140);
  df1RequestRangeBox_ = makeBox(frame, "txtDF1Req", QString(), 160, 166, 150);
  for (QLineEdit* display : {df1PositionRangeBox_, df1RequestRangeBox_}) {
    display->setReadOnly(true);  // display only: every key is discarded
    QPalette p = display->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    display->setPalette(p);
    display->setFocusPolicy(Qt::NoFocus);
  }
  connect(df1BaseRegisterBox_, &QLineEdit::textChanged, this, [this] {
    if (!SuppressDf1Update) Df1DisplayUpdate();
  });
  connect(df1FileNumberBox_, &QLineEdit::textChanged, this, [this] { Df1DisplayUpdate(); });
  df1BaseRegisterBox_->installEventFilter(this);
  df1FileNumberBox_->installEventFilter(this);
  Df1DisplayUpdate();
}

// The distributor count of the scanner modes: fixed at 20.
void XavCfgWindow::buildDistributorCount() {
  distributorCountLabel_ = makeLabel(inputArea_, QStringLiteral("Nbr. Distributors to Scan"), kFrameLeft + 10, 318,
                                     180, 22, "lblDistScanCnt");
  distributorCountBox_ = makeBox(inputArea_, "txtDistScanCnt", QStringLiteral("20"), kFrameLeft + 200, 318, 50);
  distributorCountBox_->setContextMenuPolicy(Qt::NoContextMenu);
  distributorCountBox_->installEventFilter(this);
  distributorCountLabel_->hide();
  distributorCountBox_->hide();
}

// The Ethernet frame: protocol options, then the boxes of each protocol.
void XavCfgWindow::buildEthernetPane() {
  QWidget* frame = optionFrames_[7];
  protocolGroup_ = new QButtonGroup(this);
  for (int p = 1; p <= 3; ++p) {
    protocolOptions_[p] = makeButton<QRadioButton>(frame, QString::fromLatin1(kProtocolCaptions[p]),
                                                   QStringLiteral("optEthMode_%1").arg(p),
                                                   QRect(8, 18 + (p - 1) * 22, kFrameWidth - 12, 22));
    protocolGroup_->addButton(protocolOptions_[p], p);
    connect(protocolOptions_[p], &QRadioButton::clicked, this, [this, p] { optEthMode_Click(p); });
  }
  buildEthernetPaneBoxes();
}

void XavCfgWindow::buildEthernetPaneBoxes() {
  QWidget* frame = optionFrames_[7];
  plcAddressLabel_ = makeLabel(frame, QStringLiteral("PLC IP Addr."), 10, 90, 140, 20, "lblEthernet_5");
  plcAddressBox_ = makeBox(frame, "txtIPAddress", QString(), 160, 88, 130);
  pcccFileNumberLabel_ = makeLabel(frame, QStringLiteral("Integer File Number"), 10, 120, 140, 20, "lblEthernet_0");
  pcccFileNumberBox_ = makeBox(frame, "txtEIPFile", QStringLiteral("7"), 160, 118, 60);
  pcccBaseElementLabel_ = makeLabel(frame, QStringLiteral("Base register"), 10, 148, 140, 20, "lblEthernet_1");
  pcccBaseElementBox_ = makeBox(frame, "txtEIPOff", QStringLiteral("0"), 160, 146, 60);
  cipTagsLabel_ = makeLabel(frame,
                            QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 "
                                           "element registers."),
                            10, 116, kFrameWidth - 20, 40, "lblEipCipDesc");
  cipTagsLabel_->setWordWrap(true);
  cipSlotLabel_ = makeLabel(frame, QStringLiteral("Processor Slot"), 10, 162, 140, 20, "lblEipPath");
  cipSlotBox_ = makeBox(frame, "txtEipPath", QStringLiteral("0"), 160, 160, 60);
  modbusTcpRegisterLabel_ = makeLabel(frame, QStringLiteral("Base Register"), 10, 120, 140, 20, "lblEthernet_3");
  modbusTcpRegisterBox_ = makeBox(frame, "txtMBReg", QStringLiteral("40001"), 160, 118, 90);
  modbusTcpRegisterBox_->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
}

// The title (Ethernet only), the loader's wait label, Save, Verify and Exit.
void XavCfgWindow::buildBottomRow() {
  titleBox_ = new QLineEdit(inputArea_);
  titleBox_->setObjectName(QStringLiteral("txtTitle"));
  titleBox_->setToolTip(QStringLiteral("Configuration title"));
  titleBox_->setPlaceholderText(QStringLiteral("Configuration title"));
  // The title goes into a comma-separated file: a comma can be neither
  // typed nor pasted.
  titleBox_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^,]*")), titleBox_));
  titleBox_->hide();

  loaderWaitLabel_ = makeLabel(inputArea_, QStringLiteral("Please wait - this operation may take up to 1 minute."),
                               kFrameLeft, 274, kFrameWidth, 34, "lblWait");
  loaderWaitLabel_->setWordWrap(true);
  loaderWaitLabel_->hide();

  saveButton_ = makeButton<QPushButton>(inputArea_, QStringLiteral("&Save CFG to XAV"), QStringLiteral("cmdUpdateXAV"),
                                        QRect(kFrameLeft, kBottomRowTop, 160, 30));
  saveButton_->setEnabled(false);
  connect(saveButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdUpdateXAV_Click);
  verifyButton_ = makeButton<QPushButton>(inputArea_, QStringLiteral("&Verify"), QStringLiteral("cmdVerify"),
                                          QRect(kFrameLeft + 170, kBottomRowTop, 110, 30));
  verifyButton_->setToolTip(QStringLiteral("Fetch the module's Config.csv again and compare it with what was loaded"));
  verifyButton_->setEnabled(false);
  verifyButton_->hide();  // shown once an Ethernet save has loaded a file
  connect(verifyButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdVerify_Click);
  exitButton_ = makeButton<QPushButton>(inputArea_, QStringLiteral("E&xit"), QStringLiteral("Command4"),
                                        QRect(kFrameLeft + kFrameWidth - 110, kBottomRowTop, 110, 30));
  connect(exitButton_, &QPushButton::clicked, this, &XavCfgWindow::Command4_Click);
}

// The status line under the left column and the wait panel over the right
// one. The panel lies outside the input area: its Cancel stays usable while
// the rest of the window refuses input.
void XavCfgWindow::buildWaitAndStatus() {
  statusLabel_ = makeLabel(inputArea_, QString(), 8, 334, 254, 62, "lblStatus");
  statusLabel_->setWordWrap(true);
  statusLabel_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  waitPanel_ = new UtilityWaitPanel(this);
  waitPanel_->setGeometry(kFrameLeft, 310, kFrameWidth, 46);
  waitPanel_->hide();
}

// Hands the protocol pane its controls and installs its entry rules.
void XavCfgWindow::connectPane() {
  pane_.txtTitle = titleBox_;
  pane_.txtIPAddress = plcAddressBox_;
  pane_.txtEIPFile = pcccFileNumberBox_;
  pane_.txtEIPOff = pcccBaseElementBox_;
  pane_.txtEipPath = cipSlotBox_;
  pane_.txtMBReg = modbusTcpRegisterBox_;
  for (int p = 1; p <= 3; ++p) pane_.optEthMode[p] = protocolOptions_[p];
  pane_.lblEthernet0 = pcccFileNumberLabel_;
  pane_.lblEthernet1 = pcccBaseElementLabel_;
  pane_.lblEthernet3 = modbusTcpRegisterLabel_;
  pane_.lblEthernet5 = plcAddressLabel_;
  pane_.lblEipPath = cipSlotLabel_;
  pane_.lblEipCipDesc = cipTagsLabel_;
  pane_.lblWait = loaderWaitLabel_;
  pane_.plcIp = &PlcIP;
  gw::installEntryRules(pane_);
}

}  // namespace xavcfg
