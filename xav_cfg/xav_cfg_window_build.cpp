// XavCfgWindow's builders: one per group of controls, in the order the
// controls are reached by Tab. Everything sits in layouts and follows the
// user's font; frames that take turns share one place whose size is kept
// while they are hidden, so showing one moves nothing else.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "entry_rules.h"
#include "sessions.h"
#include "window_building.h"
#include "wait_panel.h"
#include "xav_cfg_window.h"

namespace xavcfg {

using namespace building;

void XavCfgWindow::buildWindow() {
  setWindowTitle(QString::fromLatin1(kCaption));
  inputArea_ = new QWidget(this);
  inputArea_->setObjectName(QStringLiteral("inputArea"));
  auto* outer = new QGridLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(inputArea_, 0, 0);

  auto* main = new QVBoxLayout(inputArea_);
  buildBanner();
  main->addWidget(bannerLabel_);
  auto* columns = new QHBoxLayout;
  main->addLayout(columns, 1);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left, 0);
  columns->addLayout(right, 1);

  buildSerialColumn();
  buildModuleListColumn();
  // The serial modes and the module list take the same place: one of them
  // is shown for the whole run.
  auto* leftTop = new QGridLayout;
  leftTop->addWidget(serialModeFrame_, 0, 0);
  leftTop->addWidget(moduleListFrame_, 0, 0);
  left->addLayout(leftTop);
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(portLabel_);
  portRow->addWidget(portBox_, 1);
  portRow->addWidget(connectButton_);
  left->addLayout(portRow);
  left->addWidget(countdownLabel_);
  left->addStretch(1);

  buildOptionFrames();
  buildDigitalSwitchFrame();
  buildModbusScannerFrame();
  buildDf1ScannerFrame();
  buildEthernetPane();
  auto* frames = new QGridLayout;
  for (int i = 1; i <= 7; ++i) frames->addWidget(optionFrames_[i], 0, 0, Qt::AlignTop);
  right->addLayout(frames);
  buildDistributorCount();
  buildBottomRow();
  // The title (Ethernet) and the distributor count (serial scanner modes)
  // are never shown in the same run: they share a row.
  auto* titleRow = new QGridLayout;
  titleRow->addWidget(titleLabel_, 0, 0);
  titleRow->addWidget(titleBox_, 0, 1, 1, 2);
  titleRow->addWidget(distributorCountLabel_, 0, 0);
  titleRow->addWidget(distributorCountBox_, 0, 1);
  titleRow->setColumnStretch(2, 1);
  right->addLayout(titleRow);
  right->addStretch(1);

  buildWaitAndStatus();
  // The loader's wait label beside the status line, where it is seen
  // without taking a row of its own.
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(statusLabel_, 1);
  statusRow->addWidget(loaderWaitLabel_, 1);
  main->addLayout(statusRow);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(toolboxButton_);
  buttons->addStretch(1);
  buttons->addWidget(saveButton_);
  buttons->addWidget(verifyButton_);
  buttons->addWidget(exitButton_);
  main->addLayout(buttons);
  // Over the bottom of the window while a utility runs: what it covers is
  // disabled meanwhile, and showing it moves nothing.
  outer->addWidget(waitPanel_, 0, 0, Qt::AlignBottom);

  setStatusHeight();
  setTabOrders();
  connectPane();
}

// Only the controls of the run's connection type keep their place while
// hidden; the other type's never show and take no room.
void XavCfgWindow::keepPlacesOf(bool ethernet) {
  for (int i = 1; i <= 6; ++i) keepPlace(optionFrames_[i], !ethernet);
  keepPlace(optionFrames_[7], ethernet);
  for (QWidget* w : {static_cast<QWidget*>(portLabel_), static_cast<QWidget*>(portBox_),
                     static_cast<QWidget*>(connectButton_), static_cast<QWidget*>(distributorCountLabel_),
                     static_cast<QWidget*>(distributorCountBox_)})
    keepPlace(w, !ethernet);
  countdownLabel_->setVisible(!ethernet);
  keepPlace(loaderWaitLabel_, ethernet);
}

// Top to bottom, left column first, as the controls are grouped.
void XavCfgWindow::setTabOrders() {
  QList<QWidget*> order;
  for (int i : {1, 2, 3, 4, 5, 6, 8}) order << modeOptions_[i];
  order << portBox_ << connectButton_ << moduleList_ << rescanButton_ << toolboxButton_ << historyButton_
        << serviceLogButton_ << compareButton_;
  for (QRadioButton* b : slaveRangeOptions_) order << b;
  order << modbusBaseRegisterBox_ << modbusLastRegisterBox_ << modbusSlaveAddressBox_ << df1BaseRegisterBox_
        << df1FileNumberBox_ << df1PlcAddressBox_ << df1BaudRateBox_;
  for (int p = 1; p <= 3; ++p) order << protocolOptions_[p];
  order << plcAddressBox_ << pcccFileNumberBox_ << modbusTcpRegisterBox_ << pcccBaseElementBox_ << cipSlotBox_
        << titleBox_ << distributorCountBox_ << saveButton_ << verifyButton_ << exitButton_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// Room for two lines, so a longer status moves nothing.
void XavCfgWindow::setStatusHeight() {
  statusLabel_->setMinimumHeight(statusLabel_->fontMetrics().lineSpacing() * 2 + 4);
}

void XavCfgWindow::buildBanner() {
  bannerLabel_ = makeLabel(QStringLiteral("XAV Gateway Module Configuration Utility"), "lblBanner");
  QFont bannerFont = font();
  bannerFont.setFamily(QStringLiteral("Arial"));
  bannerFont.setPointSizeF(bannerFont.pointSizeF() * 1.2);
  bannerFont.setBold(true);
  bannerLabel_->setFont(bannerFont);
  bannerLabel_->setAlignment(Qt::AlignCenter);
}

// Left column, serial: the modes, the port box and Connect, the countdown.
void XavCfgWindow::buildSerialColumn() {
  serialModeFrame_ = new QGroupBox(QStringLiteral("Serial Mode Selection"));
  serialModeFrame_->setObjectName(QStringLiteral("Frame1"));
  auto* modes = new QVBoxLayout(serialModeFrame_);
  modeGroup_ = new QButtonGroup(this);
  for (int i : {1, 2, 3, 4, 5, 6, 8}) {
    modeOptions_[i] = makeButton<QRadioButton>(modeCaption(i), QStringLiteral("optMode_%1").arg(i));
    modeOptions_[i]->setEnabled(false);
    modeGroup_->addButton(modeOptions_[i], i);
    modes->addWidget(modeOptions_[i]);
    if (i != 8) connect(modeOptions_[i], &QRadioButton::clicked, this, [this, i] { optMode_Click(i); });
  }
  tabToCheckedOption(modeGroup_);

  portBox_ = new QComboBox;
  portBox_->setObjectName(QStringLiteral("cmbComm"));
  portLabel_ = labelFor(portBox_, QStringLiteral("P&ort"), "lblComm");
  connectButton_ = makeButton<QPushButton>(QStringLiteral("&Connect"), QStringLiteral("cmdConnect"));
  connect(connectButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdConnect_Click);
  for (QWidget* w : {static_cast<QWidget*>(portLabel_), static_cast<QWidget*>(portBox_),
                     static_cast<QWidget*>(connectButton_)})
    keepPlace(w);
  countdownLabel_ = makeLabel(QString(), "lblCntDn");
  QFont big = countdownLabel_->font();
  big.setPointSizeF(std::max(16.0, big.pointSizeF() + 2));
  big.setBold(true);
  countdownLabel_->setFont(big);
  countdownLabel_->setAlignment(Qt::AlignCenter);
  countdownLabel_->setMinimumHeight(countdownLabel_->fontMetrics().height());
}

// The option frames of the serial modes 1..6 and the Ethernet frame 7; the
// fixed texts of frames 1, 2 and 6.
void XavCfgWindow::buildOptionFrames() {
  const char* titles[8] = {"",
                           "Digital I/O Options",
                           "Descrete I/O Options",
                           "Digital Switch Option",
                           "Modbus Scanner Options",
                           "DF1 Scanner Options",
                           "Pass Through Setup",
                           "Ethernet Protocols"};
  for (int i = 1; i <= 7; ++i) {
    optionFrames_[i] = new QGroupBox(QString::fromLatin1(titles[i]));
    optionFrames_[i]->setObjectName(QStringLiteral("FrOptions_%1").arg(i));
    keepPlace(optionFrames_[i]);
    optionFrames_[i]->hide();
  }
  for (int i : {1, 2, 6}) {
    auto* l = new QVBoxLayout(optionFrames_[i]);
    l->addWidget(makeLabel(i == 6 ? QStringLiteral("No options available. Set RS232 for 9600,N,8,1")
                                  : QStringLiteral("No options available.")));
    l->addStretch(1);
  }
}

// Digital Switch: the slave ranges and their help text.
void XavCfgWindow::buildDigitalSwitchFrame() {
  auto* grid = new QGridLayout(optionFrames_[3]);
  slaveRangeGroup_ = new QButtonGroup(this);
  const char* ranges[6] = {"None", "12-22", "23-33", "34-44", "45-55", "56-66"};
  for (int i = 0; i < 6; ++i) {
    slaveRangeOptions_[i] =
        makeButton<QRadioButton>(QString::fromLatin1(ranges[i]), QStringLiteral("optSlave_%1").arg(i));
    slaveRangeGroup_->addButton(slaveRangeOptions_[i], i);
    grid->addWidget(slaveRangeOptions_[i], i / 3, i % 3);
  }
  slaveRangeOptions_[0]->setChecked(true);
  tabToCheckedOption(slaveRangeGroup_);
  connect(slaveRangeGroup_, &QButtonGroup::idClicked, this, [this] { slaveRangeChosen_ = true; });
  connect(slaveRangeGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) slaveRangeChosen_ = true;
  });
  QLabel* help = makeLabel(QStringLiteral("Slave mode allows multiple XAVs to be 'daisy-chained' so that descrete "
                                          "switches beyond the 11 available on a single XAV may be used.\n\n"
                                          "To 'daisy-chain' a XAV, connect terminals 3-3, 4-4 and 6-6."));
  wrapWithin(help, textWidth(help, 48));
  help->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  grid->addWidget(help, 2, 0, 1, 3);
  grid->setRowStretch(3, 1);
}

void XavCfgWindow::buildModbusScannerFrame() {
  auto* grid = new QGridLayout(optionFrames_[4]);
  modbusBaseRegisterBox_ = makeBox("txtBaseReg", QStringLiteral("40001"));
  modbusLastRegisterBox_ = makeBox("Text3", QStringLiteral("40040"));
  modbusLastRegisterBox_->setEnabled(false);
  modbusSlaveAddressBox_ = makeBox("txtSlave", QStringLiteral("1"));
  grid->addWidget(labelFor(modbusBaseRegisterBox_, QStringLiteral("&Base register")), 0, 0);
  grid->addWidget(modbusBaseRegisterBox_, 0, 1);
  // A display only (disabled): its label leads nowhere.
  grid->addWidget(makeLabel(QStringLiteral("Last Register")), 1, 0);
  grid->addWidget(modbusLastRegisterBox_, 1, 1);
  grid->addWidget(labelFor(modbusSlaveAddressBox_, QStringLiteral("&PLC Slave Address")), 2, 0);
  grid->addWidget(modbusSlaveAddressBox_, 2, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(3, 1);
  connect(modbusBaseRegisterBox_, &QLineEdit::textChanged, this,
          [this](const QString& t) { modbusLastRegisterBox_->setText(lastRegisterText(t)); });
}

void XavCfgWindow::buildDf1ScannerFrame() {
  auto* grid = new QGridLayout(optionFrames_[5]);
  df1BaseRegisterBox_ = makeBox("txtBaseRegDF1", QStringLiteral("0"));
  df1FileNumberBox_ = makeBox("txtFileNo", QStringLiteral("12"));
  df1PlcAddressBox_ = makeBox("txtSlaveDF1", QStringLiteral("1"));
  df1BaudRateBox_ = new QComboBox;
  df1BaudRateBox_->setObjectName(QStringLiteral("Combo1"));
  df1BaudRateBox_->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
  df1PositionRangeBox_ = makeBox("txtDf1Pos", QString());
  df1RequestRangeBox_ = makeBox("txtDF1Req", QString());
  const std::pair<QWidget*, QString> rows[] = {
      {df1BaseRegisterBox_, QStringLiteral("&Base Register")}, {df1FileNumberBox_, QStringLiteral("&File Number")},
      {df1PlcAddressBox_, QStringLiteral("&PLC Address")},      {df1BaudRateBox_, QStringLiteral("Baud&Rate")},
      {df1PositionRangeBox_, QStringLiteral("Position Registers")},
      {df1RequestRangeBox_, QStringLiteral("Request Registers")}};
  int row = 0;
  for (const auto& [field, caption] : rows) {
    // The two ranges are displays, out of the Tab order: their labels lead nowhere.
    const bool display = field == df1PositionRangeBox_ || field == df1RequestRangeBox_;
    grid->addWidget(display ? makeLabel(caption) : labelFor(field, caption), row, 0);
    grid->addWidget(field, row++, 1);
  }
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(row, 1);
  for (QLineEdit* display : {df1PositionRangeBox_, df1RequestRangeBox_}) {
    display->setReadOnly(true);  // display only: every key is discarded
    QPalette p = display->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    p.setColor(QPalette::Text, p.color(QPalette::ButtonText));
    display->setPalette(p);
    display->setFocusPolicy(Qt::NoFocus);
    display->setMinimumWidth(display->fontMetrics().horizontalAdvance(QStringLiteral("N256:216 - N256:255  ")));
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
  distributorCountBox_ = makeBox("txtDistScanCnt", QStringLiteral("20"));
  distributorCountLabel_ = labelFor(distributorCountBox_, QStringLiteral("&Nbr. Distributors to Scan"), "lblDistScanCnt");
  distributorCountBox_->setContextMenuPolicy(Qt::NoContextMenu);
  distributorCountBox_->setMaximumWidth(distributorCountBox_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
  distributorCountBox_->installEventFilter(this);
  keepPlace(distributorCountLabel_);
  keepPlace(distributorCountBox_);
  distributorCountLabel_->hide();
  distributorCountBox_->hide();
}

// The title (Ethernet only), the loader's wait label, Save, Verify and Exit.
void XavCfgWindow::buildBottomRow() {
  titleBox_ = new QLineEdit;
  titleBox_->setObjectName(QStringLiteral("txtTitle"));
  titleBox_->setToolTip(QStringLiteral("Configuration title"));
  titleBox_->setPlaceholderText(QStringLiteral("Configuration title"));
  // The title goes into a comma-separated file: a comma can be neither
  // typed nor pasted.
  titleBox_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^,]*")), titleBox_));
  titleBox_->hide();
  titleLabel_ = labelFor(titleBox_, QStringLiteral("&Title"), "lblTitle");
  titleLabel_->hide();

  loaderWaitLabel_ = makeLabel(QStringLiteral("Please wait - this operation may take up to 1 minute."), "lblWait");
  wrapWithin(loaderWaitLabel_, textWidth(loaderWaitLabel_, 30));
  keepPlace(loaderWaitLabel_);
  loaderWaitLabel_->hide();

  saveButton_ = makeButton<QPushButton>(QStringLiteral("&Save CFG to XAV"), QStringLiteral("cmdUpdateXAV"));
  saveButton_->setEnabled(false);
  connect(saveButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdUpdateXAV_Click);
  verifyButton_ = makeButton<QPushButton>(QStringLiteral("&Verify"), QStringLiteral("cmdVerify"));
  verifyButton_->setToolTip(QStringLiteral("Ask the module again and compare what it holds with what was sent"));
  verifyButton_->setEnabled(false);
  keepPlace(verifyButton_);
  verifyButton_->hide();  // shown once a save has sent something
  connect(verifyButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdVerify_Click);
  exitButton_ = makeButton<QPushButton>(QStringLiteral("E&xit"), QStringLiteral("Command4"));
  connect(exitButton_, &QPushButton::clicked, this, &XavCfgWindow::Command4_Click);
}

// The status line and the wait panel. The panel lies outside the input
// area: its Cancel stays usable while the rest of the window refuses input.
void XavCfgWindow::buildWaitAndStatus() {
  statusLabel_ = makeLabel(QString(), "lblStatus");
  wrapWithin(statusLabel_, textWidth(statusLabel_, 40));
  statusLabel_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  waitPanel_ = new gw::WaitPanel(gw::sharedUtilityRunner(), gw::WaitPanel::Names{}, this);
  // Cancel ends the session that waits, so it finishes as cancelled and
  // says what that left behind; a lone run (the toolbox) is ended itself.
  waitPanel_->setCancelAction([this] {
    for (gw::Session* s : std::initializer_list<gw::Session*>{discoverySession_, pickSession_, saveSession_, verifySession_})
      if (s && s->isActive()) {
        s->cancel();
        return;
      }
    gw::sharedUtilityRunner().cancel();
  });
  waitPanel_->hide();
}

}  // namespace xavcfg
