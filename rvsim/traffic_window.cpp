#include "traffic_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "files.h"
#include "message_boxes.h"
#include "simulator.h"

namespace rvsim {

// ---- model ----------------------------------------------------------------

TrafficModel::TrafficModel(const TrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), next_(log.nextSequence()) {}

int TrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kTrafficColumnCount; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= records_.size()) return {};
  // Only the rows in view are ever turned into text.
  return trafficColumn(records_[size_t(index.row())], index.column());
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return trafficHeadings().value(section);
}

int TrafficModel::pull() {
  const quint64 end = log_.nextSequence();
  quint64 from = std::max(next_, log_.firstSequence());
  if (end - from > quint64(kMaxLines)) from = end - kMaxLines;
  const int count = static_cast<int>(end - from);
  next_ = end;
  if (count == 0) return 0;
  const int keep = std::max(0, std::min(int(records_.size()), kMaxLines - count));
  const int drop = int(records_.size()) - keep;
  if (keep == 0) {
    // Everything is new: cheaper for the view than removing and inserting.
    beginResetModel();
    records_.clear();
    for (quint64 s = from; s < end; ++s) records_.push_back(log_.at(s));
    endResetModel();
    return count;
  }
  if (drop > 0) {
    beginRemoveRows({}, 0, drop - 1);
    records_.erase(records_.begin(), records_.begin() + drop);
    endRemoveRows();
  }
  beginInsertRows({}, keep, keep + count - 1);
  for (quint64 s = from; s < end; ++s) records_.push_back(log_.at(s));
  endInsertRows();
  return count;
}

void TrafficModel::clear() {
  beginResetModel();
  records_.clear();
  next_ = log_.nextSequence();
  endResetModel();
}

QByteArray TrafficModel::text() const {
  QByteArray out = trafficHeadings().join(QLatin1Char('\t')).toUtf8() + "\r\n";
  for (const TrafficRecord& r : records_) out += trafficLine(r).toUtf8() + "\r\n";
  return out;
}

// ---- window ---------------------------------------------------------------

TrafficWindow::TrafficWindow(Simulator& simulator, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new TrafficModel(simulator.trafficLog(), this)), list_(new QTableView(this)),
      pauseButton_(new QPushButton(QStringLiteral("&Pause"), this)),
      clearButton_(new QPushButton(QStringLiteral("&Clear"), this)),
      saveButton_(new QPushButton(QStringLiteral("&Save..."), this)),
      closeButton_(new QPushButton(QStringLiteral("Cl&ose"), this)), statusLabel_(new QLabel(this)),
      pullTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("frmTraffic"));
  setWindowTitle(QStringLiteral("RVSIM Traffic"));
  list_->setObjectName(QStringLiteral("lstTraffic"));
  pauseButton_->setObjectName(QStringLiteral("cmdPause"));
  clearButton_->setObjectName(QStringLiteral("cmdClear"));
  saveButton_->setObjectName(QStringLiteral("cmdSave"));
  closeButton_->setObjectName(QStringLiteral("cmdClose"));
  statusLabel_->setObjectName(QStringLiteral("lblLines"));
  pauseButton_->setCheckable(true);

  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setWordWrap(false);
  list_->verticalHeader()->hide();
  // Fixed row heights keep 10,000 lines cheap to lay out.
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  list_->horizontalHeader()->setStretchLastSection(true);
  const int widths[] = {95, 35, 55, 40, 65, 60, 65};
  for (int c = 0; c < 7; ++c) list_->setColumnWidth(c, widths[c]);

  auto* buttons = new QHBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(pauseButton_), static_cast<QWidget*>(clearButton_),
                     static_cast<QWidget*>(saveButton_), static_cast<QWidget*>(statusLabel_)}) {
    buttons->addWidget(w);
  }
  buttons->addStretch();
  buttons->addWidget(closeButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(860, 420);

  pullTimer_->setInterval(kPullIntervalMs);
  connect(pullTimer_, &QTimer::timeout, this, &TrafficWindow::refresh);
  connect(pauseButton_, &QPushButton::toggled, this, [this](bool paused) {
    if (!paused) refresh();
    showLineCount();
  });
  connect(clearButton_, &QPushButton::clicked, this, [this] {
    model_->clear();
    showLineCount();
  });
  connect(saveButton_, &QPushButton::clicked, this, &TrafficWindow::cmdSave_Click);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  showLineCount();
}

TrafficWindow::~TrafficWindow() = default;

void TrafficWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  refresh();
  pullTimer_->start();
}

void TrafficWindow::hideEvent(QHideEvent* e) {
  pullTimer_->stop();
  QWidget::hideEvent(e);
}

void TrafficWindow::refresh() {
  if (pauseButton_->isChecked()) return;
  QScrollBar* bar = list_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  if (model_->pull() == 0) return;
  // The newest line stays in view unless the user has scrolled back.
  if (atEnd) list_->scrollToBottom();
  showLineCount();
}

void TrafficWindow::showLineCount() {
  const QString count = QStringLiteral("%1 lines").arg(model_->rowCount());
  statusLabel_->setText(pauseButton_->isChecked() ? count + QStringLiteral(" (paused)") : count);
}

void TrafficWindow::cmdSave_Click() {
  const QString path = chooseFile_ ? chooseFile_()
                                   : QFileDialog::getSaveFileName(this, QStringLiteral("Save traffic"),
                                                                  QStringLiteral("rvsim-traffic.txt"),
                                                                  QStringLiteral("Text files (*.txt);;All files (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (!xav::writeWholeFile(path, model_->text(), &error)) {
    xav::showMessage(this, xav::MessageIcon::Exclamation, windowTitle(),
                     QStringLiteral("The traffic cannot be saved to %1 (%2).").arg(path, error));
    return;
  }
  statusLabel_->setText(QStringLiteral("%1 lines saved to %2").arg(model_->rowCount()).arg(path));
}

}  // namespace rvsim
