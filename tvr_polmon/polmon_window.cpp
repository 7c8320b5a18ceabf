#include "polmon_window.h"

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
#include <QVBoxLayout>

#include "colours.h"

namespace polmon {

namespace {

void setBackground(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
  QPalette p = w->palette();
  if (p.color(role) == colour) return;
  p.setColor(role, colour);
  w->setPalette(p);
}

void setTextIfChanged(QLineEdit* box, const QString& text) {
  if (box->text() != text) box->setText(text);
}

QLineEdit* gridBox(QWidget* parent, const QString& name, int width) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setFixedWidth(width);
  box->setAlignment(Qt::AlignCenter);
  return box;
}

bool isEnter(const QKeyEvent* k) { return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter; }

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
  setWindowTitle(QStringLiteral("TVRNet Controller"));
  link_ = link ? link : new xav::QtSerialLink(this);
  engine_ = new PollEngine(link_, this);

  // Top: port list, Slow Scan, Scan, Exit, counters, duct entry.
  cmbComm = new QComboBox(this);
  cmbComm->setObjectName(QStringLiteral("cmbComm"));
  cmbComm->setEditable(true);
  cmbComm->setEditText(QStringLiteral("Combo1"));
  cmbComm->setMinimumWidth(90);
  chkScanSpeed = new QCheckBox(QStringLiteral("S&low Scan"), this);
  chkScanSpeed->setObjectName(QStringLiteral("chkScanSpeed"));
  cmdScan = new QPushButton(QStringLiteral("&Scan"), this);
  cmdScan->setObjectName(QStringLiteral("cmdScan"));
  cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  lblDistCnt = new QLabel(QStringLiteral("0 "), this);
  lblDistCnt->setObjectName(QStringLiteral("lblDistCnt"));
  lblDrives = new QLabel(QStringLiteral("Drives Found"), this);
  lblDrives->setObjectName(QStringLiteral("lblDrives"));
  lblErrCnt = new QLabel(QStringLiteral("0 "), this);
  lblErrCnt->setObjectName(QStringLiteral("lblErrCnt"));
  lblError = new QLabel(QStringLiteral("Errors Detected"), this);
  lblError->setObjectName(QStringLiteral("lblError"));
  Frame1 = new QFrame(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setFrameShape(QFrame::StyledPanel);
  lblDuctReq = new QLabel(QStringLiteral("Number of Ducts"), Frame1);
  lblDuctReq->setObjectName(QStringLiteral("lblDuctReq"));
  txtDucts = new QLineEdit(Frame1);
  txtDucts->setObjectName(QStringLiteral("txtDucts"));
  txtDucts->setFixedWidth(40);
  auto* frameLayout = new QHBoxLayout(Frame1);
  frameLayout->setContentsMargins(6, 3, 6, 3);
  frameLayout->addWidget(lblDuctReq);
  frameLayout->addWidget(txtDucts);
  Frame1->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(cmbComm);
  top->addWidget(chkScanSpeed);
  top->addWidget(cmdScan);
  top->addWidget(cmdExit);
  top->addSpacing(12);
  top->addWidget(lblDistCnt);
  top->addWidget(lblDrives);
  top->addSpacing(12);
  top->addWidget(lblErrCnt);
  top->addWidget(lblError);
  top->addSpacing(12);
  top->addWidget(Frame1);
  top->addStretch(1);
  lblDistCnt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblErrCnt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblDistCnt->setMinimumWidth(110);
  lblErrCnt->setMinimumWidth(30);

  // The grid: rows 0-9 on the left, 10-19 on the right.
  auto* halves = new QHBoxLayout;
  for (int half = 0; half < 2; ++half) {
    auto* g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(2);
    const QStringList headings = {QStringLiteral("Addr"), QStringLiteral("Status"), QStringLiteral("Pos"),
                                  QStringLiteral("Req")};
    for (int c = 0; c < headings.size(); ++c) {
      auto* h = new QLabel(headings[c], this);
      h->setAlignment(Qt::AlignCenter);
      g->addWidget(h, 0, c + 1);
    }
    for (int k = 0; k < 10; ++k) {
      const int i = half * 10 + k;
      const QString n = QString::number(i);
      shpLed[i] = new Lamp(this);
      shpLed[i]->setObjectName(QStringLiteral("shpLed(%1)").arg(n));
      txtAddr[i] = gridBox(this, QStringLiteral("txtAddr(%1)").arg(n), 40);
      txtStat[i] = gridBox(this, QStringLiteral("txtStat(%1)").arg(n), 48);
      txtPosition[i] = gridBox(this, QStringLiteral("txtPosition(%1)").arg(n), 40);
      txtRequest[i] = gridBox(this, QStringLiteral("txtRequest(%1)").arg(n), 40);
      cmdRnd[i] = new QPushButton(QStringLiteral("Rnd"), this);
      cmdRnd[i]->setObjectName(QStringLiteral("cmdRnd(%1)").arg(n));
      cmdRnd[i]->setFixedWidth(52);
      cmdRnd[i]->setAutoFillBackground(true);
      // Display-only boxes: a click sends the focus to Exit, Tab passes them by.
      txtStat[i]->setFocusPolicy(Qt::ClickFocus);
      txtPosition[i]->setFocusPolicy(Qt::ClickFocus);
      g->addWidget(shpLed[i], k + 1, 0, Qt::AlignCenter);
      g->addWidget(txtAddr[i], k + 1, 1);
      g->addWidget(txtStat[i], k + 1, 2);
      g->addWidget(txtPosition[i], k + 1, 3);
      g->addWidget(txtRequest[i], k + 1, 4);
      g->addWidget(cmdRnd[i], k + 1, 5);
      // Keep the button's cell when it is hidden so the grid does not shift.
      QSizePolicy sp = cmdRnd[i]->sizePolicy();
      sp.setRetainSizeWhenHidden(true);
      cmdRnd[i]->setSizePolicy(sp);

      txtStat[i]->installEventFilter(this);
      txtPosition[i]->installEventFilter(this);
      txtRequest[i]->installEventFilter(this);
      connect(txtAddr[i], &QLineEdit::textEdited, this, [this, i](const QString& t) { engine_->setAddress(i, t); });
      connect(txtRequest[i], &QLineEdit::textEdited, this, [this, i](const QString& t) { engine_->setRequest(i, t); });
      connect(cmdRnd[i], &QPushButton::clicked, this, [this, i] { engine_->cmdRnd_Click(i); });
    }
    halves->addLayout(g);
    if (half == 0) halves->addSpacing(24);
  }
  halves->addStretch(1);

  auto* root = new QVBoxLayout(this);
  root->addLayout(top);
  root->addSpacing(6);
  root->addLayout(halves);
  root->addStretch(1);

  txtDucts->installEventFilter(this);
  connect(cmdScan, &QPushButton::clicked, this, &PolmonWindow::cmdScan_Click);
  connect(cmdExit, &QPushButton::clicked, this, &PolmonWindow::cmdExit_Click);
  connect(chkScanSpeed, &QCheckBox::toggled, this, [this](bool on) { engine_->setSlowScan(on); });
  connect(engine_, &PollEngine::rowChanged, this, &PolmonWindow::showRow);
  connect(engine_, &PollEngine::lampChanged, this, &PolmonWindow::showLamp);
  connect(engine_, &PollEngine::captionsChanged, this, &PolmonWindow::showCaptions);
  connect(engine_, &PollEngine::scanStarted, cmbComm, &QWidget::hide);
  connect(engine_, &PollEngine::ductEntryRequested, this, [this] {
    Frame1->show();
    txtDucts->setFocus();
  });
  connect(engine_, &PollEngine::ductEntryClosed, this, [this] {
    Frame1->hide();
    txtDucts->clear();
  });
  connect(engine_, &PollEngine::ductBoxEmptied, txtDucts, &QLineEdit::clear);

  // Tab order: the top controls, then each row's editable boxes and button.
  QWidget* prev = cmbComm;
  for (QWidget* w : {static_cast<QWidget*>(chkScanSpeed), static_cast<QWidget*>(cmdScan),
                     static_cast<QWidget*>(cmdExit), static_cast<QWidget*>(txtDucts)}) {
    setTabOrder(prev, w);
    prev = w;
  }
  for (int i = 0; i < kRows; ++i) {
    for (QWidget* w : {static_cast<QWidget*>(txtAddr[i]), static_cast<QWidget*>(txtRequest[i]),
                       static_cast<QWidget*>(cmdRnd[i])}) {
      setTabOrder(prev, w);
      prev = w;
    }
  }

  for (int i = 0; i < kRows; ++i) showRow(i);
  Form_Load();
}

PolmonWindow::~PolmonWindow() = default;

void PolmonWindow::Form_Load() {
  const QStringList ports = engine_->ListComPorts();
  cmbComm->clear();
  cmbComm->addItems(ports);
  cmbComm->setEditText(ports.isEmpty() ? QString() : ports.first());
}

void PolmonWindow::cmdScan_Click() { engine_->cmdScan_Click(cmbComm->currentText()); }

void PolmonWindow::cmdExit_Click() {
  engine_->cmdExit_Click();
  emit exitRequested();
}

void PolmonWindow::showRow(int i) {
  const DriveRow& r = engine_->row(i);
  const RowLook& look = engine_->look(i);
  setTextIfChanged(txtAddr[i], r.Address);
  setTextIfChanged(txtStat[i], r.Status);
  setTextIfChanged(txtPosition[i], r.Position);
  setTextIfChanged(txtRequest[i], r.Request);
  setBackground(txtAddr[i], QPalette::Base, QColor(xav::colours::LightGrey));
  setBackground(txtPosition[i], QPalette::Base, QColor(xav::colours::LightGrey));
  setBackground(txtStat[i], QPalette::Base, QColor(look.statusColour));
  setBackground(txtRequest[i], QPalette::Base, QColor(look.requestColour));
  if (cmdRnd[i]->text() != look.caption) cmdRnd[i]->setText(look.caption);
  const QColor face = QApplication::palette().color(QPalette::Button);
  setBackground(cmdRnd[i], QPalette::Button, look.buttonColour ? QColor(*look.buttonColour) : face);
  cmdRnd[i]->setVisible(look.buttonVisible);
}

void PolmonWindow::showLamp(int i) { shpLed[i]->setRed(engine_->look(i).lampRed); }

void PolmonWindow::showCaptions() {
  lblDistCnt->setText(engine_->distCntCaption());
  lblErrCnt->setText(engine_->errCntCaption());
}

bool PolmonWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (int i = 0; i < kRows; ++i) {
      if (watched == txtStat[i] || watched == txtPosition[i]) {
        cmdExit->setFocus();
        return false;
      }
    }
  }
  if (event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (watched == txtDucts) {
      if (isEnter(k) && !engine_->txtDucts_Enter(txtDucts->text())) {
        txtDucts->clear();
        return true;
      }
      return false;
    }
    for (int i = 0; i < kRows; ++i) {
      if (watched == txtRequest[i]) {
        if (isEnter(k))
          engine_->txtRequest_KeyPress(i, true);
        else if (!k->text().isEmpty() && !isTab(k))
          engine_->txtRequest_KeyPress(i, false);
        return false;  // the key reaches the box as usual
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace polmon
