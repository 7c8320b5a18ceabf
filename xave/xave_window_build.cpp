// XAVE's controls in Qt layouts: the module column on the left, the
// protocol pane, title and buttons on the right, the banner (or the wait
// panel in its place) and the status line across the bottom. The window
// follows the user's font; the tab order is set once all controls exist
// (keepTabOrder), in the order of the original form.
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "processes.h"
#include "wrapped_label.h"
#include "wait_panel.h"
#include "modgetip.h"
#include "xave_window.h"

namespace xave {

namespace {

// Start texts of the protocol's number boxes (the window's design texts).
const QString kStartFileNumber = QStringLiteral("7");
const QString kStartBaseElement = QStringLiteral("0");
const QString kStartRegister = QStringLiteral("40001");
const QString kStartSlot = QStringLiteral("0");

template <class W>
W* named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent) {
  return named(new QLabel(text, parent), name);
}

QLineEdit* makeBox(const QString& name, const QString& text, QWidget* parent) {
  return named(new QLineEdit(text, parent), name);
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent) {
  auto* b = named(new QPushButton(text, parent), name);
  b->setAutoDefault(false);
  return b;
}

// A number box wide enough for its longest value at any font.
void fitWidth(QLineEdit* box, const QString& widest) {
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(widest) + 16);
  box->setMaximumWidth(box->fontMetrics().horizontalAdvance(widest) * 2 + 16);
}

}  // namespace

void XaveWindow::buildWindow() {
  scanTimer_ = new QTimer(this);
  scanTimer_->setObjectName(QStringLiteral("Timer1"));
  scanTimer_->setInterval(1000);
  connect(scanTimer_, &QTimer::timeout, this, &XaveWindow::Timer1_Timer);
  discovery_ = new gw::BackgroundCommand(this);

  // One parent for every control that takes input, so a wait disables them
  // all at once and gives each its own state back afterwards.
  inputArea_ = new QWidget(this);
  auto* columns = new QHBoxLayout(inputArea_);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->addWidget(buildModuleColumn(), 2);
  auto* right = new QVBoxLayout;
  right->addWidget(buildProtocolColumn());
  right->addWidget(buildButtons());
  right->addStretch(1);
  columns->addLayout(right, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(inputArea_, 1);
  layout->addWidget(buildBottom());
  statusLine_ = makeLabel(QStringLiteral("lblStatus"), QString(), this);
  statusLine_->setFrameShape(QFrame::StyledPanel);
  statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusLine_->setWordWrap(true);
  layout->addWidget(statusLine_);

  pane_.plcIp = &plcIp_;
  gw::installEntryRules(pane_);
  keepTabOrder();
}

QWidget* XaveWindow::buildModuleColumn() {
  auto* column = new QWidget(inputArea_);
  auto* v = new QVBoxLayout(column);
  v->setContentsMargins(0, 0, 0, 0);
  moduleFrame_ = named(new QGroupBox(QStringLiteral("Etherner Modules"), column), QStringLiteral("Frame2"));
  auto* label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Select IP address of XAV &module to configure."),
                           moduleFrame_);
  label1->setWordWrap(true);
  moduleList_ = named(new QListWidget(moduleFrame_), QStringLiteral("LV1"));
  moduleList_->installEventFilter(this);
  // At least a whole address shows, whatever the window's width.
  moduleList_->setMinimumWidth(moduleList_->fontMetrics().horizontalAdvance(QStringLiteral("000.000.000.000, ")) +
                               2 * moduleList_->frameWidth() + 8);
  label1->setBuddy(moduleList_);
  connect(moduleList_, &QListWidget::itemClicked, this, &XaveWindow::LV1_Click);
  scanStateLabel_ = makeLabel(QStringLiteral("lblScanOn"), QString(), moduleFrame_);
  rescanButton_ = makeButton(QStringLiteral("cmdReScan"), QStringLiteral("&Re-Scan"), moduleFrame_);
  connect(rescanButton_, &QPushButton::clicked, this, &XaveWindow::cmdReScan_Click);
  auto* f = new QVBoxLayout(moduleFrame_);
  f->addWidget(label1);
  f->addWidget(moduleList_, 1);
  f->addWidget(scanStateLabel_);
  auto* rescanRow = new QHBoxLayout;
  rescanRow->addWidget(rescanButton_);
  rescanRow->addStretch(1);
  f->addLayout(rescanRow);
  v->addWidget(moduleFrame_, 1);

  changeAddressButton_ = makeButton(QStringLiteral("cmdToolbox"), QStringLiteral("Change &IP Address"), column);
  changeAddressButton_->setEnabled(false);
  connect(changeAddressButton_, &QPushButton::clicked, this, &XaveWindow::cmdToolbox_Click);
  v->addWidget(changeAddressButton_);
  return column;
}

QWidget* XaveWindow::buildProtocolColumn() {
  auto* column = new QWidget(inputArea_);
  auto* v = new QVBoxLayout(column);
  v->setContentsMargins(0, 0, 0, 0);
  protocolFrame_ = named(new QGroupBox(QStringLiteral("Ethernet Protocols"), column), QStringLiteral("FrOptions"));
  auto* group = new QButtonGroup(this);
  const QString captions[4] = {QString(), QStringLiteral("Ethernet/IP PCCC - (Micrologix, SLC processors.)"),
                               QStringLiteral("Ethernet/IP  - (Compactlogix and Controllogix processors.)"),
                               QStringLiteral("Modbus/TCP - (Universal)")};
  auto* f = new QVBoxLayout(protocolFrame_);
  for (int c = 1; c <= 3; ++c) {
    auto* opt = named(new QRadioButton(captions[c], protocolFrame_), QStringLiteral("optEthMode%1").arg(c));
    group->addButton(opt, c);
    connect(opt, &QRadioButton::clicked, this, [this, c] { gw::selectProtocol(pane_, c); });
    connect(opt, &QRadioButton::toggled, this, &XaveWindow::updateProtocolTabStop);
    pane_.optEthMode[c] = opt;
    f->addWidget(opt);
  }
  buildProtocolFields(protocolFrame_);
  v->addWidget(protocolFrame_);

  auto* titleRow = new QHBoxLayout;
  titleLabel_ = makeLabel(QStringLiteral("lblTitle"), QStringLiteral("&Title"), column);
  pane_.txtTitle = makeBox(QStringLiteral("txtTitle"), QStringLiteral("Change this title if you wish."), column);
  pane_.txtTitle->setToolTip(QStringLiteral("Configuration title"));
  titleLabel_->setBuddy(pane_.txtTitle);
  titleRow->addWidget(titleLabel_);
  titleRow->addWidget(pane_.txtTitle, 1);
  v->addLayout(titleRow);
  updateProtocolTabStop();
  return column;
}

void XaveWindow::buildProtocolFields(QGroupBox* frame) {
  // One row for the address, one for the protocol's first number (file,
  // register or slot: only one shows), one for its second (base element or
  // the CIP note).
  auto* grid = new QGridLayout;
  auto field = [&](QLabel*& label, const QString& name, const QString& caption, QLineEdit*& box,
                   const QString& boxName, const QString& start, int row) {
    label = makeLabel(name, caption, frame);
    box = makeBox(boxName, start, frame);
    label->setBuddy(box);
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1, Qt::AlignLeft);
  };
  field(pane_.lblEthernet5, QStringLiteral("lblEthernet5"), QStringLiteral("P&LC IP Addr."), pane_.txtIPAddress,
        QStringLiteral("txtIPAddress"), QString(), 0);
  field(pane_.lblEthernet0, QStringLiteral("lblEthernet0"), QStringLiteral("Integer &File Number"), pane_.txtEIPFile,
        QStringLiteral("txtEIPFile"), kStartFileNumber, 1);
  field(pane_.lblEthernet1, QStringLiteral("lblEthernet1"), QStringLiteral("&Base register"), pane_.txtEIPOff,
        QStringLiteral("txtEIPOff"), kStartBaseElement, 2);
  field(pane_.lblEthernet3, QStringLiteral("lblEthernet3"), QStringLiteral("Base Re&gister"), pane_.txtMBReg,
        QStringLiteral("txtMBReg"), kStartRegister, 1);
  pane_.txtMBReg->setToolTip(QStringLiteral("Starting Register - 40 elements will be used."));
  field(pane_.lblEipPath, QStringLiteral("lblEipPath"), QStringLiteral("&Processor Slot"), pane_.txtEipPath,
        QStringLiteral("txtEipPath"), kStartSlot, 1);
  pane_.lblEipCipDesc = makeLabel(
      QStringLiteral("lblEipCipDesc"),
      QStringLiteral("Uses Tag names TVR_POS and TVR_REQ, each created as Integer (16 Bit) x 20 element registers."),
      frame);
  // Sized for two lines, which it takes when the window is at its minimum
  // (a small screen, a large font).
  xav::wrapWithin(pane_.lblEipCipDesc, pane_.lblEipCipDesc->fontMetrics().averageCharWidth() * 48);
  grid->addWidget(pane_.lblEipCipDesc, 2, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  pane_.txtIPAddress->setMinimumWidth(pane_.txtIPAddress->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 16);
  fitWidth(pane_.txtEIPFile, QStringLiteral("0000"));
  fitWidth(pane_.txtEIPOff, QStringLiteral("0000"));
  fitWidth(pane_.txtEipPath, QStringLiteral("0000"));
  fitWidth(pane_.txtMBReg, QStringLiteral("4655140"));
  // The frame keeps the height of its tallest protocol, so a choice moves nothing below it.
  for (int row = 0; row < 3; ++row) grid->setRowMinimumHeight(row, pane_.txtIPAddress->sizeHint().height());
  static_cast<QVBoxLayout*>(frame->layout())->addLayout(grid);
}

QWidget* XaveWindow::buildButtons() {
  auto* area = new QWidget(inputArea_);
  auto* v = new QVBoxLayout(area);
  v->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  saveButton_ = makeButton(QStringLiteral("cmdUpdateXAV"), QStringLiteral("&Save CFG to XAV"), area);
  saveButton_->setEnabled(false);
  connect(saveButton_, &QPushButton::clicked, this, &XaveWindow::cmdUpdateXAV_Click);
  verifyButton_ = makeButton(QStringLiteral("cmdVerify"), QStringLiteral("&Verify"), area);
  verifyButton_->setToolTip(QStringLiteral("Fetch the module's Config.csv again and compare it with the one sent"));
  verifyButton_->setEnabled(false);
  connect(verifyButton_, &QPushButton::clicked, this, &XaveWindow::cmdVerify_Click);
  exitButton_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), area);
  connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
  row->addWidget(saveButton_);
  row->addWidget(verifyButton_);
  row->addStretch(1);
  row->addWidget(exitButton_);
  v->addLayout(row);

  // The module's memory: its history, what a save would change, the log.
  auto* memory = new QHBoxLayout;
  historyButton_ = makeButton(QStringLiteral("cmdHistory"), QStringLiteral("&History"), area);
  historyButton_->setToolTip(QStringLiteral("The picked module's configurations as read and sent, with Restore"));
  historyButton_->setEnabled(false);
  connect(historyButton_, &QPushButton::clicked, this, &XaveWindow::cmdHistory_Click);
  compareButton_ = makeButton(QStringLiteral("cmdCompare"), QStringLiteral("Compar&e before saving"), area);
  compareButton_->setToolTip(QStringLiteral("What Save would change against the file read back from the module"));
  compareButton_->setEnabled(false);
  connect(compareButton_, &QPushButton::clicked, this, &XaveWindow::cmdCompare_Click);
  serviceLogButton_ = makeButton(QStringLiteral("cmdServiceLog"), QStringLiteral("Service L&og"), area);
  serviceLogButton_->setToolTip(QStringLiteral("Every operation on a module, one line each"));
  connect(serviceLogButton_, &QPushButton::clicked, this, &XaveWindow::cmdServiceLog_Click);
  memory->addWidget(historyButton_);
  memory->addWidget(compareButton_);
  memory->addStretch(1);
  memory->addWidget(serviceLogButton_);
  v->addLayout(memory);

  pane_.lblWait = makeLabel(QStringLiteral("lblWait"), QStringLiteral("Please wait - this operation may take up to 1 minute."),
                            area);
  // Red on the window's own colour: dark red on a light theme, a light red
  // on a dark one, so the warning reads on both.
  QPalette waitInk = pane_.lblWait->palette();
  const bool dark = waitInk.color(QPalette::Window).lightness() < 128;
  waitInk.setColor(QPalette::WindowText, dark ? QColor(255, 140, 140) : QColor(0xc0, 0, 0));
  pane_.lblWait->setPalette(waitInk);
  QFont waitFont = pane_.lblWait->font();
  waitFont.setBold(true);
  pane_.lblWait->setFont(waitFont);
  pane_.lblWait->setWordWrap(true);
  pane_.lblWait->hide();
  v->addWidget(pane_.lblWait);
  // Nothing here counts down: the form's empty countdown label stays, hidden,
  // so it takes no line from a window that must fit small screens.
  QLabel* countdown = makeLabel(QStringLiteral("lblCntDn"), QString(), area);
  countdown->hide();
  v->addWidget(countdown);
  return area;
}

QWidget* XaveWindow::buildBottom() {
  // The wait panel takes the banner's cell while it shows; outside the
  // input area, so it stays usable while the rest is disabled.
  auto* bottom = new QWidget(this);
  auto* grid = new QGridLayout(bottom);
  grid->setContentsMargins(0, 0, 0, 0);
  banner_ = makeLabel(QStringLiteral("lblBanner"), QStringLiteral("XAVE  -  XAV Ethernet Configuration"), bottom);
  QFont bf = banner_->font();
  bf.setPointSizeF(bf.pointSizeF() * 13.0 / 8.0);  // the design's 13 pt over an 8 pt window
  bf.setBold(true);
  banner_->setFont(bf);
  banner_->setAlignment(Qt::AlignCenter);
  grid->addWidget(banner_, 0, 0);
  waitPanel_ = new gw::WaitPanel(runner_, {QStringLiteral("fraWait"), QStringLiteral("lblWaiting"), QStringLiteral("cmdCancel")},
                                 bottom);
  waitPanel_->setDescription([](const gw::UtilityWait& wait) {
    QString text = QStringLiteral("Waiting for ") + wait.program;
    if (!wait.moduleAddress.isEmpty()) text += QStringLiteral(" (module ") + shownAddress(wait.moduleAddress) + u')';
    return text + QStringLiteral(": %1 s").arg(wait.elapsedSeconds);
  });
  waitPanel_->installEventFilter(this);
  grid->addWidget(waitPanel_, 0, 0);
  return bottom;
}

void XaveWindow::keepTabOrder() {
  QWidget* order[] = {moduleList_,         rescanButton_,        changeAddressButton_, pane_.optEthMode[1],
                      pane_.optEthMode[2], pane_.optEthMode[3],  pane_.txtIPAddress,   pane_.txtEIPFile,
                      pane_.txtEIPOff,     pane_.txtMBReg,       pane_.txtEipPath,     pane_.txtTitle,
                      saveButton_,         verifyButton_,        exitButton_,          historyButton_,
                      compareButton_,      serviceLogButton_,    waitPanel_->cancelButton()};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

// Tab into the protocols lands on the checked one (the first when none
// is): only that option is a Tab stop; the arrows still move between them.
void XaveWindow::updateProtocolTabStop() {
  int stop = gw::selectedProtocol(pane_);
  if (stop == gw::kNoProtocol) stop = 1;
  for (int c = 1; c <= 3; ++c)
    if (pane_.optEthMode[c]) pane_.optEthMode[c]->setFocusPolicy(c == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void XaveWindow::SetEthernetConfiguration() {
  show();
  moduleFrame_->show();
  protocolFrame_->show();
  pane_.txtTitle->show();
}

}  // namespace xave
