#include "polmon_window.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "colours.h"
#include "polmon_log.h"
#include "port_access.h"
#include "row_display.h"
#include "statistics_window.h"
#include "timeline_window.h"

namespace polmon {

namespace {

void setBackground(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
  QPalette p = w->palette();
  if (p.color(role) == colour) return;
  p.setColor(role, colour);
  w->setPalette(p);
}

// A fixed background gets a fixed text colour, so the box reads under any
// theme.
void setFixedColours(QWidget* w, QPalette::ColorRole ground, QPalette::ColorRole ink, QRgb colour) {
  setBackground(w, ground, QColor(colour));
  setBackground(w, ink, QColor(textColourOn(colour)));
}

void setTextIfChanged(QLineEdit* box, const QString& text) {
  if (box->text() != text) box->setText(text);
}

template <typename W>
W* named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QLineEdit* gridBox(QWidget* parent, const QString& name, int width) {
  auto* box = named(new QLineEdit(parent), name);
  box->setFixedWidth(width);
  box->setAlignment(Qt::AlignCenter);
  return box;
}

bool isEnter(const QKeyEvent* k) { return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter; }

// A widget that keeps its place in the layout while hidden, so that showing
// it moves nothing else.
void keepPlaceWhenHidden(QWidget* w) {
  QSizePolicy sp = w->sizePolicy();
  sp.setRetainSizeWhenHidden(true);
  w->setSizePolicy(sp);
}

// Tab only moves the focus on; it types nothing into the box.
bool isTab(const QKeyEvent* k) { return k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab; }

}  // namespace

Lamp::Lamp(QWidget* parent) : QWidget(parent) { setFixedSize(14, 14); }

void Lamp::setRed(bool red) {
  if (red_ == red) return;
  red_ = red;
  repaint();  // follows the poll at once
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(red_ ? QColor(xav::colours::Red) : QColor(Qt::black));
  p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}

PolmonWindow::PolmonWindow(xav::SerialLink* link, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("TVRNet Controller"));
  link_ = link ? link : new xav::QtSerialLink(this);
  engine_ = new PollEngine(link_, this);
  // Recorded from the start, whether the Timeline window is open or not.
  timeline_ = new FaultTimeline(this);
  timeline_->attach(*engine_);

  auto* root = new QVBoxLayout(this);
  buildTopBar(root);
  buildMessageRow(root);
  root->addSpacing(2);
  buildGrid(root);
  root->addStretch(1);

  connectEngine();
  setTabOrders();
  for (int i = 0; i < kRows; ++i) showRow(i);
  Form_Load();
}

PolmonWindow::~PolmonWindow() = default;

void PolmonWindow::buildTopBar(QBoxLayout* root) {
  portList_ = named(new QComboBox(this), QStringLiteral("cmbComm"));
  portList_->setEditable(true);
  portList_->setEditText(QStringLiteral("Combo1"));
  portList_->setMinimumWidth(90);
  // Scan hides the list: its place stays, so no button moves under a
  // double click.
  keepPlaceWhenHidden(portList_);
  portLabel_ = named(new QLabel(QStringLiteral("&Port"), this), QStringLiteral("lblPort"));
  portLabel_->setBuddy(portList_);
  keepPlaceWhenHidden(portLabel_);
  slowScanBox_ = named(new QCheckBox(QStringLiteral("S&low Scan"), this), QStringLiteral("chkScanSpeed"));
  scanButton_ = named(new QPushButton(QStringLiteral("&Scan"), this), QStringLiteral("cmdScan"));
  exitButton_ = named(new QPushButton(QStringLiteral("E&xit"), this), QStringLiteral("cmdExit"));
  statisticsButton_ = named(new QPushButton(QStringLiteral("S&tatistics"), this), QStringLiteral("cmdStatistics"));
  timelineButton_ = named(new QPushButton(QStringLiteral("Ti&meline"), this), QStringLiteral("cmdTimeline"));
  drivesFoundLabel_ = named(new QLabel(QStringLiteral("0 "), this), QStringLiteral("lblDistCnt"));
  drivesLabel_ = named(new QLabel(QStringLiteral("Drives Found"), this), QStringLiteral("lblDrives"));
  // Hidden while the count says "Drives Found" itself; nothing moves then.
  keepPlaceWhenHidden(drivesLabel_);
  errorCountLabel_ = named(new QLabel(QStringLiteral("0 "), this), QStringLiteral("lblErrCnt"));
  auto* errors = named(new QLabel(QStringLiteral("Errors Detected"), this), QStringLiteral("lblError"));
  drivesFoundLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  errorCountLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Wide enough for any count, so a new count moves nothing.
  drivesFoundLabel_->setMinimumWidth(drivesFoundLabel_->fontMetrics().horizontalAdvance(QStringLiteral("20 Drives Found")) + 4);
  errorCountLabel_->setMinimumWidth(30);

  auto* top = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{portLabel_, portList_, slowScanBox_, scanButton_, exitButton_,
                                                    statisticsButton_, timelineButton_})
    top->addWidget(w);
  top->addStretch(1);
  root->addLayout(top);
  // The counters on a line of their own, so the window fits a small screen.
  top = new QHBoxLayout;
  top->addWidget(drivesFoundLabel_);
  top->addWidget(drivesLabel_);
  top->addSpacing(12);
  top->addWidget(errorCountLabel_);
  top->addWidget(errors);
  top->addStretch(1);
  root->addLayout(top);
}

void PolmonWindow::buildMessageRow(QBoxLayout* root) {
  // What went wrong with the port or the log, on up to two lines that are
  // always there, beside the duct panel's place: neither a message nor the
  // panel moves anything.
  messageLabel_ = named(new QLabel(this), QStringLiteral("lblMessage"));
  messageLabel_->setWordWrap(true);
  messageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  messageLabel_->setFixedHeight(2 * messageLabel_->fontMetrics().lineSpacing() + 4);
  messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Red that reads on the theme's own background, light or dark.
  QPalette p = messageLabel_->palette();
  const bool darkTheme = p.color(QPalette::Window).lightness() < 128;
  p.setColor(QPalette::WindowText, darkTheme ? QColor(255, 140, 140) : QColor(xav::colours::Red).darker(130));
  messageLabel_->setPalette(p);
  buildDuctPanel();
  auto* row = new QHBoxLayout;
  row->addWidget(messageLabel_, 1);
  row->addSpacing(12);
  row->addWidget(ductPanel_);
  root->addLayout(row);
}

void PolmonWindow::buildDuctPanel() {
  ductPanel_ = named(new QFrame(this), QStringLiteral("Frame1"));
  ductPanel_->setFrameShape(QFrame::StyledPanel);
  auto* ductLabel = named(new QLabel(QStringLiteral("Number of Ducts"), ductPanel_), QStringLiteral("lblDuctReq"));
  ductBox_ = named(new QLineEdit(ductPanel_), QStringLiteral("txtDucts"));
  ductBox_->setFixedWidth(40);
  // The caption stays as it is, without an '&': Alt+D reaches the box all
  // the same while the panel shows, and the label's tooltip says so.
  ductLabel->setBuddy(ductBox_);
  ductLabel->setToolTip(QStringLiteral("Alt+D"));
  auto* ductKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_D), ductBox_);
  connect(ductKey, &QShortcut::activated, ductBox_, [this] { ductBox_->setFocus(Qt::ShortcutFocusReason); });
  auto* frameLayout = new QHBoxLayout(ductPanel_);
  frameLayout->setContentsMargins(6, 3, 6, 3);
  frameLayout->addWidget(ductLabel);
  frameLayout->addWidget(ductBox_);
  keepPlaceWhenHidden(ductPanel_);
  ductPanel_->hide();
}

void PolmonWindow::buildGrid(QBoxLayout* root) {
  // Rows 0-9 on the left, 10-19 on the right.
  auto* halves = new QHBoxLayout;
  for (int half = 0; half < 2; ++half) {
    auto* g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(2);
    const QStringList headings = {QStringLiteral("Addr"), QStringLiteral("Status"), QStringLiteral("Pos"),
                                  QStringLiteral("Req")};
    QLabel* requestHeading = nullptr;
    for (int c = 0; c < headings.size(); ++c) {
      auto* h = new QLabel(headings[c], this);
      h->setAlignment(Qt::AlignCenter);
      g->addWidget(h, 0, c + 1);
      requestHeading = h;
    }
    for (int k = 0; k < 10; ++k) buildGridRow(g, half * 10 + k, k + 1);
    // Alt+R jumps to the left half's first request, Alt+Q to the right's.
    requestHeading->setText(half == 0 ? QStringLiteral("&Req") : QStringLiteral("Re&q"));
    requestHeading->setBuddy(requestBoxes_[static_cast<size_t>(half * 10)]);
    halves->addLayout(g);
    if (half == 0) halves->addSpacing(24);
  }
  halves->addStretch(1);
  root->addLayout(halves);
}

void PolmonWindow::buildGridRow(QGridLayout* g, int i, int line) {
  const QString n = QString::number(i);
  lamps_[i] = named(new Lamp(this), QStringLiteral("shpLed(%1)").arg(n));
  addressBoxes_[i] = gridBox(this, QStringLiteral("txtAddr(%1)").arg(n), 40);
  statusBoxes_[i] = gridBox(this, QStringLiteral("txtStat(%1)").arg(n), 48);
  positionBoxes_[i] = gridBox(this, QStringLiteral("txtPosition(%1)").arg(n), 40);
  requestBoxes_[i] = gridBox(this, QStringLiteral("txtRequest(%1)").arg(n), 40);
  rowButtons_[i] = named(new QPushButton(QStringLiteral("Rnd"), this), QStringLiteral("cmdRnd(%1)").arg(n));
  // Wide enough for its longest caption in the user's font.
  rowButtons_[i]->setFixedWidth(std::max(52, rowButtons_[i]->fontMetrics().horizontalAdvance(QStringLiteral("Reset")) + 20));
  rowButtons_[i]->setAutoFillBackground(true);
  // Keep the button's cell when it is hidden so the grid does not shift.
  keepPlaceWhenHidden(rowButtons_[i]);
  // Display-only boxes: a click sends the focus to Exit, Tab passes them by.
  // An address can still be typed after a click, but Tab passes it by too.
  statusBoxes_[i]->setFocusPolicy(Qt::ClickFocus);
  positionBoxes_[i]->setFocusPolicy(Qt::ClickFocus);
  addressBoxes_[i]->setFocusPolicy(Qt::ClickFocus);
  g->addWidget(lamps_[i], line, 0, Qt::AlignCenter);
  g->addWidget(addressBoxes_[i], line, 1);
  g->addWidget(statusBoxes_[i], line, 2);
  g->addWidget(positionBoxes_[i], line, 3);
  g->addWidget(requestBoxes_[i], line, 4);
  g->addWidget(rowButtons_[i], line, 5);

  statusBoxes_[i]->installEventFilter(this);
  positionBoxes_[i]->installEventFilter(this);
  requestBoxes_[i]->installEventFilter(this);
  connect(addressBoxes_[i], &QLineEdit::textEdited, this, [this, i](const QString& t) { engine_->editAddress(i, t); });
  // Any change the user makes (typed, pasted, dragged, undone) withdraws the
  // request's confirmation; keys alone would miss a paste.
  connect(requestBoxes_[i], &QLineEdit::textEdited, this, [this, i](const QString& t) { engine_->editRequest(i, t); });
  connect(rowButtons_[i], &QPushButton::clicked, this, [this, i] { cmdRnd_Click(i); });
}

void PolmonWindow::connectEngine() {
  ductBox_->installEventFilter(this);
  connect(scanButton_, &QPushButton::clicked, this, &PolmonWindow::cmdScan_Click);
  connect(exitButton_, &QPushButton::clicked, this, &PolmonWindow::cmdExit_Click);
  connect(statisticsButton_, &QPushButton::clicked, this, &PolmonWindow::cmdStatistics_Click);
  connect(timelineButton_, &QPushButton::clicked, this, &PolmonWindow::cmdTimeline_Click);
  connect(slowScanBox_, &QCheckBox::toggled, engine_, &PollEngine::setSlowScan);
  connect(engine_, &PollEngine::rowChanged, this, &PolmonWindow::showRow);
  connect(engine_, &PollEngine::lampChanged, this, [this](int i, bool lit) { lamps_[i]->setRed(lit); });
  connect(engine_, &PollEngine::errorCountChanged, this, [this](int n) { errorCountLabel_->setText(errorCountText(n)); });
  connect(engine_, &PollEngine::drivesFoundChanged, this, [this](int n) { showDrivesFound(drivesFoundText(n)); });
  connect(engine_, &PollEngine::scanStarted, this, [this] {
    showPortList(false);
    portMessage_.clear();
    showMessages();
  });
  connect(engine_, &PollEngine::ductEntryRequested, this, [this] {
    ductPanel_->show();
    ductBox_->setFocus();
  });
  connect(engine_, &PollEngine::ductEntryClosed, this, [this] {
    ductPanel_->hide();
    ductBox_->clear();
  });
  connect(engine_, &PollEngine::ductBoxEmptied, ductBox_, &QLineEdit::clear);
  connect(engine_, &PollEngine::portOpenFailed, this, [this](const QString&, const QString& reason) {
    openFailure_ = reason;  // told once the scan has started, see cmdScan_Click
  });
  connect(engine_, &PollEngine::portLost, this, [this](const QString& port, const QString& reason) {
    portMessage_ = tr("%1 lost (%2): polling stopped, the rows are no longer current. Trying to open it again "
                      "every second; Scan starts afresh.")
                       .arg(port, reason);
    showPortList(true);  // another port may be chosen now
    showMessages();
  });
  connect(engine_, &PollEngine::portBack, this, [this](const QString& port) {
    portMessage_ = tr("%1 back at %2: polling again.").arg(port, logDateTime(engine_->wallNow()));
    showPortList(false);
    showMessages();
  });
  connect(engine_, &PollEngine::logUnwritable, this, [this](const QString& path, const QString& reason) {
    logMessage_ = tr("The log %1 cannot be written (%2); polling and counting go on without it.").arg(path, reason);
    showMessages();
  });
  connect(engine_, &PollEngine::logWritable, this, [this] {
    logMessage_.clear();
    showMessages();
  });
}

void PolmonWindow::setTabOrders() {
  // The top controls, then each row's editable boxes and button.
  QWidget* prev = portList_;
  for (QWidget* w :
       std::initializer_list<QWidget*>{slowScanBox_, scanButton_, exitButton_, statisticsButton_, timelineButton_, ductBox_}) {
    setTabOrder(prev, w);
    prev = w;
  }
  for (int i = 0; i < kRows; ++i) {
    for (QWidget* w : std::initializer_list<QWidget*>{requestBoxes_[i], rowButtons_[i]}) {
      setTabOrder(prev, w);
      prev = w;
    }
  }
}

void PolmonWindow::Form_Load() {
  const QStringList ports = engine_->ListComPorts();
  portList_->clear();
  portList_->addItems(ports);
  // The port scanned last, when it is still there.
  const QString last = PortMemory().lastPort();
  portList_->setEditText(ports.contains(last) ? last : ports.value(0));
  if (ports.isEmpty()) {
    const QString advice = serialAccessAdviceHere();
    portMessage_ = advice.isEmpty() ? tr("No serial port (COM 1 to COM 16) can be opened.") : advice;
    showMessages();
  }
}

void PolmonWindow::cmdScan_Click() {
  if (!link_->isOpen() && portList_->count() == 0) {
    // Nothing was there to choose: look again, for an adapter plugged in
    // since, and take the first port found, as at start.
    const QStringList ports = engine_->ListComPorts();
    portList_->addItems(ports);
    if (!ports.isEmpty()) portList_->setEditText(ports.first());
  }
  const QString port = portList_->currentText();
  openFailure_.clear();
  engine_->startScan(port);
  if (link_->isOpen())
    PortMemory().remember(port);
  else
    scanWithoutPort(port);
}

void PolmonWindow::scanWithoutPort(const QString& port) {
  // The list stays, filled afresh so that an adapter plugged in meanwhile can
  // be chosen; the choice is kept while it is listed.
  const QStringList ports = engine_->ListComPorts();
  portList_->clear();
  portList_->addItems(ports);
  portList_->setEditText(ports.contains(port) ? port : ports.value(0));
  showPortList(true);
  // The count of an earlier sweep no longer says anything.
  showDrivesFound(QStringLiteral("0 "));
  const QString name = port.trimmed().isEmpty() ? tr("No port was chosen") : port.trimmed();
  QString why = openFailure_.isEmpty() ? tr("it is not there") : openFailure_;
  if (ports.isEmpty()) {
    const QString advice = serialAccessAdviceHere();
    why += advice.isEmpty() ? tr("; no serial port (COM 1 to COM 16) can be opened now") : QStringLiteral(". ") + advice;
  }
  portMessage_ = port.trimmed().isEmpty() ? tr("%1: %2").arg(name, why) : tr("%1 cannot be opened: %2").arg(name, why);
  showMessages();
}

void PolmonWindow::showPortList(bool shown) {
  portList_->setVisible(shown);
  portLabel_->setVisible(shown);
}

void PolmonWindow::showDrivesFound(const QString& caption) {
  drivesFoundLabel_->setText(caption);
  // "3 Drives Found" says it already.
  drivesLabel_->setVisible(!caption.contains(QStringLiteral("Drives Found")));
}

void PolmonWindow::cmdExit_Click() {
  engine_->shutDown();
  emit exitRequested();
}

void PolmonWindow::cmdStatistics_Click() {
  if (!statisticsWindow_) statisticsWindow_ = new StatisticsWindow(*engine_, this);
  statisticsWindow_->show();
  statisticsWindow_->raise();
  statisticsWindow_->activateWindow();
}

void PolmonWindow::cmdTimeline_Click() {
  if (!timelineWindow_) timelineWindow_ = new TimelineWindow(*timeline_, *engine_, this);
  timelineWindow_->show();
  timelineWindow_->raise();
  timelineWindow_->activateWindow();
}

void PolmonWindow::showRow(int i) {
  const DriveRow& r = engine_->row(i);
  setTextIfChanged(addressBoxes_[i], r.address);
  setTextIfChanged(statusBoxes_[i], statusText(r));
  setTextIfChanged(positionBoxes_[i], r.positionText());
  setTextIfChanged(requestBoxes_[i], r.request);
  setFixedColours(addressBoxes_[i], QPalette::Base, QPalette::Text, xav::colours::LightGrey);
  setFixedColours(positionBoxes_[i], QPalette::Base, QPalette::Text, xav::colours::LightGrey);
  setFixedColours(statusBoxes_[i], QPalette::Base, QPalette::Text, statusColour(r));
  setFixedColours(requestBoxes_[i], QPalette::Base, QPalette::Text, requestColour(r.requestEntry));
  // A row that is no longer current shows its last values greyed.
  if (!r.current) {
    setBackground(statusBoxes_[i], QPalette::Text, QColor(kStaleText));
    setBackground(positionBoxes_[i], QPalette::Text, QColor(kStaleText));
  }
  const QString caption = buttonCaptionText(r.button);
  if (rowButtons_[i]->text() != caption) rowButtons_[i]->setText(caption);
  if (const auto colour = buttonColour(r.button.mark)) {
    setFixedColours(rowButtons_[i], QPalette::Button, QPalette::ButtonText, *colour);
  } else {
    // The system's button face, with the theme's own text on it.
    setBackground(rowButtons_[i], QPalette::Button, QApplication::palette().color(QPalette::Button));
    setBackground(rowButtons_[i], QPalette::ButtonText, QApplication::palette().color(QPalette::ButtonText));
  }
  rowButtons_[i]->setVisible(r.button.visible);
}

void PolmonWindow::showMessages() {
  QStringList parts;
  for (const QString& m : {portMessage_, logMessage_})
    if (!m.isEmpty()) parts << m;
  messageLabel_->setText(parts.join(QLatin1Char('\n')));
  messageLabel_->setToolTip(messageLabel_->text());
}

void PolmonWindow::cmdRnd_Click(int i) { engine_->pressRowButton(i); }

bool PolmonWindow::txtRequest_KeyPress(int i, const QKeyEvent* k) {
  if (isEnter(k))
    engine_->confirmRequest(i, requestBoxes_[i]->text());
  else if (!k->text().isEmpty() && !isTab(k))
    engine_->withdrawRequest(i);
  return false;  // the key reaches the box as usual
}

bool PolmonWindow::txtDucts_KeyPress(const QKeyEvent* k) {
  if (isEnter(k) && !engine_->enterDuctCount(ductBox_->text())) {
    ductBox_->clear();
    return true;
  }
  return false;
}

void PolmonWindow::txtStat_GotFocus(int) { exitButton_->setFocus(); }

void PolmonWindow::txtPosition_GotFocus(int) { exitButton_->setFocus(); }

bool PolmonWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (int i = 0; i < kRows; ++i) {
      if (watched == statusBoxes_[i]) txtStat_GotFocus(i);
      if (watched == positionBoxes_[i]) txtPosition_GotFocus(i);
    }
  }
  if (event->type() == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (watched == ductBox_) return txtDucts_KeyPress(k);
    for (int i = 0; i < kRows; ++i)
      if (watched == requestBoxes_[i]) return txtRequest_KeyPress(i, k);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace polmon
