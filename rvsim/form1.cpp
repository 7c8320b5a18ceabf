#include "form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "captions.h"
#include "colours.h"
#include "drive_letters.h"
#include "files.h"
#include "messages.h"
#include "modbus_server.h"
#include "numbers.h"
#include "platform.h"

namespace rvsim {

namespace {

// The layout is given in twips; 11 twips to a pixel leaves room for the
// larger fonts of Linux desktops.
constexpr int px(int twips) { return twips / 11; }
constexpr int kTemplateTop = px(240);
constexpr int kRowGap = 2;    // 25 twips
constexpr int kLabelDrop = 2; // labels sit 25 twips lower than their row's boxes

void setBackground(QWidget* w, QRgb colour) {
  QPalette p = w->palette();
  if (p.color(QPalette::Base).rgb() == colour && p.color(QPalette::Window).rgb() == colour) return;
  p.setColor(QPalette::Base, QColor::fromRgb(colour));
  p.setColor(QPalette::Window, QColor::fromRgb(colour));
  w->setPalette(p);
}

QString valueText(const QString& text) {
  return QString::number(std::clamp<long long>(xav::leadingInteger(text), 0, kMaxRequest));
}

// Time of day in the system's format, without a time-zone name.
QString timeOfDay() {
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return QLocale::system().toString(QTime::currentTime(), format.trimmed());
}

QString hostAddress() {
  for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
    if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString();
  }
  return QStringLiteral("127.0.0.1");
}

}  // namespace

QRgb backgroundOf(const QWidget* w) { return w->palette().color(QPalette::Base).rgb(); }

// ---- request box ----------------------------------------------------------

RequestBox::RequestBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setObjectName(QStringLiteral("ReqReg(%1)").arg(index));
  // Only typed digits may reach a request: no paste, no drops.
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  // An input method's composed text would bypass the key rules.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setEntry(false);
  connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!inEntry_ && xav::leadingInteger(t) == 0 && t != QStringLiteral("0")) setText(QStringLiteral("0"));
    emit entryChanged(index_);
  });
}

void RequestBox::setEntry(bool on) {
  inEntry_ = on;
  setBackground(this, on ? xav::colours::Cyan : xav::colours::White);
  emit entryChanged(index_);
}

void RequestBox::commit() {
  setText(valueText(text()));
  setEntry(false);
}

void RequestBox::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if (key == Qt::Key_Down || key == Qt::Key_Up) {
    const int delta = key == Qt::Key_Down ? 1 : -1;
    if (index_ + delta >= 1 && index_ + delta <= kRows) emit stepFocus(index_, delta);
    return;
  }
  if (key == Qt::Key_Delete) {
    // The entry begins with the text kept; the box then deletes as usual.
    // Within an entry the saved copy stays: it must never become a
    // half-typed value that a read would hand to the drive.
    if (!inEntry_) {
      saved_ = text();
      setEntry(true);
    }
    QLineEdit::keyPressEvent(e);
    return;
  }
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  const bool backspace = key == Qt::Key_Backspace;
  const bool control = e->modifiers() & Qt::ControlModifier;
  const bool producesCharacter = enter || backspace || !e->text().isEmpty() ||
                                 (control && key >= Qt::Key_A && key <= Qt::Key_Z);
  if (!producesCharacter) {
    // Caret movement and the like; a paste key that types nothing
    // (Shift+Insert) is swallowed. Ctrl+V and Ctrl+X type a control
    // character: they start an entry below and are refused like any letter.
    if (!e->matches(QKeySequence::Paste)) QLineEdit::keyPressEvent(e);
    return;
  }
  if (!inEntry_) {
    // The first key of a new value: keep the old one for reads, start afresh.
    saved_ = text();
    setEntry(true);
    setText(QString());
  }
  const QString t = e->text();
  if (t.size() == 1 && t[0] >= u'0' && t[0] <= u'9' && !control) {
    // The caret is where the selection starts, whichever way it was made.
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    const QString prospective = text().left(caret) + t + text().mid(caret);
    if (xav::leadingInteger(prospective) > kMaxRequest) return;
    QLineEdit::keyPressEvent(e);
  } else if (backspace) {
    QLineEdit::keyPressEvent(e);
  } else if (enter) {
    commit();
  }
  // Any other key is swallowed.
}

void RequestBox::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  emit gainedFocus(index_);
}

void RequestBox::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // Switching to another program or opening a menu is not moving on.
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  commit();
  emit lostFocus(index_);
}

void RequestBox::inputMethodEvent(QInputMethodEvent* e) { e->ignore(); }

void RequestBox::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton) return;  // X11 selection paste
  QLineEdit::mousePressEvent(e);
}

void RequestBox::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton) return;
  QLineEdit::mouseReleaseEvent(e);
}

// ---- caption box ----------------------------------------------------------

CaptionBox::CaptionBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setObjectName(QStringLiteral("CapReg(%1)").arg(index));
  setBackground(this, xav::colours::White);
}

void CaptionBox::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    emit enterPressed(index_);
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void CaptionBox::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  emit lostFocus(index_);
}

// ---- window ---------------------------------------------------------------

Form1::Form1(const Options& options, QWidget* parent)
    : QWidget(parent), options_(options), processor_(options.partialFrameExpiryMs),
      winsock1_(new ModbusServer(options.port, options.idleTimeoutMs, this)), timer1_(new QTimer(this)) {
  setObjectName(QStringLiteral("Form1"));
  winsock1_->setObjectName(QStringLiteral("Winsock1"));
  timer1_->setObjectName(QStringLiteral("Timer1"));
  setWindowTitle(QStringLiteral("RVSIM Modbus/TCP PLC Simulator 2.0"));
  clock_.start();
  rowHeight_ = std::max(20, fontMetrics().height() + 6);

  // Hidden templates (element 0 of each column) fix the columns' left edges.
  auto label = [this](const QString& name, int left, int width) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setGeometry(left, kTemplateTop + kLabelDrop, width, rowHeight_);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->hide();
    return l;
  };
  modReg_[0] = label(QStringLiteral("ModReg(0)"), px(240), px(560));
  addr_[0] = label(QStringLiteral("Addr(0)"), px(840), px(300));
  modReg1_[0] = label(QStringLiteral("ModReg1(0)"), px(1680), px(560));
  addr_[0]->setAlignment(Qt::AlignCenter);
  posReg_[0] = new QLineEdit(this);
  posReg_[0]->setObjectName(QStringLiteral("PosReg(0)"));
  posReg_[0]->setGeometry(px(1200), kTemplateTop, px(440), rowHeight_);
  posReg_[0]->hide();
  reqReg_[0] = new RequestBox(0, this);
  reqReg_[0]->setGeometry(px(2280), kTemplateTop, px(460), rowHeight_);
  reqReg_[0]->hide();
  capReg_[0] = new CaptionBox(0, this);
  capReg_[0]->setGeometry(px(2800), kTemplateTop, px(2200), rowHeight_);
  capReg_[0]->hide();

  // Column headings stand where the hidden templates are.
  const std::pair<const char*, QWidget*> headings[] = {
      {"Register", modReg_[0]}, {"Addr", addr_[0]}, {"POS", posReg_[0]}, {"Register", modReg1_[0]}, {"REQ", reqReg_[0]}};
  for (const auto& [text, column] : headings) {
    auto* h = new QLabel(QString::fromLatin1(text), this);
    h->setAlignment(Qt::AlignCenter);
    h->setGeometry(column->x() - 4, kTemplateTop, column->width() + 8, rowHeight_);
  }

  const int panelLeft = px(5200);
  const int panelWidth = 250;
  auto* heading = new QLabel(QStringLiteral("XAV Gateway - RVSIM"), this);
  heading->setObjectName(QStringLiteral("lblHeading"));
  QFont hf = heading->font();
  hf.setBold(true);
  heading->setFont(hf);
  heading->setGeometry(panelLeft, kTemplateTop, panelWidth, rowHeight_);

  frame1_ = new QGroupBox(QStringLiteral("Connection Status"), this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  const int fh = rowHeight_;
  frame1_->setGeometry(panelLeft, kTemplateTop + fh + 8, panelWidth, 6 * (fh + 4) + 24);
  auto statusBox = [&](const QString& name, const QString& caption, int row, int width) {
    auto* l = new QLabel(caption, frame1_);
    l->setGeometry(10, 20 + row * 2 * (fh + 4), panelWidth - 20, fh);
    auto* box = new QLineEdit(frame1_);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setGeometry(10, 20 + (row * 2 + 1) * (fh + 4), width, fh);
    setBackground(box, xav::colours::LightGrey);
    box->installEventFilter(this);
    return box;
  };
  localIP_ = statusBox(QStringLiteral("LocalIP"), QStringLiteral("Local IP Address"), 0, panelWidth - 20);
  state_ = statusBox(QStringLiteral("State"), QStringLiteral("Server Status"), 1, panelWidth - 50);
  remoteIP_ = statusBox(QStringLiteral("RemoteIP"), QStringLiteral("XAV IP Address"), 2, panelWidth - 20);
  shpActivity_ = new QFrame(frame1_);
  shpActivity_->setObjectName(QStringLiteral("shpActivity"));
  shpActivity_->setFrameShape(QFrame::Box);
  shpActivity_->setAutoFillBackground(true);
  shpActivity_->setGeometry(panelWidth - 30, state_->y() + (fh - 14) / 2, 14, 14);
  setBackground(shpActivity_, palette().color(QPalette::Button).rgb());

  const int monitorTop = frame1_->geometry().bottom() + 10;
  chkMonitor_ = new QCheckBox(QStringLiteral("&D Monitor"), this);
  chkMonitor_->setObjectName(QStringLiteral("chkMonitor"));
  chkMonitor_->setGeometry(panelLeft, monitorTop, 120, fh + 4);
  cmdMonitorClear_ = new QPushButton(QStringLiteral("C&lear"), this);
  cmdMonitorClear_->setObjectName(QStringLiteral("cmdMonitorClear"));
  cmdMonitorClear_->setGeometry(panelLeft + 130, monitorTop, 80, fh + 6);
  txtMonitor_ = new QPlainTextEdit(this);
  txtMonitor_->setObjectName(QStringLiteral("txtMonitor"));
  txtMonitor_->setMaximumBlockCount(kMonitorMaxLines);
  txtMonitor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtMonitor_->setTabChangesFocus(true);  // Tab must not trap the keyboard in the box
  txtMonitor_->setGeometry(panelLeft, monitorTop + fh + 12, panelWidth, 150);

  const int bottom = kTemplateTop + (kRows + 1) * (rowHeight_ + kRowGap);
  cmdClrCap_ = new QPushButton(QStringLiteral("Clear &Captions"), this);
  cmdClrCap_->setObjectName(QStringLiteral("cmdClrCap"));
  cmdClrCap_->setGeometry(panelLeft, txtMonitor_->geometry().bottom() + 10, 120, fh + 8);
  cmdExit_ = new QPushButton(QStringLiteral("E&xit"), this);
  cmdExit_->setObjectName(QStringLiteral("cmdExit"));
  cmdExit_->setGeometry(panelLeft + panelWidth - 90, bottom - fh - 8, 90, fh + 8);
  setFixedSize(panelLeft + panelWidth + 16, bottom + 16);

  connect(txtMonitor_, &QPlainTextEdit::textChanged, this, [this] { txtMonitor_->moveCursor(QTextCursor::End); });
  connect(cmdMonitorClear_, &QPushButton::clicked, this, [this] {
    pendingMonitor_.clear();
    txtMonitor_->clear();
  });
  connect(cmdClrCap_, &QPushButton::clicked, this, &Form1::clearCaptions);
  connect(cmdExit_, &QPushButton::clicked, this, [this] {
    winsock1_->close();
    emit programEnd(0);
    close();
  });

  connect(winsock1_, &ModbusServer::connectionAccepted, this, [this](const QString& ip) {
    processor_.newConnection();
    state_->setText(QString::number(winsock1_->state()));
    remoteIP_->setText(ip);
  });
  connect(winsock1_, &ModbusServer::dataArrival, this, &Form1::dataArrival);
  connect(winsock1_, &ModbusServer::listenerFailed, this, [this](const QString& text) { endProgram(1, text); });

  displayTimer_ = new QTimer(this);
  displayTimer_->setSingleShot(true);
  displayTimer_->setInterval(kDisplayIntervalMs);
  connect(displayTimer_, &QTimer::timeout, this, &Form1::flushDisplay);

  // The status refresh runs from the moment the window exists.
  timer1_->setInterval(options_.refreshMs);
  connect(timer1_, &QTimer::timeout, this, &Form1::refreshStatus);
  timer1_->start();
}

Form1::~Form1() = default;

void Form1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  firstActivation();
}

void Form1::closeEvent(QCloseEvent* e) {
  // A caption being typed when the window goes (Alt+X, the title bar's
  // close) never loses the focus the usual way; keep it all the same.
  if (qobject_cast<CaptionBox*>(focusWidget())) CreateCaptionFile();
  QWidget::closeEvent(e);
}

void Form1::firstActivation() {
  if (activated_) return;
  activated_ = true;
  BuildRegisterRows();
  QString error;
  if (!winsock1_->listen(&error)) {
    endProgram(1, error);
    return;
  }
  localIP_->setText(hostAddress() + QLatin1Char(':') + QString::number(winsock1_->localPort()));
  timer1_->start();
  reqReg_[1]->setFocus(Qt::OtherFocusReason);
}

void Form1::BuildRegisterRows() {
  const int pitch = rowHeight_ + kRowGap;
  for (int i = 1; i <= kRows; ++i) {
    const int boxTop = kTemplateTop + i * pitch;
    auto* pos = new QLineEdit(this);
    pos->setObjectName(QStringLiteral("PosReg(%1)").arg(i));
    pos->setGeometry(posReg_[0]->x(), boxTop, posReg_[0]->width(), rowHeight_);
    pos->setReadOnly(true);
    pos->setFocusPolicy(Qt::ClickFocus);
    setBackground(pos, xav::colours::White);
    pos->installEventFilter(this);
    pos->show();
    posReg_[i] = pos;

    auto* req = new RequestBox(i, this);
    req->setGeometry(reqReg_[0]->x(), boxTop, reqReg_[0]->width(), rowHeight_);
    req->setText(QStringLiteral("0"));
    req->show();
    reqReg_[i] = req;

    auto cloneLabel = [&](QLabel* tmpl, const QString& name, const QString& text) {
      auto* l = new QLabel(text, this);
      l->setObjectName(name.arg(i));
      l->setAlignment(tmpl->alignment());
      l->setGeometry(tmpl->x(), boxTop + kLabelDrop, tmpl->width(), rowHeight_);
      l->show();
      return l;
    };
    addr_[i] = cloneLabel(addr_[0], QStringLiteral("Addr(%1)"), QString(xav::driveLetter(i - 1)));
    modReg_[i] = cloneLabel(modReg_[0], QStringLiteral("ModReg(%1)"), QString());
    modReg1_[i] = cloneLabel(modReg1_[0], QStringLiteral("ModReg1(%1)"), QString());

    auto* cap = new CaptionBox(i, this);
    cap->setGeometry(capReg_[0]->x(), boxTop, capReg_[0]->width(), rowHeight_);
    cap->show();
    capReg_[i] = cap;

    connect(req, &RequestBox::entryChanged, this, &Form1::syncRequest);
    connect(req, &RequestBox::stepFocus, this, [this](int at, int delta) { reqReg_[at + delta]->setFocus(Qt::OtherFocusReason); });
    connect(req, &RequestBox::gainedFocus, this, [this](int at) { setBackground(capReg_[at], xav::colours::Yellow); });
    connect(req, &RequestBox::lostFocus, this, [this](int at) { setBackground(capReg_[at], xav::colours::White); });
    connect(cap, &CaptionBox::enterPressed, this, [this](int at) { reqReg_[at]->setFocus(Qt::OtherFocusReason); });
    connect(cap, &CaptionBox::lostFocus, this, [this](int) { CreateCaptionFile(); });
    syncRequest(i);
  }
  // Tab walks the requests first, then the captions, then the buttons.
  QWidget* previous = reqReg_[1];
  for (int i = 2; i <= kRows; ++i) setTabOrder(std::exchange(previous, reqReg_[i]), reqReg_[i]);
  for (int i = 1; i <= kRows; ++i) setTabOrder(std::exchange(previous, capReg_[i]), capReg_[i]);
  for (QWidget* w : {static_cast<QWidget*>(chkMonitor_), static_cast<QWidget*>(cmdMonitorClear_),
                     static_cast<QWidget*>(txtMonitor_), static_cast<QWidget*>(cmdClrCap_), static_cast<QWidget*>(cmdExit_)}) {
    setTabOrder(std::exchange(previous, w), w);
  }
  OpenCaptions();
}

void Form1::syncRequest(int i) {
  if (i < 1 || !reqReg_[i]) return;
  RegisterRow& row = processor_.image().row(i);
  row.request = reqReg_[i]->text();
  row.savedRequest = reqReg_[i]->savedCopy();
  row.inEntry = reqReg_[i]->inEntry();
}

bool Form1::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::FocusIn && activated_) {
    // Display-only boxes pass the focus on to a request box.
    if (watched == localIP_ || watched == state_ || watched == remoteIP_) {
      reqReg_[1]->setFocus(Qt::OtherFocusReason);
    } else {
      for (int i = 1; i <= kRows; ++i) {
        if (watched == posReg_[i]) {
          reqReg_[i]->setFocus(Qt::OtherFocusReason);
          break;
        }
      }
    }
  }
  return QWidget::eventFilter(watched, e);
}

void Form1::dataArrival(const QByteArray& bytes) {
  activityRed_ = !activityRed_;
  const FrameOutcome out = processor_.arrival(bytes, clock_.elapsed(), chkMonitor_->isChecked(), timeOfDay);
  // The reply goes out before anything on the screen changes.
  if (!out.reply.isEmpty()) winsock1_->send(out.reply);
  if (!activated_) return;
  labelsDirty_ |= out.relabelled;
  positionsDirty_ |= out.positionsWritten;
  if (!out.monitorLine.isEmpty()) {
    if (pendingMonitor_.size() >= kMonitorMaxLines) pendingMonitor_.removeFirst();
    pendingMonitor_ << out.monitorLine;
  }
  // The screen follows at most once per interval: a gateway scans every
  // 0.5 s, but a fast client must not spend its time waiting for paints.
  // The image itself is always current, so reads are never affected.
  if (!displayTimer_->isActive()) {
    flushDisplay();
    displayTimer_->start();
  }
}

void Form1::flushDisplay() {
  setBackground(shpActivity_, activityRed_ ? xav::colours::Red : palette().color(QPalette::Button).rgb());
  if (labelsDirty_) showLabels();
  if (positionsDirty_) showPositions();
  labelsDirty_ = positionsDirty_ = false;
  if (!pendingMonitor_.isEmpty()) {
    txtMonitor_->appendPlainText(pendingMonitor_.join(QLatin1Char('\n')));
    pendingMonitor_.clear();
  }
}

void Form1::showLabels() {
  for (int i = 1; i <= kRows; ++i) {
    modReg_[i]->setText(image().row(i).modReg);
    modReg1_[i]->setText(image().row(i).modReg1);
  }
}

void Form1::showPositions() {
  // Only what changed is touched: the gateway mostly rewrites the same values.
  for (int i = 1; i <= kRows; ++i) {
    const RegisterRow& row = image().row(i);
    if (posReg_[i]->text() != row.position) posReg_[i]->setText(row.position);
    setBackground(posReg_[i], row.positionColour);
  }
}

void Form1::refreshStatus() {
  const int st = winsock1_->state();
  state_->setText(statusText(st));
  if (st == StateListening) setBackground(state_, xav::colours::Magenta);
  if (st == StateConnected) setBackground(state_, xav::colours::LightGrey);
  if (st == StatePeerClosed) {
    QString error;
    if (!winsock1_->rearm(&error)) endProgram(1, error);
  }
}

void Form1::endProgram(int exitCode, const QString& message) {
  timer1_->stop();
  winsock1_->close();
  if (!message.isEmpty()) xav::showMessage(this, xav::MessageIcon::Critical, windowTitle(), message);
  emit programEnd(exitCode);
  close();
}

void Form1::OpenCaptions() {
  const QString path = xav::platform::captionsFilePath();
  if (!QFileInfo::exists(path)) CreateCaptionFile();
  QByteArray contents;
  QString error;
  if (!xav::readWholeFile(path, &contents, &error)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, windowTitle(),
                     QStringLiteral("The captions file %1 cannot be read (%2).").arg(path, error));
    return;
  }
  const QStringList captions = parseCaptions(contents);
  for (int i = 1; i <= kRows; ++i) capReg_[i]->setText(captions[i - 1]);
}

void Form1::CreateCaptionFile() {
  QStringList captions;
  for (int i = 1; i <= kRows; ++i) captions << (capReg_[i] ? capReg_[i]->text() : QString());
  const QString path = xav::platform::captionsFilePath();
  QString error;
  if (!xav::writeWholeFile(path, captionsFileBytes(captions), &error)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, windowTitle(),
                     QStringLiteral("The captions cannot be saved to %1 (%2).").arg(path, error));
  }
}

void Form1::clearCaptions() {
  for (int i = 0; i <= kRows; ++i) {
    if (capReg_[i]) capReg_[i]->clear();
  }
  CreateCaptionFile();
}

}  // namespace rvsim
