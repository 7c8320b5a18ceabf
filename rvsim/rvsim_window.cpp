#include "rvsim_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <utility>

#include "colours.h"
#include "drive_letters.h"
#include "message_boxes.h"
#include "request_box.h"
#include "simulator.h"
#include "traffic_window.h"

namespace rvsim {

namespace {

QString hostAddress() {
  for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
    if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString();
  }
  return QStringLiteral("127.0.0.1");
}

// The rows' scroll area asks for all 20 rows; it scrolls only when the
// window is made smaller than that.
class RowsArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    if (!widget()) return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return widget()->sizeHint() + QSize(frame + verticalScrollBar()->sizeHint().width(), frame);
  }
  QSize minimumSizeHint() const override {
    const int h = fontMetrics().height();
    return {12 * h, 8 * h};
  }
};

// The whole form scrolls when the screen is smaller than it (large fonts on
// a small or scaled screen), so no control is ever out of reach; it asks for
// the form's own size, not the capped one a scroll area asks for.
class FormArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    if (!widget()) return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return widget()->sizeHint() + QSize(frame, frame);
  }
  QSize minimumSizeHint() const override {
    const int h = fontMetrics().height();
    return {16 * h, 10 * h};
  }
};

// The whole box scrolled into view, not only its text cursor (what
// ensureWidgetVisible() looks after): a request box cut in half is no use.
void showWhole(QScrollArea* area, QWidget* w) {
  const QRect r(w->mapTo(area->widget(), QPoint(0, 0)), w->size());
  area->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 4, r.height() / 2 + 4);
}

bool askYesNo(QWidget* parent, const QString& question) {
  return QMessageBox::question(parent, parent->windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

// Grid columns of the register rows.
enum Column { ColModReg, ColAddr, ColPosReg, ColModReg1, ColReqReg, ColCapReg };

}  // namespace

RvsimWindow::RvsimWindow(Simulator& simulator, QWidget* parent)
    : QWidget(parent), simulator_(simulator), displayTimer_(new QTimer(this)), countersTimer_(new QTimer(this)),
      confirm_(askYesNo) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("RVSIM Modbus/TCP PLC Simulator 2.0"));
  rowsWidget_ = new QWidget;
  rowsWidget_->setObjectName(QStringLiteral("rowsPanel"));
  rowsGrid_ = new QGridLayout(rowsWidget_);
  rowsGrid_->setHorizontalSpacing(6);
  rowsGrid_->setVerticalSpacing(2);
  rowsGrid_->setColumnStretch(ColCapReg, 1);
  rowsGrid_->setRowStretch(kRows + 1, 1);
  buildTemplates();
  buildHeadings();
  buildStatusFrame();
  buildMonitor();
  buildTrafficFrame();
  buildButtons();
  buildFaultsMenu();
  buildLayout();
  connectSimulator();
  simulator_.setTrafficLogOn(true);

  displayTimer_->setSingleShot(true);
  displayTimer_->setInterval(kDisplayIntervalMs);
  connect(displayTimer_, &QTimer::timeout, this, &RvsimWindow::flushDisplay);
  countersTimer_->setInterval(kCountersIntervalMs);
  connect(countersTimer_, &QTimer::timeout, this, &RvsimWindow::showCounters);
  countersTimer_->start();
  showCounters();
}

RvsimWindow::~RvsimWindow() = default;

// Hidden templates (element 0 of each column) stand for the columns; the
// rows take their widths from them.
void RvsimWindow::buildTemplates() {
  const QFontMetrics fm = fontMetrics();
  auto label = [this](const QString& name, Qt::Alignment alignment, int width) {
    auto* l = new QLabel(rowsWidget_);
    l->setObjectName(name);
    l->setAlignment(alignment | Qt::AlignVCenter);
    l->setMinimumWidth(width);
    l->hide();
    return l;
  };
  // Register numbers up to 105536 (start 65535), drive letters, values up to 255.
  const int number = fm.horizontalAdvance(QStringLiteral("000000")) + 4;
  positionRegisterLabels_[0] = label(QStringLiteral("ModReg(0)"), Qt::AlignRight, number);
  driveLabels_[0] = label(QStringLiteral("Addr(0)"), Qt::AlignHCenter, fm.horizontalAdvance(QStringLiteral("Addr")) + 4);
  requestRegisterLabels_[0] = label(QStringLiteral("ModReg1(0)"), Qt::AlignRight, number);
  const int box = fm.horizontalAdvance(QStringLiteral("0000")) + 16;
  positionBoxes_[0] = new QLineEdit(rowsWidget_);
  positionBoxes_[0]->setObjectName(QStringLiteral("PosReg(0)"));
  positionBoxes_[0]->setMinimumWidth(box);
  positionBoxes_[0]->hide();
  requestBoxes_[0] = new RequestBox(0, rowsWidget_);
  requestBoxes_[0]->setMinimumWidth(box);
  requestBoxes_[0]->hide();
  captionBoxes_[0] = new CaptionBox(0, rowsWidget_);
  captionBoxes_[0]->setMinimumWidth(fm.horizontalAdvance(QLatin1Char('x')) * 14);
  captionBoxes_[0]->hide();
}

// Column headings over the rows; the product's name above the panel.
void RvsimWindow::buildHeadings() {
  const std::pair<const char*, int> headings[] = {
      {"Register", ColModReg}, {"Addr", ColAddr}, {"POS", ColPosReg}, {"Register", ColModReg1}, {"&REQ", ColReqReg}};
  for (const auto& [text, column] : headings) {
    auto* h = new QLabel(QString::fromLatin1(text), rowsWidget_);
    h->setAlignment(Qt::AlignCenter);
    rowsGrid_->addWidget(h, 0, column);
    if (column == ColReqReg) reqHeading_ = h;
  }
  // Alt+N reaches the captions as Alt+R reaches the requests.
  capHeading_ = new QLabel(QStringLiteral("Captio&ns"), rowsWidget_);
  rowsGrid_->addWidget(capHeading_, 0, ColCapReg);
  heading_ = new QLabel(QStringLiteral("XAV Gateway - RVSIM"), this);
  heading_->setObjectName(QStringLiteral("lblHeading"));
  QFont hf = heading_->font();
  hf.setBold(true);
  heading_->setFont(hf);
}

void RvsimWindow::buildStatusFrame() {
  statusFrame_ = new QGroupBox(QStringLiteral("Connection Status"), this);
  statusFrame_->setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(statusFrame_);
  auto statusBox = [&](const QString& name, const QString& caption, int row) {
    grid->addWidget(new QLabel(caption, statusFrame_), 2 * row, 0, 1, 2);
    auto* box = new QLineEdit(statusFrame_);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);  // display only: no Tab stop
    box->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Connection Pending")) + 16);
    setBackground(box, xav::colours::LightGrey);
    box->installEventFilter(this);
    grid->addWidget(box, 2 * row + 1, 0);
    return box;
  };
  localIpBox_ = statusBox(QStringLiteral("LocalIP"), QStringLiteral("Local IP Address"), 0);
  stateBox_ = statusBox(QStringLiteral("State"), QStringLiteral("Server Status"), 1);
  remoteIpBox_ = statusBox(QStringLiteral("RemoteIP"), QStringLiteral("XAV IP Address"), 2);
  activityLamp_ = new QFrame(statusFrame_);
  activityLamp_->setObjectName(QStringLiteral("shpActivity"));
  activityLamp_->setFrameShape(QFrame::Box);
  activityLamp_->setAutoFillBackground(true);
  activityLamp_->setFixedSize(14, 14);
  setBackground(activityLamp_, palette().color(QPalette::Button).rgb());
  grid->addWidget(activityLamp_, 3, 1, Qt::AlignCenter);
  grid->setColumnStretch(0, 1);
}

void RvsimWindow::buildMonitor() {
  monitorCheck_ = new QCheckBox(QStringLiteral("&D Monitor"), this);
  monitorCheck_->setObjectName(QStringLiteral("chkMonitor"));
  monitorClearButton_ = new QPushButton(QStringLiteral("C&lear"), this);
  monitorClearButton_->setObjectName(QStringLiteral("cmdMonitorClear"));
  monitorBox_ = new QPlainTextEdit(this);
  monitorBox_->setObjectName(QStringLiteral("txtMonitor"));
  monitorBox_->setMaximumBlockCount(kMonitorMaxLines);
  monitorBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
  monitorBox_->setTabChangesFocus(true);  // Tab must not trap the keyboard in the box
  monitorBox_->setMinimumHeight(3 * fontMetrics().lineSpacing() + 12);
  connect(monitorCheck_, &QCheckBox::toggled, this, [this](bool on) { simulator_.setMonitorOn(on); });
  connect(monitorBox_, &QPlainTextEdit::textChanged, this, [this] { monitorBox_->moveCursor(QTextCursor::End); });
  connect(monitorClearButton_, &QPushButton::clicked, this, [this] {
    pendingMonitor_.clear();
    monitorBox_->clear();
  });
}

// What the gateway does: counters, refreshed twice a second, and the
// button that opens the decoded frames.
void RvsimWindow::buildTrafficFrame() {
  trafficFrame_ = new QGroupBox(QStringLiteral("Traffic"), this);
  trafficFrame_->setObjectName(QStringLiteral("FrTraffic"));
  auto* grid = new QGridLayout(trafficFrame_);
  grid->setVerticalSpacing(2);
  const char* captions[kCounterCount] = {"Connections accepted", "Turned away",       "Replaced (same address)",
                                         "Reads answered (3)",   "Writes answered (16)", "Frames ignored",
                                         "Bytes in",             "Bytes out",         "Frames per second",
                                         "Last write"};
  const char* names[kCounterCount] = {"lblAccepted", "lblTurnedAway", "lblReplaced", "lblReads", "lblWrites",
                                      "lblIgnored",  "lblBytesIn",    "lblBytesOut", "lblRate",  "lblLastWrite"};
  for (int i = 0; i < kCounterCount; ++i) {
    grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), trafficFrame_), i, 0);
    auto* value = new QLabel(trafficFrame_);
    value->setObjectName(QString::fromLatin1(names[i]));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setAutoFillBackground(true);
    value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("9999.9 s ago")) + 4);
    grid->addWidget(value, i, 1);
    counterValues_[static_cast<size_t>(i)] = value;
  }
  grid->setRowStretch(kCounterCount, 1);
  trafficButton_ = new QPushButton(QStringLiteral("&Traffic..."), this);
  trafficButton_->setObjectName(QStringLiteral("cmdTraffic"));
  connect(trafficButton_, &QPushButton::clicked, this, &RvsimWindow::cmdTraffic_Click);
}

void RvsimWindow::buildButtons() {
  // Alt+P: nothing like the monitor's Clear (Alt+L), and it asks first.
  clearCaptionsButton_ = new QPushButton(QStringLiteral("Clear Ca&ptions"), this);
  clearCaptionsButton_->setObjectName(QStringLiteral("cmdClrCap"));
  exitButton_ = new QPushButton(QStringLiteral("E&xit"), this);
  exitButton_->setObjectName(QStringLiteral("cmdExit"));
  messageLine_ = new QLabel(this);
  messageLine_->setObjectName(QStringLiteral("lblMessage"));
  messageLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLine_->setMinimumWidth(1);  // long notes are cut here; the whole is in the tooltip
  connect(clearCaptionsButton_, &QPushButton::clicked, this, &RvsimWindow::cmdClrCap_Click);
  connect(exitButton_, &QPushButton::clicked, this, [this] {
    simulator_.stop();
    emit programEnd(0);
    close();
  });
}

void RvsimWindow::cmdClrCap_Click() {
  bool any = false;
  for (int i = 1; i <= kRows; ++i) any |= !simulator_.image().row(i).caption.isEmpty();
  if (any && !confirm_(this, QStringLiteral("Clear all 20 captions, and the captions file?"))) return;
  simulator_.clearCaptions();
}

// PLC-side faults, for trying how a gateway recovers; none is on at the start.
void RvsimWindow::buildFaultsMenu() {
  faultsButton_ = new QPushButton(QStringLiteral("Fa&ults"), this);
  faultsButton_->setObjectName(QStringLiteral("cmdFaults"));
  faultsMenu_ = new QMenu(faultsButton_);
  faultsMenu_->setObjectName(QStringLiteral("mnuFaults"));
  faultsButton_->setMenu(faultsMenu_);
  auto change = [this](const std::function<void(PlcFaults&)>& edit) {
    PlcFaults f = simulator_.faults();
    edit(f);
    simulator_.setFaults(f);
  };
  QMenu* delay = faultsMenu_->addMenu(QStringLiteral("&Delay every reply"));
  for (int ms : {0, 100, 250, 500, 1000, 2000, 5000, 10000}) {
    QAction* a = delay->addAction(ms ? QStringLiteral("%1 ms").arg(ms) : QStringLiteral("&No delay"));
    a->setObjectName(QStringLiteral("actDelay%1").arg(ms));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [change, ms] { change([ms](PlcFaults& f) { f.delayMs = ms; }); });
  }
  silentAction_ = faultsMenu_->addAction(QStringLiteral("&Stop answering (keep the connection)"));
  silentAction_->setObjectName(QStringLiteral("actSilent"));
  silentAction_->setCheckable(true);
  connect(silentAction_, &QAction::triggered, this, [change](bool on) { change([on](PlcFaults& f) { f.silent = on; }); });
  QAction* drop = faultsMenu_->addAction(QStringLiteral("&Close the connection now"));
  drop->setObjectName(QStringLiteral("actDrop"));
  connect(drop, &QAction::triggered, this, [this] { simulator_.dropConnection(); });
  QMenu* exception = faultsMenu_->addMenu(QStringLiteral("&Answer with an exception"));
  const std::pair<int, const char*> codes[] = {{0, "&No exception"},          {1, "1 Illegal function"},
                                               {2, "2 Illegal data address"}, {3, "3 Illegal data value"},
                                               {4, "4 Server device failure"}, {6, "6 Server device busy"},
                                               {10, "10 Gateway path unavailable"},
                                               {11, "11 Gateway target failed to respond"}};
  for (const auto& entry : codes) {
    const int code = entry.first;  // a plain variable: older clang cannot capture a structured binding
    QAction* a = exception->addAction(QString::fromLatin1(entry.second));
    a->setObjectName(QStringLiteral("actException%1").arg(code));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this,
            [change, code] { change([code](PlcFaults& f) { f.exception = static_cast<quint8>(code); }); });
  }
  refuseWritesAction_ = faultsMenu_->addAction(QStringLiteral("&Refuse writes (exception 4)"));
  refuseWritesAction_->setObjectName(QStringLiteral("actRefuseWrites"));
  refuseWritesAction_->setCheckable(true);
  connect(refuseWritesAction_, &QAction::triggered, this,
          [change](bool on) { change([on](PlcFaults& f) { f.refuseWrites = on; }); });
  faultsMenu_->addSeparator();
  QAction* off = faultsMenu_->addAction(QStringLiteral("All faults &off"));
  off->setObjectName(QStringLiteral("actFaultsOff"));
  connect(off, &QAction::triggered, this, [this] { simulator_.setFaults(PlcFaults{}); });
  faultsLabel_ = new QLabel(this);
  faultsLabel_->setObjectName(QStringLiteral("lblFaults"));
  faultsLabel_->setAutoFillBackground(true);
  faultsLabel_->setMargin(2);
  faultsLabel_->setMinimumWidth(1);
  faultsLabel_->hide();
  connect(&simulator_, &Simulator::faultsChanged, this, &RvsimWindow::showFaults);
}

// Which faults are on, in the menu's checks and on an orange line.
void RvsimWindow::showFaults() {
  const PlcFaults& f = simulator_.faults();
  for (QAction* a : faultsMenu_->findChildren<QAction*>()) {
    const QString name = a->objectName();
    if (name.startsWith(QLatin1String("actDelay"))) a->setChecked(name.mid(8).toInt() == f.delayMs);
    if (name.startsWith(QLatin1String("actException"))) a->setChecked(name.mid(12).toInt() == f.exception);
  }
  silentAction_->setChecked(f.silent);
  refuseWritesAction_->setChecked(f.refuseWrites);
  const QString text = QStringLiteral("Faults on: ") + f.describe();
  faultsLabel_->setText(text);
  faultsLabel_->setToolTip(text);
  setBackground(faultsLabel_, xav::colours::Orange);
  faultsLabel_->setVisible(f.any());
}

// Rows at the left (scrolling when the window is short), the status and
// monitor column, the traffic column, and a message line across the foot.
void RvsimWindow::buildLayout() {
  rowsArea_ = new RowsArea(this);
  rowsArea_->setObjectName(QStringLiteral("rowsArea"));
  rowsArea_->setWidgetResizable(true);
  rowsArea_->setFrameShape(QFrame::NoFrame);
  rowsArea_->setWidget(rowsWidget_);
  rowsArea_->setFocusPolicy(Qt::NoFocus);

  auto* monitorRow = new QHBoxLayout;
  monitorRow->addWidget(monitorCheck_);
  monitorRow->addWidget(monitorClearButton_);
  monitorRow->addStretch();
  auto* panel = new QVBoxLayout;
  panel->addWidget(heading_);
  panel->addWidget(statusFrame_);
  panel->addLayout(monitorRow);
  panel->addWidget(monitorBox_, 1);
  panel->addWidget(clearCaptionsButton_, 0, Qt::AlignLeft);

  auto* traffic = new QVBoxLayout;
  traffic->addSpacing(heading_->sizeHint().height() + panel->spacing());
  traffic->addWidget(trafficFrame_);
  auto* trafficButtons = new QHBoxLayout;
  trafficButtons->addWidget(trafficButton_);
  trafficButtons->addWidget(faultsButton_);
  trafficButtons->addStretch();
  traffic->addLayout(trafficButtons);
  traffic->addStretch(1);
  traffic->addWidget(exitButton_, 0, Qt::AlignRight);

  auto* form = new QWidget;
  form->setObjectName(QStringLiteral("formPanel"));
  auto* columns = new QHBoxLayout(form);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->addWidget(rowsArea_, 1);
  columns->addLayout(panel);
  columns->addLayout(traffic);
  auto* foot = new QHBoxLayout;
  foot->addWidget(messageLine_, 1);
  foot->addWidget(faultsLabel_);
  // A row reached by key (Tab, arrows, Enter in a caption) scrolls into view.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && rowsWidget_->isAncestorOf(now)) showWhole(rowsArea_, now);
    if (now && formArea_->widget()->isAncestorOf(now)) showWhole(formArea_, now);
  });
  formArea_ = new FormArea(this);
  formArea_->setObjectName(QStringLiteral("formArea"));
  formArea_->setWidgetResizable(true);
  formArea_->setFrameShape(QFrame::NoFrame);
  formArea_->setFocusPolicy(Qt::NoFocus);
  formArea_->setWidget(form);
  auto* top = new QVBoxLayout(this);
  top->addWidget(formArea_, 1);
  top->addLayout(foot);
}

void RvsimWindow::connectSimulator() {
  connect(&simulator_, &Simulator::connectionAccepted, this, [this](const QString& ip) {
    stateBox_->setText(QString::number(simulator_.state()));
    remoteIpBox_->setText(ip);
  });
  connect(&simulator_, &Simulator::connectionReplaced, this, [this](const QString& ip) {
    note(QStringLiteral("%1: the gateway %2 connected again; its old connection was closed and the new one is served.")
             .arg(timeOfDay(), ip));
  });
  connect(&simulator_, &Simulator::statusRefreshed, this, &RvsimWindow::showStatus);
  connect(&simulator_, &Simulator::arrivalHandled, this, [this] {
    // The screen follows at most once per interval: a gateway scans every
    // 0.5 s, but a fast client must not spend its time waiting for paints.
    if (activated_ && !displayTimer_->isActive()) {
      flushDisplay();
      displayTimer_->start();
    }
  });
  connect(&simulator_, &Simulator::labelsChanged, this, [this] { labelsDirty_ = true; });
  connect(&simulator_, &Simulator::positionsWritten, this, [this] { positionsDirty_ = true; });
  connect(&simulator_, &Simulator::monitorLine, this, [this](const QString& line) {
    if (pendingMonitor_.size() >= kMonitorMaxLines) pendingMonitor_.removeFirst();
    pendingMonitor_ << line;
  });
  connect(&simulator_, &Simulator::requestChanged, this, &RvsimWindow::showRequest);
  connect(&simulator_, &Simulator::captionsChanged, this, &RvsimWindow::showCaptions);
  // The program goes on after trouble: a note, not a box that holds up the start.
  connect(&simulator_, &Simulator::trouble, this, &RvsimWindow::note);
  connect(&simulator_, &Simulator::notice, this, &RvsimWindow::note);
}

void RvsimWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  firstActivation();
}

void RvsimWindow::closeEvent(QCloseEvent* e) {
  // A caption being typed when the window goes (Alt+X, the title bar's
  // close) never loses the focus the usual way; keep it all the same.
  if (qobject_cast<CaptionBox*>(focusWidget())) simulator_.CreateCaptionFile();
  if (trafficWindow_) trafficWindow_->close();
  QWidget::closeEvent(e);
}

void RvsimWindow::firstActivation() {
  if (activated_) return;
  activated_ = true;
  BuildRegisterRows();
  // The rows came after the window took its first size: it grows to hold
  // them all, as far as the screen allows (else the rows scroll). The scroll
  // areas do not pass on that their content grew; they are told.
  rowsArea_->updateGeometry();
  formArea_->updateGeometry();
  QSize natural = sizeHint();
  if (screen()) natural = natural.boundedTo(screen()->availableGeometry().size() - QSize(16, 48));
  resize(natural.expandedTo(size()));
  QString error;
  if (!simulator_.start(&error)) {
    endProgram(1, error);
    return;
  }
  localIpBox_->setText(hostAddress() + QLatin1Char(':') + QString::number(simulator_.server()->localPort()));
  // The captions come once the port listens, so no trouble with their file
  // keeps the gateway waiting.
  simulator_.OpenCaptions();
  requestBoxes_[1]->setFocus(Qt::OtherFocusReason);
}

void RvsimWindow::BuildRegisterRows() {
  for (int i = 1; i <= kRows; ++i) {
    buildRow(i);
    connectRow(i);
    syncRequest(i);
  }
  setTabOrders();
}

void RvsimWindow::buildRow(int i) {
  auto* pos = new QLineEdit(rowsWidget_);
  pos->setObjectName(QStringLiteral("PosReg(%1)").arg(i));
  pos->setMinimumWidth(positionBoxes_[0]->minimumWidth());
  pos->setReadOnly(true);
  pos->setFocusPolicy(Qt::ClickFocus);  // display only: no Tab stop
  setBackground(pos, xav::colours::White);
  pos->installEventFilter(this);
  positionBoxes_[i] = pos;

  auto* req = new RequestBox(i, rowsWidget_);
  req->setMinimumWidth(requestBoxes_[0]->minimumWidth());
  req->setText(QStringLiteral("0"));
  requestBoxes_[i] = req;

  auto cloneLabel = [&](QLabel* tmpl, const QString& name, const QString& text) {
    auto* l = new QLabel(text, rowsWidget_);
    l->setObjectName(name.arg(i));
    l->setAlignment(tmpl->alignment());
    l->setMinimumWidth(tmpl->minimumWidth());
    return l;
  };
  driveLabels_[i] = cloneLabel(driveLabels_[0], QStringLiteral("Addr(%1)"), QString(xav::driveLetter(i - 1)));
  positionRegisterLabels_[i] = cloneLabel(positionRegisterLabels_[0], QStringLiteral("ModReg(%1)"), QString());
  requestRegisterLabels_[i] = cloneLabel(requestRegisterLabels_[0], QStringLiteral("ModReg1(%1)"), QString());

  auto* cap = new CaptionBox(i, rowsWidget_);
  cap->setMinimumWidth(captionBoxes_[0]->minimumWidth());
  captionBoxes_[i] = cap;

  rowsGrid_->addWidget(positionRegisterLabels_[i], i, ColModReg);
  rowsGrid_->addWidget(driveLabels_[i], i, ColAddr);
  rowsGrid_->addWidget(pos, i, ColPosReg);
  rowsGrid_->addWidget(requestRegisterLabels_[i], i, ColModReg1);
  rowsGrid_->addWidget(req, i, ColReqReg);
  rowsGrid_->addWidget(cap, i, ColCapReg);
  for (QWidget* w : std::initializer_list<QWidget*>{positionRegisterLabels_[i], driveLabels_[i], pos,
                                                    requestRegisterLabels_[i], req, cap}) {
    w->show();
  }
  if (i == 1) {
    reqHeading_->setBuddy(req);
    capHeading_->setBuddy(cap);
  }
}

void RvsimWindow::connectRow(int i) {
  RequestBox* req = requestBoxes_[i];
  CaptionBox* cap = captionBoxes_[i];
  connect(req, &RequestBox::entryChanged, this, &RvsimWindow::syncRequest);
  connect(req, &RequestBox::stepFocus, this,
          [this](int at, int delta) { requestBoxes_[at + delta]->setFocus(Qt::OtherFocusReason); });
  connect(req, &RequestBox::gainedFocus, this, [this](int at) { setBackground(captionBoxes_[at], xav::colours::Yellow); });
  connect(req, &RequestBox::lostFocus, this, [this](int at) { setBackground(captionBoxes_[at], xav::colours::White); });
  connect(cap, &CaptionBox::textChanged, this, [this, i](const QString& text) { simulator_.setCaption(i, text); });
  connect(cap, &CaptionBox::enterPressed, this, [this](int at) { requestBoxes_[at]->setFocus(Qt::OtherFocusReason); });
  connect(cap, &CaptionBox::lostFocus, this, [this](int) { simulator_.CreateCaptionFile(); });
}

// Tab walks the requests first, then the captions, then the buttons.
void RvsimWindow::setTabOrders() {
  QWidget* previous = requestBoxes_[1];
  for (int i = 2; i <= kRows; ++i) setTabOrder(std::exchange(previous, requestBoxes_[i]), requestBoxes_[i]);
  for (int i = 1; i <= kRows; ++i) setTabOrder(std::exchange(previous, captionBoxes_[i]), captionBoxes_[i]);
  for (QWidget* w : {static_cast<QWidget*>(monitorCheck_), static_cast<QWidget*>(monitorClearButton_),
                     static_cast<QWidget*>(monitorBox_), static_cast<QWidget*>(clearCaptionsButton_),
                     static_cast<QWidget*>(trafficButton_), static_cast<QWidget*>(exitButton_)}) {
    setTabOrder(std::exchange(previous, w), w);
  }
}

// The request box's state into the core: an entry keeps the committed value
// for reads; a committed box's text is the request.
void RvsimWindow::syncRequest(int i) {
  if (i < 1 || !requestBoxes_[i]) return;
  const RequestBox* box = requestBoxes_[i];
  if (!box->inEntry()) {
    simulator_.commitRequest(i, requestValue(box->text()));
  } else if (!simulator_.image().row(i).request.inEntry) {
    simulator_.beginRequestEntry(i, box->text());
  } else {
    simulator_.typeRequest(i, box->text());
  }
}

// A request committed elsewhere (not typed) is shown in its box.
void RvsimWindow::showRequest(int i) {
  RequestBox* box = requestBoxes_[i];
  const DriveRequest& r = simulator_.image().row(i).request;
  if (box && !box->inEntry() && !r.inEntry && requestValue(box->text()) != r.committed) {
    box->setText(QString::number(r.committed));
  }
}

void RvsimWindow::showCaptions() {
  for (int i = 1; i <= kRows; ++i) {
    const QString& caption = simulator_.image().row(i).caption;
    if (captionBoxes_[i] && captionBoxes_[i]->text() != caption) captionBoxes_[i]->setText(caption);
  }
}

bool RvsimWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::FocusIn && activated_) {
    // Display-only boxes pass the focus on to a request box.
    if (watched == localIpBox_ || watched == stateBox_ || watched == remoteIpBox_) {
      requestBoxes_[1]->setFocus(Qt::OtherFocusReason);
    } else {
      for (int i = 1; i <= kRows; ++i) {
        if (watched == positionBoxes_[i]) {
          requestBoxes_[i]->setFocus(Qt::OtherFocusReason);
          break;
        }
      }
    }
  }
  return QWidget::eventFilter(watched, e);
}

bool RvsimWindow::activityIsRed() const { return simulator_.arrivalCount() % 2 == 1; }

void RvsimWindow::flushDisplay() {
  setBackground(activityLamp_, activityIsRed() ? xav::colours::Red : palette().color(QPalette::Button).rgb());
  if (labelsDirty_) showLabels();
  if (positionsDirty_) showPositions();
  labelsDirty_ = positionsDirty_ = false;
  if (!pendingMonitor_.isEmpty()) {
    monitorBox_->appendPlainText(pendingMonitor_.join(QLatin1Char('\n')));
    pendingMonitor_.clear();
  }
}

void RvsimWindow::showLabels() {
  const RegisterImage& image = simulator_.image();
  for (int i = 1; i <= kRows; ++i) {
    positionRegisterLabels_[i]->setText(image.firstRegister ? QString::number(image.positionRegister(i)) : QString());
    requestRegisterLabels_[i]->setText(image.firstRegister ? QString::number(image.requestRegister(i)) : QString());
  }
}

void RvsimWindow::showPositions() {
  // Only what changed is touched: the gateway mostly rewrites the same values.
  for (int i = 1; i <= kRows; ++i) {
    const DrivePosition& p = simulator_.image().row(i).position;
    const QString text = p.text();
    if (positionBoxes_[i]->text() != text) positionBoxes_[i]->setText(text);
    setBackground(positionBoxes_[i], p.aboveRange ? xav::colours::LightRed : xav::colours::White);
  }
}

void RvsimWindow::showStatus(int state) {
  stateBox_->setText(statusText(state));
  if (state == StateListening) setBackground(stateBox_, xav::colours::Magenta);
  if (state == StateConnected) setBackground(stateBox_, xav::colours::LightGrey);
}

void RvsimWindow::showCounters() {
  const TrafficCounters& c = simulator_.counters();
  const quint64 values[] = {c.connectionsAccepted, c.connectionsTurnedAway, c.connectionsReplaced, c.readsAnswered,
                            c.writesAnswered,      c.framesIgnored,         c.bytesIn,             c.bytesOut};
  for (int i = Accepted; i <= BytesOut; ++i) counterValues_[size_t(i)]->setText(QString::number(values[i]));
  counterValues_[Rate]->setText(QString::number(simulator_.framesPerSecond(), 'f', 1));
  const qint64 since = simulator_.msSinceLastWrite();
  QLabel* last = counterValues_[LastWrite];
  last->setText(since < 0 ? QStringLiteral("none yet") : QStringLiteral("%1 s ago").arg(double(since) / 1000.0, 0, 'f', 1));
  // Positions that stopped coming are no longer the drives' positions.
  const bool stale = since >= staleAfterMs_;
  if (stale) {
    setBackground(last, xav::colours::LightRed);
  } else {
    followPalette(last);
  }
  last->setToolTip(stale ? QStringLiteral("The positions shown are stale: the gateway has stopped writing.") : QString());
}

void RvsimWindow::cmdTraffic_Click() {
  if (!trafficWindow_) trafficWindow_ = new TrafficWindow(simulator_, this);
  trafficWindow_->show();
  trafficWindow_->raise();
  trafficWindow_->activateWindow();
}

void RvsimWindow::note(const QString& text) {
  messageLine_->setText(text.section(QLatin1Char('\n'), 0, 0));
  messageLine_->setToolTip(text);
}

void RvsimWindow::endProgram(int exitCode, const QString& message) {
  simulator_.stop();
  if (!message.isEmpty()) xav::showMessage(this, xav::MessageIcon::Critical, windowTitle(), message);
  emit programEnd(exitCode);
  close();
}

}  // namespace rvsim
