#include "statistics_window.h"
#include "export_dialog.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include "drive_letters.h"
#include "drive_statistics.h"
#include "files.h"

namespace polmon {

namespace {
constexpr int kRefreshMs = 500;
}

void resizeWithinScreen(QWidget* window, QSize wanted) {
  const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
  const QScreen* screen = anchor->screen();
  if (!screen) {
    window->resize(wanted);
    return;
  }
  // Room for the frame the window manager adds.
  const QSize room = screen->availableGeometry().size() - QSize(16, 40);
  window->resize(wanted.boundedTo(room).expandedTo(window->minimumSizeHint()));
}

StatisticsWindow::StatisticsWindow(const PollEngine& engine, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine) {
  setObjectName(QStringLiteral("frmStatistics"));
  setWindowTitle(QStringLiteral("Statistics"));
  const QStringList columns = statisticsColumns();
  table_ = new QTableWidget(kRows, static_cast<int>(columns.size()) - 1, this);
  table_->setObjectName(QStringLiteral("grdStatistics"));
  table_->setHorizontalHeaderLabels(columns.mid(1));
  QStringList letters;
  for (int i = 0; i < kRows; ++i) letters << QString(xav::driveLetter(i));
  table_->setVerticalHeaderLabels(letters);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A table wraps Tab round its cells for ever; arrows move in it, Tab leaves
  // for Export and Close.
  table_->setTabKeyNavigation(false);
  // Widths fixed once from the titles: sizing to the contents would measure
  // every cell again at each refresh.
  for (int c = 0; c < table_->columnCount(); ++c)
    table_->setColumnWidth(c, fontMetrics().horizontalAdvance(columns[c + 1]) + 24);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  // Reachable by Tab, so the keys scroll it where the window is small.
  table_->setFocusPolicy(Qt::StrongFocus);
  for (int r = 0; r < table_->rowCount(); ++r)
    for (int c = 0; c < table_->columnCount(); ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }

  exportButton_ = new QPushButton(QStringLiteral("&Export CSV"), this);
  exportButton_->setObjectName(QStringLiteral("cmdExportCsv"));
  closeButton_ = new QPushButton(QStringLiteral("&Close"), this);
  closeButton_->setObjectName(QStringLiteral("cmdClose"));
  resultLabel_ = new QLabel(this);
  resultLabel_->setObjectName(QStringLiteral("lblExportResult"));
  resultLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(exportButton_);
  buttons->addWidget(resultLabel_, 1);
  buttons->addWidget(closeButton_);
  auto* root = new QVBoxLayout(this);
  root->addWidget(table_);
  root->addLayout(buttons);
  connect(exportButton_, &QPushButton::clicked, this, &StatisticsWindow::cmdExportCsv_Click);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  connect(&refreshTimer_, &QTimer::timeout, this, &StatisticsWindow::refresh);
  refresh();
  // All 20 drives in view.
  const int width = table_->horizontalHeader()->length() + table_->verticalHeader()->sizeHint().width() + 40;
  const int height = table_->verticalHeader()->length() + table_->horizontalHeader()->sizeHint().height() +
                     exportButton_->sizeHint().height() + 40;
  // Small screens and large scales: the table scrolls instead.
  table_->setMinimumSize(200, 120);
  resizeWithinScreen(this, {width, height});
}

void StatisticsWindow::refresh() {
  const StatisticsTable& stats = engine_.statisticsTable();
  const qint64 now = engine_.monotonicNowMs();
  for (int r = 0; r < kRows; ++r) {
    const QStringList cells = statisticsCells(stats[static_cast<size_t>(r)], now);
    for (int c = 0; c < cells.size(); ++c) {
      QTableWidgetItem* item = table_->item(r, c);
      if (item->text() != cells[c]) item->setText(cells[c]);
    }
  }
}

void StatisticsWindow::showEvent(QShowEvent* event) {
  refresh();
  refreshTimer_.start(kRefreshMs);
  QWidget::showEvent(event);
}

void StatisticsWindow::hideEvent(QHideEvent* event) {
  refreshTimer_.stop();
  QWidget::hideEvent(event);
}

void StatisticsWindow::cmdExportCsv_Click() {
  auto* dialog = openExportDialog(this, tr("Export statistics"), QStringLiteral("dlgExportCsv"), tr("CSV files (*.csv)"),
                                  QStringLiteral("csv"), QStringLiteral("polmon-statistics.csv"));
  connect(dialog, &QFileDialog::fileSelected, this, &StatisticsWindow::exportTo);
  dialog->open();
}

bool StatisticsWindow::exportTo(const QString& path) {
  const QDateTime now = engine_.wallNow();
  const QByteArray csv = statisticsCsv(engine_.statisticsTable(), now, engine_.monotonicNowMs());
  QString error;
  const bool ok = xav::writeWholeFile(path, csv, &error);
  resultLabel_->setText(ok ? tr("Exported to %1 at %2").arg(QDir::toNativeSeparators(path), now.toString(QStringLiteral("HH:mm:ss")))
                           : tr("Not exported: %1 cannot be written (%2)").arg(QDir::toNativeSeparators(path), error));
  resultLabel_->setToolTip(resultLabel_->text());
  return ok;
}

}  // namespace polmon
