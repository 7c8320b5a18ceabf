#include "timeline_window.h"
#include "export_dialog.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>

#include "colours.h"
#include "drive_letters.h"
#include "drive_statistics.h"
#include "files.h"
#include "poll_engine.h"
#include "polmon_log.h"
#include "statistics_window.h"

namespace polmon {

namespace {
constexpr int kRefreshMs = 500;
constexpr int kMarkSize = 9;
// The picture has a fixed light ground, so its ink is fixed too: it reads
// the same under any theme and in an exported file.
const QColor kGround(xav::colours::White);
const QColor kInk(Qt::black);
const QColor kLaneLine(xav::colours::LightGrey);

QColor markColour(FaultKind k) {
  switch (k) {
    case FaultKind::NoResponse: return QColor(200, 0, 0);
    case FaultKind::Malformed: return QColor(xav::colours::Orange);
    case FaultKind::Strays: return QColor(160, 0, 160);
    case FaultKind::SlowReply: return QColor(0, 70, 200);
    case FaultKind::PortLost: return kInk;
  }
  return kInk;
}

// A shape per kind as well as a colour, so the kinds stay apart in grey.
void paintMark(QPainter& p, FaultKind k, const QRect& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(markColour(k));
  switch (k) {
    case FaultKind::NoResponse: p.drawEllipse(r); break;
    case FaultKind::Malformed: p.drawRect(r.adjusted(1, 1, -1, -1)); break;
    case FaultKind::Strays: {
      QPainterPath tri;
      tri.moveTo(r.center().x() + 0.5, r.top());
      tri.lineTo(r.right() + 1, r.bottom() + 1);
      tri.lineTo(r.left(), r.bottom() + 1);
      tri.closeSubpath();
      p.drawPath(tri);
      break;
    }
    case FaultKind::SlowReply: {
      QPainterPath d;
      const QPointF c = QRectF(r).center();
      const qreal h = r.width() / 2.0;
      d.moveTo(c.x(), c.y() - h);
      d.lineTo(c.x() + h, c.y());
      d.lineTo(c.x(), c.y() + h);
      d.lineTo(c.x() - h, c.y());
      d.closeSubpath();
      p.drawPath(d);
      break;
    }
    case FaultKind::PortLost: p.drawRect(QRect(r.center().x() - 1, r.top(), 3, r.height())); break;
  }
}

QString elapsedLabel(qint64 ms) {
  const qint64 s = ms / 1000;
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

constexpr FaultKind kKinds[] = {FaultKind::NoResponse, FaultKind::Malformed, FaultKind::Strays, FaultKind::SlowReply,
                                FaultKind::PortLost};
}  // namespace

// ---------------------------------------------------------------- view

TimelineView::TimelineView(const FaultTimeline& timeline, const PollEngine& engine, QWidget* parent)
    : QWidget(parent), timeline_(timeline), engine_(engine) {
  setObjectName(QStringLiteral("picTimeline"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TimelineView::setStartOffsetMs(qint64 ms) {
  if (ms == startOffsetMs_) return;
  startOffsetMs_ = ms;
  update();
}

void TimelineView::setSpanMs(qint64 ms) {
  if (ms <= 0 || ms == spanMs_) return;
  spanMs_ = ms;
  update();
}

int TimelineView::laneHeight() const { return fontMetrics().height() + 8; }

int TimelineView::labelWidth() const {
  return fontMetrics().horizontalAdvance(QStringLiteral("W 9999/9999/9999")) + 8;
}

int TimelineView::plotWidth() const { return std::max(40, width() - plotLeft() - 8); }

qint64 TimelineView::leftMs() const { return timeline_.sweepStartMs() + startOffsetMs_; }

int TimelineView::xOf(qint64 atMs) const {
  return plotLeft() + static_cast<int>((atMs - leftMs()) * plotWidth() / spanMs_);
}

int TimelineView::laneOf(int row) const { return static_cast<int>(timeline_.lanes().indexOf(row)); }

QSize TimelineView::sizeHint() const {
  const int lanes = std::max<int>(1, static_cast<int>(timeline_.lanes().size()));
  return {plotLeft() + 600 + 8, laneTop(lanes) + 3 * laneHeight()};
}

QSize TimelineView::minimumSizeHint() const { return {plotLeft() + 200, laneTop(1) + 3 * laneHeight()}; }

QRect TimelineView::markRect(const FaultMark& m) const {
  if (m.atMs < leftMs() || m.atMs > leftMs() + spanMs_) return {};
  const int x = xOf(m.atMs);
  if (m.kind == FaultKind::PortLost) {
    const int lanes = std::max<int>(1, static_cast<int>(timeline_.lanes().size()));
    return {x - kMarkSize / 2, laneTop(0), kMarkSize, laneTop(lanes) - laneTop(0)};
  }
  const int lane = laneOf(m.row);
  if (lane < 0) return {};
  const int cy = laneTop(lane) + laneHeight() / 2;
  return {x - kMarkSize / 2, cy - kMarkSize / 2, kMarkSize, kMarkSize};
}

QString TimelineView::laneCounters(int row) const {
  // The same counters as the Statistics window: no responses, malformed
  // replies, stray bytes.
  const QStringList cells = statisticsCells(engine_.statistics(row), engine_.monotonicNowMs());
  return QStringLiteral("%1/%2/%3").arg(cells.value(1), cells.value(2), cells.value(3));
}

QString TimelineView::toolTipAt(const QPoint& pos) const {
  const auto& marks = timeline_.marks();
  const qint64 from = leftMs() + (static_cast<qint64>(pos.x() - plotLeft() - kMarkSize) * spanMs_) / plotWidth();
  // The mark nearest the pointer, a drive's mark before the port's line.
  const FaultMark* best = nullptr;
  int bestDistance = kMarkSize;
  for (size_t k = timeline_.firstMarkFrom(from); k < marks.size(); ++k) {
    const QRect r = markRect(marks[k]);
    if (r.isNull()) continue;
    if (r.left() > pos.x() + kMarkSize) break;
    if (!r.adjusted(-2, -2, 2, 2).contains(pos)) continue;
    const int d = std::abs(r.center().x() - pos.x()) + (marks[k].kind == FaultKind::PortLost ? kMarkSize : 0);
    if (d < bestDistance || !best) {
      best = &marks[k];
      bestDistance = d;
    }
  }
  if (best) return faultKindName(best->kind) + QStringLiteral("\n") + best->entry;
  if (pos.x() < plotLeft()) {
    const int lane = (pos.y() - top()) / laneHeight();
    if (pos.y() >= top() && lane < timeline_.lanes().size()) {
      const QStringList titles = statisticsColumns();
      const QStringList cells = statisticsCells(engine_.statistics(timeline_.lanes()[lane]), engine_.monotonicNowMs());
      return QStringLiteral("%1 %2, %3 %4, %5 %6")
          .arg(titles.value(2), cells.value(1), titles.value(3), cells.value(2), titles.value(4), cells.value(3));
    }
  }
  return {};
}

bool TimelineView::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
      e->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(e);
}

void TimelineView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kGround);
  p.setPen(kInk);
  const QList<int>& lanes = timeline_.lanes();
  const int h = laneHeight();
  for (int k = 0; k < lanes.size(); ++k) {
    const int y = laneTop(k);
    p.setPen(kLaneLine);
    p.drawLine(plotLeft(), y + h / 2, plotLeft() + plotWidth(), y + h / 2);
    p.setPen(kInk);
    p.drawText(QRect(4, y, labelWidth() - 4, h), Qt::AlignLeft | Qt::AlignVCenter, QString(xav::driveLetter(lanes[k])));
    p.drawText(QRect(4, y, labelWidth() - 4, h), Qt::AlignRight | Qt::AlignVCenter, laneCounters(lanes[k]));
  }
  const int bottom = laneTop(std::max<int>(1, static_cast<int>(lanes.size())));
  p.setPen(kInk);
  p.drawLine(plotLeft(), top(), plotLeft(), bottom);
  p.setRenderHint(QPainter::Antialiasing);
  // Marks in view; of several at the same pixel of a lane one is painted.
  const auto& marks = timeline_.marks();
  QRect last;
  FaultKind lastKind = FaultKind::PortLost;
  for (size_t k = timeline_.firstMarkFrom(leftMs()); k < marks.size(); ++k) {
    const QRect r = markRect(marks[k]);
    if (marks[k].atMs > leftMs() + spanMs_) break;
    if (r.isNull() || (r == last && marks[k].kind == lastKind)) continue;
    paintMark(p, marks[k].kind, r);
    last = r;
    lastKind = marks[k].kind;
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  paintAxis(p, bottom);
  paintLegend(p, bottom + h);
}

void TimelineView::paintAxis(QPainter& p, int y) {
  p.setPen(kInk);
  p.drawLine(plotLeft(), y, plotLeft() + plotWidth(), y);
  // Ten ticks to the width, labelled with the time since the sweep, as the log's
  // entries count it.
  const int h = laneHeight();
  const qint64 step = std::max<qint64>(1000, spanMs_ / 10);
  int labelsEnd = 0;
  for (qint64 t = (startOffsetMs_ + step - 1) / step * step; t <= startOffsetMs_ + spanMs_; t += step) {
    const int x = xOf(timeline_.sweepStartMs() + t);
    p.drawLine(x, y, x, y + 4);
    const QString label = elapsedLabel(t);
    const int w = p.fontMetrics().horizontalAdvance(label);
    const int left = std::min(x - w / 2, width() - w - 2);
    if (left < labelsEnd) continue;  // no label over another
    p.drawText(QRect(left, y + 4, w + 2, h - 4), Qt::AlignCenter, label);
    labelsEnd = left + w + 6;
  }
}

void TimelineView::paintLegend(QPainter& p, int y) {
  int x = plotLeft();
  const int h = laneHeight();
  for (FaultKind k : kKinds) {
    const QString name = faultKindName(k);
    paintMark(p, k, QRect(x, y + (h - kMarkSize) / 2, kMarkSize, kMarkSize));
    p.setPen(kInk);
    const int w = p.fontMetrics().horizontalAdvance(name);
    p.drawText(QRect(x + kMarkSize + 4, y, w + 2, h), Qt::AlignLeft | Qt::AlignVCenter, name);
    x += kMarkSize + 4 + w + 16;
  }
}

// ---------------------------------------------------------------- window

TimelineWindow::TimelineWindow(const FaultTimeline& timeline, const PollEngine& engine, QWidget* parent)
    : QWidget(parent, Qt::Window), timeline_(timeline), engine_(engine) {
  setObjectName(QStringLiteral("frmTimeline"));
  setWindowTitle(QStringLiteral("Timeline"));
  view_ = new TimelineView(timeline, engine, this);
  // Twenty lanes do not fit a small screen: they scroll up and down.
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("scrLanes"));
  area->setWidget(view_);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setFocusPolicy(Qt::StrongFocus);
  area->setMinimumHeight(view_->minimumSizeHint().height());
  scroll_ = new QScrollBar(Qt::Horizontal, this);
  scroll_->setObjectName(QStringLiteral("scrTime"));
  scroll_->setSingleStep(10);
  // The keys scroll too: lanes up and down, time left and right.
  scroll_->setFocusPolicy(Qt::StrongFocus);
  scroll_->setPageStep(static_cast<int>(view_->spanMs() / 1000));
  spanList_ = new QComboBox(this);
  spanList_->setObjectName(QStringLiteral("cmbSpan"));
  spanList_->addItem(tr("10 minutes"), QVariant::fromValue<qint64>(FaultTimeline::kSpanMs));
  spanList_->addItem(tr("1 minute"), QVariant::fromValue<qint64>(60'000));
  auto* spanLabel = new QLabel(tr("&Width shows"), this);
  spanLabel->setObjectName(QStringLiteral("lblSpan"));
  spanLabel->setBuddy(spanList_);
  exportButton_ = new QPushButton(QStringLiteral("Export &PNG"), this);
  exportButton_->setObjectName(QStringLiteral("cmdExportPng"));
  closeButton_ = new QPushButton(QStringLiteral("&Close"), this);
  closeButton_->setObjectName(QStringLiteral("cmdClose"));
  resultLabel_ = new QLabel(this);
  resultLabel_->setObjectName(QStringLiteral("lblExportResult"));
  resultLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(spanLabel);
  buttons->addWidget(spanList_);
  buttons->addWidget(exportButton_);
  buttons->addWidget(resultLabel_, 1);
  buttons->addWidget(closeButton_);
  auto* root = new QVBoxLayout(this);
  root->addWidget(area, 1);
  root->addWidget(scroll_);
  root->addLayout(buttons);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int s) { view_->setStartOffsetMs(s * 1000LL); });
  connect(spanList_, &QComboBox::currentIndexChanged, this, [this] {
    const bool following = scroll_->value() >= scroll_->maximum();
    view_->setSpanMs(spanList_->currentData().value<qint64>());
    scroll_->setPageStep(static_cast<int>(view_->spanMs() / 1000));
    if (following) scroll_->setValue(scroll_->maximum() + 1);  // refresh takes it to the new end
    refresh();
  });
  connect(exportButton_, &QPushButton::clicked, this, &TimelineWindow::cmdExportPng_Click);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  connect(&refreshTimer_, &QTimer::timeout, this, &TimelineWindow::refresh);
  refresh();
  const QSize lanes = view_->sizeHint();
  resizeWithinScreen(this, {lanes.width() + 30, std::max(lanes.height(), 20 * (fontMetrics().height() + 8)) +
                                                     scroll_->sizeHint().height() + exportButton_->sizeHint().height() + 40});
}

void TimelineWindow::refresh() {
  // Scrolled to the end, the view follows the clock.
  const bool following = scroll_->value() >= scroll_->maximum();
  const qint64 run = std::max<qint64>(0, engine_.monotonicNowMs() - timeline_.sweepStartMs());
  const int last = static_cast<int>(std::max<qint64>(0, run - view_->spanMs() + 999) / 1000);
  scroll_->setMaximum(last);
  if (following) scroll_->setValue(last);
  view_->updateGeometry();
  view_->update();
}

void TimelineWindow::showEvent(QShowEvent* event) {
  refresh();
  refreshTimer_.start(kRefreshMs);
  QWidget::showEvent(event);
}

void TimelineWindow::hideEvent(QHideEvent* event) {
  refreshTimer_.stop();
  QWidget::hideEvent(event);
}

void TimelineWindow::cmdExportPng_Click() {
  auto* dialog = openExportDialog(this, tr("Export timeline"), QStringLiteral("dlgExportPng"), tr("PNG pictures (*.png)"),
                                  QStringLiteral("png"), QStringLiteral("polmon-timeline.png"));
  connect(dialog, &QFileDialog::fileSelected, this, &TimelineWindow::exportTo);
  dialog->open();
}

bool TimelineWindow::exportTo(const QString& path) {
  refresh();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QString error;
  bool ok = view_->grab().save(&buffer, "PNG");
  if (!ok) error = tr("the picture could not be made");
  ok = ok && xav::writeWholeFile(path, png, &error);
  const QString when = engine_.wallNow().toString(QStringLiteral("HH:mm:ss"));
  resultLabel_->setText(ok ? tr("Exported to %1 at %2").arg(QDir::toNativeSeparators(path), when)
                           : tr("Not exported: %1 cannot be written (%2)").arg(QDir::toNativeSeparators(path), error));
  resultLabel_->setToolTip(resultLabel_->text());
  return ok;
}

}  // namespace polmon
