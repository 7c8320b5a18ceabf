#include "rvsim_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "colours.h"
#include "drive_letters.h"
#include "message_boxes.h"
#include "request_box.h"
#include "simulator.h"
#include "traffic_window.h"

namespace rvsim {

namespace {

// The layout is given in twips; 11 twips to a pixel leaves room for the
// larger fonts of Linux desktops.
constexpr int px(int twips) { return twips / 11; }
constexpr int kTemplateTop = px(240);
constexpr int kRowGap = 2;     // 25 twips
constexpr int kLabelDrop = 2;  // labels sit 25 twips lower than their row's boxes
constexpr int kPanelLeft = px(5200);
constexpr int kPanelWidth = 250;
constexpr int kTrafficWidth = 250;

QString hostAddress() {
  for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
    if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString();
  }
  return QStringLiteral("127.0.0.1");
}

}  // namespace

RvsimWindow::RvsimWindow(Simulator& simulator, QWidget* parent)
    : QWidget(parent), simulator_(simulator), displayTimer_(new QTimer(this)), countersTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("RVSIM Modbus/TCP PLC Simulator 2.0"));
  rowHeight_ = std::max(20, fontMetrics().height() + 6);
  buildTemplates();
  buildHeadings();
  buildStatusFrame(kPanelLeft, kPanelWidth);
  buildMonitor(kPanelLeft, kPanelWidth);
  buildTrafficFrame(kPanelLeft + kPanelWidth + 12, kTrafficWidth);
  buildButtons(kPanelLeft, kPanelWidth);
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

// Hidden templates (element 0 of each column) fix the columns' left edges.
void RvsimWindow::buildTemplates() {
  auto label = [this](const QString& name, int left, int width) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setGeometry(left, kTemplateTop + kLabelDrop, width, rowHeight_);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->hide();
    return l;
  };
  positionRegisterLabels_[0] = label(QStringLiteral("ModReg(0)"), px(240), px(560));
  driveLabels_[0] = label(QStringLiteral("Addr(0)"), px(840), px(300));
  requestRegisterLabels_[0] = label(QStringLiteral("ModReg1(0)"), px(1680), px(560));
  driveLabels_[0]->setAlignment(Qt::AlignCenter);
  positionBoxes_[0] = new QLineEdit(this);
  positionBoxes_[0]->setObjectName(QStringLiteral("PosReg(0)"));
  positionBoxes_[0]->setGeometry(px(1200), kTemplateTop, px(440), rowHeight_);
  positionBoxes_[0]->hide();
  requestBoxes_[0] = new RequestBox(0, this);
  requestBoxes_[0]->setGeometry(px(2280), kTemplateTop, px(460), rowHeight_);
  requestBoxes_[0]->hide();
  captionBoxes_[0] = new CaptionBox(0, this);
  captionBoxes_[0]->setGeometry(px(2800), kTemplateTop, px(2200), rowHeight_);
  captionBoxes_[0]->hide();
}

// Column headings stand where the hidden templates are; the product's name above the panel.
void RvsimWindow::buildHeadings() {
  const std::pair<const char*, QWidget*> headings[] = {{"Register", positionRegisterLabels_[0]},
                                                       {"Addr", driveLabels_[0]},
                                                       {"POS", positionBoxes_[0]},
                                                       {"Register", requestRegisterLabels_[0]},
                                                       {"REQ", requestBoxes_[0]}};
  for (const auto& [text, column] : headings) {
    auto* h = new QLabel(QString::fromLatin1(text), this);
    h->setAlignment(Qt::AlignCenter);
    h->setGeometry(column->x() - 4, kTemplateTop, column->width() + 8, rowHeight_);
  }
  auto* heading = new QLabel(QStringLiteral("XAV Gateway - RVSIM"), this);
  heading->setObjectName(QStringLiteral("lblHeading"));
  QFont hf = heading->font();
  hf.setBold(true);
  heading->setFont(hf);
  heading->setGeometry(kPanelLeft, kTemplateTop, kPanelWidth, rowHeight_);
}

void RvsimWindow::buildStatusFrame(int left, int width) {
  statusFrame_ = new QGroupBox(QStringLiteral("Connection Status"), this);
  statusFrame_->setObjectName(QStringLiteral("Frame1"));
  const int fh = rowHeight_;
  statusFrame_->setGeometry(left, kTemplateTop + fh + 8, width, 6 * (fh + 4) + 24);
  auto statusBox = [&](const QString& name, const QString& caption, int row, int boxWidth) {
    auto* l = new QLabel(caption, statusFrame_);
    l->setGeometry(10, 20 + row * 2 * (fh + 4), width - 20, fh);
    auto* box = new QLineEdit(statusFrame_);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setGeometry(10, 20 + (row * 2 + 1) * (fh + 4), boxWidth, fh);
    setBackground(box, xav::colours::LightGrey);
    box->installEventFilter(this);
    return box;
  };
  localIpBox_ = statusBox(QStringLiteral("LocalIP"), QStringLiteral("Local IP Address"), 0, width - 20);
  stateBox_ = statusBox(QStringLiteral("State"), QStringLiteral("Server Status"), 1, width - 50);
  remoteIpBox_ = statusBox(QStringLiteral("RemoteIP"), QStringLiteral("XAV IP Address"), 2, width - 20);
  activityLamp_ = new QFrame(statusFrame_);
  activityLamp_->setObjectName(QStringLiteral("shpActivity"));
  activityLamp_->setFrameShape(QFrame::Box);
  activityLamp_->setAutoFillBackground(true);
  activityLamp_->setGeometry(width - 30, stateBox_->y() + (fh - 14) / 2, 14, 14);
  setBackground(activityLamp_, palette().color(QPalette::Button).rgb());
}

void RvsimWindow::buildMonitor(int left, int width) {
  const int fh = rowHeight_;
  const int top = statusFrame_->geometry().bottom() + 10;
  monitorCheck_ = new QCheckBox(QStringLiteral("&D Monitor"), this);
  monitorCheck_->setObjectName(QStringLiteral("chkMonitor"));
  monitorCheck_->setGeometry(left, top, 120, fh + 4);
  monitorClearButton_ = new QPushButton(QStringLiteral("C&lear"), this);
  monitorClearButton_->setObjectName(QStringLiteral("cmdMonitorClear"));
  monitorClearButton_->setGeometry(left + 130, top, 80, fh + 6);
  monitorBox_ = new QPlainTextEdit(this);
  monitorBox_->setObjectName(QStringLiteral("txtMonitor"));
  monitorBox_->setMaximumBlockCount(kMonitorMaxLines);
  monitorBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
  monitorBox_->setTabChangesFocus(true);  // Tab must not trap the keyboard in the box
  monitorBox_->setGeometry(left, top + fh + 12, width, 150);
  connect(monitorCheck_, &QCheckBox::toggled, this, [this](bool on) { simulator_.setMonitorOn(on); });
  connect(monitorBox_, &QPlainTextEdit::textChanged, this, [this] { monitorBox_->moveCursor(QTextCursor::End); });
  connect(monitorClearButton_, &QPushButton::clicked, this, [this] {
    pendingMonitor_.clear();
    monitorBox_->clear();
  });
}

// What the gateway does: counters, refreshed twice a second, and the
// button that opens the decoded frames.
void RvsimWindow::buildTrafficFrame(int left, int width) {
  const int fh = rowHeight_;
  trafficFrame_ = new QGroupBox(QStringLiteral("Traffic"), this);
  trafficFrame_->setObjectName(QStringLiteral("FrTraffic"));
  const char* captions[kCounterCount] = {"Connections accepted", "Turned away",       "Replaced (same address)",
                                         "Reads answered (3)",   "Writes answered (16)", "Frames ignored",
                                         "Bytes in",             "Bytes out",         "Frames per second",
                                         "Last write"};
  const char* names[kCounterCount] = {"lblAccepted", "lblTurnedAway", "lblReplaced", "lblReads", "lblWrites",
                                      "lblIgnored",  "lblBytesIn",    "lblBytesOut", "lblRate",  "lblLastWrite"};
  for (int i = 0; i < kCounterCount; ++i) {
    auto* caption = new QLabel(QString::fromLatin1(captions[i]), trafficFrame_);
    caption->setGeometry(10, 22 + i * (fh + 2), width - 90, fh);
    auto* value = new QLabel(trafficFrame_);
    value->setObjectName(QString::fromLatin1(names[i]));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setAutoFillBackground(true);
    value->setGeometry(width - 80, 22 + i * (fh + 2), 70, fh);
    counterValues_[static_cast<size_t>(i)] = value;
  }
  trafficFrame_->setGeometry(left, statusFrame_->y(), width, 22 + kCounterCount * (fh + 2) + 8);
  trafficButton_ = new QPushButton(QStringLiteral("&Traffic..."), this);
  trafficButton_->setObjectName(QStringLiteral("cmdTraffic"));
  trafficButton_->setGeometry(left, trafficFrame_->geometry().bottom() + 10, 100, fh + 8);
  connect(trafficButton_, &QPushButton::clicked, this, &RvsimWindow::cmdTraffic_Click);
}

void RvsimWindow::buildButtons(int left, int) {
  const int fh = rowHeight_;
  const int bottom = kTemplateTop + (kRows + 1) * (rowHeight_ + kRowGap);
  const int right = trafficFrame_->geometry().right();
  clearCaptionsButton_ = new QPushButton(QStringLiteral("Clear &Captions"), this);
  clearCaptionsButton_->setObjectName(QStringLiteral("cmdClrCap"));
  clearCaptionsButton_->setGeometry(left, monitorBox_->geometry().bottom() + 10, 120, fh + 8);
  exitButton_ = new QPushButton(QStringLiteral("E&xit"), this);
  exitButton_->setObjectName(QStringLiteral("cmdExit"));
  exitButton_->setGeometry(right - 89, bottom - fh - 8, 90, fh + 8);
  messageLine_ = new QLabel(this);
  messageLine_->setObjectName(QStringLiteral("lblMessage"));
  messageLine_->setWordWrap(true);
  messageLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLine_->setGeometry(px(240), bottom + 4, right - px(240), 2 * fh + 4);
  setFixedSize(right + 16, bottom + 2 * fh + 16);
  connect(clearCaptionsButton_, &QPushButton::clicked, this, [this] { simulator_.clearCaptions(); });
  connect(exitButton_, &QPushButton::clicked, this, [this] {
    simulator_.stop();
    emit programEnd(0);
    close();
  });
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
  const int boxTop = kTemplateTop + i * (rowHeight_ + kRowGap);
  auto* pos = new QLineEdit(this);
  pos->setObjectName(QStringLiteral("PosReg(%1)").arg(i));
  pos->setGeometry(positionBoxes_[0]->x(), boxTop, positionBoxes_[0]->width(), rowHeight_);
  pos->setReadOnly(true);
  pos->setFocusPolicy(Qt::ClickFocus);
  setBackground(pos, xav::colours::White);
  pos->installEventFilter(this);
  pos->show();
  positionBoxes_[i] = pos;

  auto* req = new RequestBox(i, this);
  req->setGeometry(requestBoxes_[0]->x(), boxTop, requestBoxes_[0]->width(), rowHeight_);
  req->setText(QStringLiteral("0"));
  req->show();
  requestBoxes_[i] = req;

  auto cloneLabel = [&](QLabel* tmpl, const QString& name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name.arg(i));
    l->setAlignment(tmpl->alignment());
    l->setGeometry(tmpl->x(), boxTop + kLabelDrop, tmpl->width(), rowHeight_);
    l->show();
    return l;
  };
  driveLabels_[i] = cloneLabel(driveLabels_[0], QStringLiteral("Addr(%1)"), QString(xav::driveLetter(i - 1)));
  positionRegisterLabels_[i] = cloneLabel(positionRegisterLabels_[0], QStringLiteral("ModReg(%1)"), QString());
  requestRegisterLabels_[i] = cloneLabel(requestRegisterLabels_[0], QStringLiteral("ModReg1(%1)"), QString());

  auto* cap = new CaptionBox(i, this);
  cap->setGeometry(captionBoxes_[0]->x(), boxTop, captionBoxes_[0]->width(), rowHeight_);
  cap->show();
  captionBoxes_[i] = cap;
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
  setBackground(last, stale ? xav::colours::LightRed : palette().color(QPalette::Window).rgb());
  last->setToolTip(stale ? QStringLiteral("The positions shown are stale: the gateway has stopped writing.") : QString());
}

void RvsimWindow::cmdTraffic_Click() {
  if (!trafficWindow_) trafficWindow_ = new TrafficWindow(simulator_, this);
  trafficWindow_->show();
  trafficWindow_->raise();
  trafficWindow_->activateWindow();
}

void RvsimWindow::note(const QString& text) {
  messageLine_->setText(text);
  messageLine_->setToolTip(text);
}

void RvsimWindow::endProgram(int exitCode, const QString& message) {
  simulator_.stop();
  if (!message.isEmpty()) xav::showMessage(this, xav::MessageIcon::Critical, windowTitle(), message);
  emit programEnd(exitCode);
  close();
}

}  // namespace rvsim
