// XavCfgWindow's builders of the Ethernet side: the module list with its
// history buttons, and the protocol pane shared with the Ethernet tool.
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "window_building.h"
#include "xav_cfg_window.h"

namespace xavcfg {

using namespace building;

namespace {

const char* const kProtocolCaptions[4] = {"", "Ethernet/IP PCCC - (Micrologix, SLC processors.)",
                                          "Ethernet/IP  - (Compactlogix and Controllogix processors.)",
                                          "Modbus/TCP - (Universal)"};

}  // namespace

// Left column, Ethernet: the module list, its buttons and the history.
void XavCfgWindow::buildModuleListColumn() {
  moduleListFrame_ = new QGroupBox(QStringLiteral("Etherner Modules"));
  moduleListFrame_->setObjectName(QStringLiteral("Frame2"));
  auto* box = new QVBoxLayout(moduleListFrame_);
  moduleList_ = new QListWidget;
  moduleList_->setObjectName(QStringLiteral("LV1"));
  moduleListHint_ = labelFor(moduleList_, QStringLiteral("Select IP &address of XAV module to configure."), "Label1_1");
  wrapWithin(moduleListHint_, textWidth(moduleListHint_, 24));
  box->addWidget(moduleListHint_);
  box->addWidget(moduleList_, 1);
  connect(moduleList_, &QListWidget::itemClicked, this, [this] { LV1_Click(); });
  connect(moduleList_, &QListWidget::itemActivated, this, [this] { LV1_Click(); });
  rescanButton_ = makeButton<QPushButton>(QStringLiteral("&Re-Scan"), QStringLiteral("cmdReScan"));
  connect(rescanButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdReScan_Click);
  box->addWidget(rescanButton_);
  toolboxButton_ = makeButton<QPushButton>(QStringLiteral("&Discover/Change Ethernet Module Address"),
                                           QStringLiteral("cmdToolbox"));
  connect(toolboxButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdToolbox_Click);
  historyButton_ = makeButton<QPushButton>(QStringLiteral("&History"), QStringLiteral("cmdHistory"));
  historyButton_->setToolTip(QStringLiteral("What was read from, saved to and restored on the picked module"));
  historyButton_->setEnabled(false);
  connect(historyButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdHistory_Click);
  compareButton_ = makeButton<QPushButton>(QStringLiteral("Co&mpare before saving"), QStringLiteral("cmdCompare"));
  compareButton_->setToolTip(QStringLiteral("What a Save would change on the picked module"));
  compareButton_->setEnabled(false);
  connect(compareButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdCompare_Click);
  serviceLogButton_ = makeButton<QPushButton>(QStringLiteral("Service lo&g"), QStringLiteral("cmdServiceLog"));
  connect(serviceLogButton_, &QPushButton::clicked, this, &XavCfgWindow::cmdServiceLog_Click);
  auto* history = new QGridLayout;
  history->addWidget(historyButton_, 0, 0);
  history->addWidget(serviceLogButton_, 0, 1);
  history->addWidget(compareButton_, 1, 0, 1, 2);
  box->addLayout(history);
}

// The Ethernet frame: protocol options, the address, then the boxes of each
// protocol, which share their rows (one protocol is shown at a time).
void XavCfgWindow::buildEthernetPane() {
  auto* grid = new QGridLayout(optionFrames_[7]);
  protocolGroup_ = new QButtonGroup(this);
  for (int p = 1; p <= 3; ++p) {
    protocolOptions_[p] =
        makeButton<QRadioButton>(QString::fromLatin1(kProtocolCaptions[p]), QStringLiteral("optEthMode_%1").arg(p));
    protocolGroup_->addButton(protocolOptions_[p], p);
    grid->addWidget(protocolOptions_[p], p - 1, 0, 1, 3);
    connect(protocolOptions_[p], &QRadioButton::clicked, this, [this, p] { optEthMode_Click(p); });
  }
  tabToCheckedOption(protocolGroup_);
  buildEthernetPaneBoxes();
  grid->addWidget(plcAddressLabel_, 3, 0);
  grid->addWidget(plcAddressBox_, 3, 1);
  grid->addWidget(pcccFileNumberLabel_, 4, 0);
  grid->addWidget(pcccFileNumberBox_, 4, 1);
  grid->addWidget(modbusTcpRegisterLabel_, 4, 0);
  grid->addWidget(modbusTcpRegisterBox_, 4, 1);
  grid->addWidget(pcccBaseElementLabel_, 5, 0);
  grid->addWidget(pcccBaseElementBox_, 5, 1);
  grid->addWidget(cipTagsLabel_, 4, 0, 2, 3, Qt::AlignTop);
  grid->addWidget(cipSlotLabel_, 6, 0);
  grid->addWidget(cipSlotBox_, 6, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(7, 1);
}

void XavCfgWindow::buildEthernetPaneBoxes() {
  plcAddressBox_ = makeBox("txtIPAddress", QString());
  plcAddressLabel_ = labelFor(plcAddressBox_, QStringLiteral("PLC &IP Addr."), "lblEthernet_5");
  plcAddressBox_->setMinimumWidth(plcAddressBox_->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 16);
  pcccFileNumberBox_ = makeBox("txtEIPFile", QStringLiteral("7"));
  pcccFileNumberLabel_ = labelFor(pcccFileNumberBox_, QStringLiteral("Integer &File Number"), "lblEthernet_0");
  pcccBaseElementBox_ = makeBox("txtEIPOff", QStringLiteral("0"));
  pcccBaseElementLabel_ = labelFor(pcccBaseElementBox_, QStringLiteral("&Base register"), "lblEthernet_1");
  cipTagsLabel_ = makeLabel(QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 "
                                           "element registers."),
                            "lblEipCipDesc");
  wrapWithin(cipTagsLabel_, textWidth(cipTagsLabel_, 48));
  cipSlotBox_ = makeBox("txtEipPath", QStringLiteral("0"));
  cipSlotLabel_ = labelFor(cipSlotBox_, QStringLiteral("Processor S&lot"), "lblEipPath");
  modbusTcpRegisterBox_ = makeBox("txtMBReg", QStringLiteral("40001"));
  modbusTcpRegisterLabel_ = labelFor(modbusTcpRegisterBox_, QStringLiteral("&Base Register"), "lblEthernet_3");
  modbusTcpRegisterBox_->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
  for (QWidget* w : {static_cast<QWidget*>(plcAddressLabel_), static_cast<QWidget*>(plcAddressBox_),
                     static_cast<QWidget*>(pcccFileNumberLabel_), static_cast<QWidget*>(pcccFileNumberBox_),
                     static_cast<QWidget*>(pcccBaseElementLabel_), static_cast<QWidget*>(pcccBaseElementBox_),
                     static_cast<QWidget*>(cipTagsLabel_), static_cast<QWidget*>(cipSlotLabel_),
                     static_cast<QWidget*>(cipSlotBox_), static_cast<QWidget*>(modbusTcpRegisterLabel_),
                     static_cast<QWidget*>(modbusTcpRegisterBox_)})
    keepPlace(w);
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
