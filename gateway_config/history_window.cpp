#include "history_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "colours.h"
#include "history_commands.h"

namespace gw {

namespace {

// Changed lines are painted on fixed light backgrounds, so their text gets a
// fixed dark colour too: a dark theme's light text would vanish on them.
constexpr QRgb kRemovedBackground = qRgb(255, 215, 215);
constexpr QRgb kAddedBackground = qRgb(215, 245, 215);
constexpr QRgb kFixedText = qRgb(0, 0, 0);

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoDefault(false);
  return b;
}

QString shownTime(const QDateTime& t) { return isoTimeWithOffset(t); }

QString entryLabel(const HistoryEntry& e) {
  return QStringLiteral("%1 %2 (%3)").arg(operationName(e.operation), shownTime(e.time), e.id);
}

QString outcomeText(const HistoryEntry& e) {
  if (e.succeeded) return e.outcome.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok: ") + e.outcome;
  return QStringLiteral("FAILED: ") + e.outcome;
}

void addDiffRows(QTableWidget* table, const QString& heading, const QList<DiffLine>& lines) {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int row = table->rowCount();
  table->insertRow(row);
  auto* head = new QTableWidgetItem(heading);
  QFont bold = head->font();
  bold.setBold(true);
  head->setFont(bold);
  table->setItem(row, 3, head);
  for (const DiffLine& l : lines) {
    row = table->rowCount();
    table->insertRow(row);
    const QString mark = l.kind == DiffLine::Kind::Same ? QString()
                         : l.kind == DiffLine::Kind::OnlyFirst ? QStringLiteral("-")
                                                               : QStringLiteral("+");
    QTableWidgetItem* cells[] = {new QTableWidgetItem(mark),
                                 new QTableWidgetItem(l.firstLine ? QString::number(l.firstLine) : QString()),
                                 new QTableWidgetItem(l.secondLine ? QString::number(l.secondLine) : QString()),
                                 new QTableWidgetItem(l.text)};
    cells[3]->setFont(fixed);
    for (int c = 0; c < 4; ++c) {
      if (l.kind != DiffLine::Kind::Same) {
        cells[c]->setBackground(QColor(l.kind == DiffLine::Kind::OnlyFirst ? kRemovedBackground : kAddedBackground));
        cells[c]->setForeground(QColor(kFixedText));
      }
      table->setItem(row, c, cells[c]);
    }
  }
}

// A non-modal view of the difference of two Config.csv files; it deletes
// itself when closed.
QDialog* showComparison(QWidget* parent, const QString& caption, const QString& firstLabel,
                        const QString& secondLabel, const QByteArray& first, const QByteArray& second) {
  auto* dlg = new QDialog(parent);
  dlg->setObjectName(QStringLiteral("FrmCompare"));
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(caption);
  const ConfigDiff diff = diffConfigs(first, second);

  auto* files = new QLabel(QStringLiteral("- %1\n+ %2").arg(firstLabel, secondLabel), dlg);
  files->setObjectName(QStringLiteral("lblCompareFiles"));
  files->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summary = new QLabel(diff.identical() ? QStringLiteral("The files are identical.")
                                              : QStringLiteral("%1 line(s) differ.").arg(diff.changedLines()),
                             dlg);
  summary->setObjectName(QStringLiteral("lblCompareSummary"));

  auto* table = new QTableWidget(0, 4, dlg);
  table->setObjectName(QStringLiteral("tblCompare"));
  table->setHorizontalHeaderLabels({QString(), QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Line")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->hide();
  // One text line per row: a Config.csv runs to a few hundred lines.
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
  table->setWordWrap(false);
  addDiffRows(table, QStringLiteral("Summary, Nodes and Map_Descriptors"), diff.key);
  addDiffRows(table, QStringLiteral("Rest of the file"), diff.rest);
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  table->setCurrentItem(nullptr);

  auto* changedOnly = new QCheckBox(QStringLiteral("Changed lines &only"), dlg);
  changedOnly->setObjectName(QStringLiteral("chkChangedOnly"));
  QObject::connect(changedOnly, &QCheckBox::toggled, table, [table](bool only) {
    for (int r = 0; r < table->rowCount(); ++r) {
      const QTableWidgetItem* mark = table->item(r, 0);
      const bool heading = !mark;
      table->setRowHidden(r, only && !heading && mark->text().isEmpty());
    }
  });
  auto* close = button(QStringLiteral("&Close"), "cmdCompareClose", dlg);
  QObject::connect(close, &QPushButton::clicked, dlg, &QDialog::close);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(changedOnly);
  bottom->addStretch();
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(dlg);
  layout->addWidget(files);
  layout->addWidget(summary);
  layout->addWidget(table, 1);
  layout->addLayout(bottom);
  dlg->resize(860, 460);
  dlg->show();
  return dlg;
}

}  // namespace

struct HistoryWindow::Private {
  OperationRecorder& recorder;
  UtilityRunner& runner;
  QString workDir;
  QString address;
  QByteArray current;
  QList<HistoryEntry> entries;
  RestoreSession* restore = nullptr;
  std::function<bool(const QString&)> confirm;

  QLabel* module = nullptr;
  QTreeWidget* list = nullptr;
  QLabel* status = nullptr;
  QPushButton* compare = nullptr;
  QPushButton* restoreButton = nullptr;
  QPushButton* log = nullptr;
  QPushButton* close = nullptr;

  Private(OperationRecorder& r, UtilityRunner& u, const QString& w) : recorder(r), runner(u), workDir(w) {}

  QList<const HistoryEntry*> selected() const {
    QList<const HistoryEntry*> out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->isSelected()) out << &entries[i];
    return out;
  }
};

HistoryWindow::HistoryWindow(OperationRecorder& recorder, UtilityRunner& runner, const QString& workDir,
                             QWidget* parent)
    : QDialog(parent), d_(new Private(recorder, runner, workDir)) {
  setObjectName(QStringLiteral("FrmHistory"));
  setWindowTitle(tr("History"));

  d_->module = new QLabel(this);
  d_->module->setObjectName(QStringLiteral("lblHistoryModule"));
  d_->list = new QTreeWidget(this);
  d_->list->setObjectName(QStringLiteral("lstHistory"));
  d_->list->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Operation"), QStringLiteral("Protocol and PLC address"),
                             QStringLiteral("Title"), QStringLiteral("Outcome")});
  d_->list->setRootIsDecorated(false);
  d_->list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  d_->list->setAllColumnsShowFocus(true);
  d_->status = new QLabel(this);
  d_->status->setObjectName(QStringLiteral("lblHistoryStatus"));
  d_->status->setWordWrap(true);

  d_->compare = button(QStringLiteral("&Compare"), "cmdCompare", this);
  d_->compare->setToolTip(QStringLiteral("One entry against the module's current file, or two entries."));
  d_->restoreButton = button(QStringLiteral("&Restore..."), "cmdRestore", this);
  d_->restoreButton->setToolTip(QStringLiteral("Upload the entry's Config.csv exactly as kept, then verify it."));
  d_->log = button(QStringLiteral("Service &Log"), "cmdServiceLog", this);
  d_->close = button(QStringLiteral("Cl&ose"), "cmdHistoryClose", this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(d_->compare);
  buttons->addWidget(d_->restoreButton);
  buttons->addStretch();
  buttons->addWidget(d_->log);
  buttons->addWidget(d_->close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(d_->module);
  layout->addWidget(d_->list, 1);
  layout->addWidget(d_->status);
  layout->addLayout(buttons);
  resize(820, 420);

  connect(d_->list, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::updateButtons);
  connect(d_->compare, &QPushButton::clicked, this, &HistoryWindow::compareSelected);
  connect(d_->restoreButton, &QPushButton::clicked, this, &HistoryWindow::restoreSelected);
  connect(d_->log, &QPushButton::clicked, this, [this] { showServiceLog(this, d_->recorder); });
  connect(d_->close, &QPushButton::clicked, this, &QDialog::reject);
  updateButtons();
}

HistoryWindow::~HistoryWindow() { delete d_; }

void HistoryWindow::showModule(const QString& moduleAddress, const QByteArray& currentConfig) {
  d_->address = moduleAddressKey(moduleAddress);
  d_->current = currentConfig;
  d_->module->setText(QStringLiteral("History of the module at %1").arg(d_->address));
  d_->status->clear();
  refresh();
}

void HistoryWindow::setConfirmation(std::function<bool(const QString&)> confirm) { d_->confirm = std::move(confirm); }

void HistoryWindow::refresh() {
  d_->entries = d_->recorder.history().entries(d_->address);
  d_->list->clear();
  for (const HistoryEntry& e : d_->entries) {
    auto* item = new QTreeWidgetItem(d_->list, {shownTime(e.time), operationName(e.operation), e.protocolAndPlc(),
                                                e.title, outcomeText(e)});
    item->setToolTip(4, e.outcome);
  }
  for (int c = 0; c < 4; ++c) d_->list->resizeColumnToContents(c);
  if (d_->entries.isEmpty()) d_->status->setText(QStringLiteral("No history kept for this module yet."));
  updateButtons();
}

void HistoryWindow::updateButtons() {
  const auto sel = d_->selected();
  const bool busy = d_->restore && d_->restore->isActive();
  const auto hasConfig = [](const HistoryEntry* e) { return !e->config.isEmpty(); };
  const bool ipChange = sel.size() == 1 && !sel[0]->networkBefore.isEmpty();
  d_->compare->setEnabled(!busy && (ipChange || (sel.size() == 2 && hasConfig(sel[0]) && hasConfig(sel[1])) ||
                                    (sel.size() == 1 && hasConfig(sel[0]) && !d_->current.isEmpty())));
  d_->restoreButton->setEnabled(!busy && sel.size() == 1 && !sel[0]->config.isEmpty());
  d_->list->setEnabled(!busy);
}

void HistoryWindow::compareSelected() {
  const auto sel = d_->selected();
  if (sel.size() == 2) {
    // Older first, so "+" is what came later.
    const HistoryEntry* older = sel[0]->time <= sel[1]->time ? sel[0] : sel[1];
    const HistoryEntry* newer = older == sel[0] ? sel[1] : sel[0];
    showComparison(this, QStringLiteral("Compare history entries"), entryLabel(*older), entryLabel(*newer),
                   older->config, newer->config);
  } else if (sel.size() == 1 && !sel[0]->networkBefore.isEmpty()) {
    // An IP change keeps fs_tcp.ini, not Config.csv: what it changed.
    showComparison(this, QStringLiteral("Compare fs_tcp.ini"), QStringLiteral("fs_tcp.ini as fetched"),
                   QStringLiteral("fs_tcp.ini as sent"), sel[0]->networkBefore, sel[0]->networkAfter);
  } else if (sel.size() == 1 && !d_->current.isEmpty()) {
    showComparison(this, QStringLiteral("Compare with the module"), entryLabel(*sel[0]),
                   QStringLiteral("%1 now").arg(d_->address), sel[0]->config, d_->current);
  }
}

void HistoryWindow::restoreSelected() {
  const auto sel = d_->selected();
  if (sel.size() != 1 || sel[0]->config.isEmpty()) return;
  const HistoryEntry entry = *sel[0];
  const QString text = restoreNotice(entry, d_->address, configLines(d_->current).value(0), !d_->current.isEmpty()) +
                       QStringLiteral("\n\nUpload this Config.csv to the module at %1 and verify it?").arg(d_->address);
  const bool yes = d_->confirm ? d_->confirm(text)
                               : QMessageBox::question(this, QStringLiteral("Restore"), text,
                                                       QMessageBox::Yes | QMessageBox::No,
                                                       QMessageBox::No) == QMessageBox::Yes;
  if (!yes) {
    d_->status->setText(QStringLiteral("Restore cancelled; nothing was sent."));
    return;
  }
  delete d_->restore;
  d_->restore = new RestoreSession(d_->runner, d_->workDir, this);
  connect(d_->restore, &Session::finished, this, [this](const SessionOutcome& o) {
    d_->recorder.record(o);
    if (!o.configRead.isEmpty()) d_->current = o.configRead;  // the module's file as now fetched
    d_->status->setText(o.message);
    refresh();
    emit restoreFinished(o);
  });
  if (!d_->restore->start(d_->address, entry.config)) {
    d_->status->setText(QStringLiteral("Another utility is still running; try again when it has ended."));
    return;
  }
  d_->status->setText(QStringLiteral("Restoring %1 ...").arg(d_->address));
  updateButtons();
}

void HistoryWindow::reject() {
  // The upload runs on; the owner's wait panel can cancel it.
  if (d_->restore && d_->restore->isActive()) {
    d_->status->setText(QStringLiteral("Wait for the restore to end (or cancel it in the main window)."));
    return;
  }
  QDialog::reject();
}

QDialog* showSaveComparison(QWidget* parent, const QString& moduleAddress, const QByteArray& readBack,
                            const QByteArray& wouldSend) {
  const QString address = moduleAddressKey(moduleAddress);
  return showComparison(parent, QStringLiteral("Compare before saving"), QStringLiteral("%1 now (read back)").arg(address),
                        QStringLiteral("what Save would send"), readBack, wouldSend);
}

QDialog* showServiceLog(QWidget* parent, OperationRecorder& recorder) {
  auto* dlg = new QDialog(parent);
  dlg->setObjectName(QStringLiteral("FrmServiceLog"));
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(QStringLiteral("Service log"));
  QString error;
  const QList<ServiceLogLine> lines = recorder.log().read({}, &error);
  auto* path = new QLabel(error.isEmpty() ? QDir::toNativeSeparators(recorder.log().path())
                                          : QStringLiteral("%1 could not be read: %2")
                                                .arg(QDir::toNativeSeparators(recorder.log().path()), error),
                          dlg);
  path->setObjectName(QStringLiteral("lblServiceLogPath"));
  path->setTextInteractionFlags(Qt::TextSelectableByMouse);
  path->setWordWrap(true);
  auto* table = new QTableWidget(int(lines.size()), int(ServiceLog::columns().size()), dlg);
  table->setObjectName(QStringLiteral("tblServiceLog"));
  table->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Tool"), QStringLiteral("Operation"),
                                    QStringLiteral("Module"), QStringLiteral("Name"), QStringLiteral("COM port"),
                                    QStringLiteral("Protocol"), QStringLiteral("PLC address"), QStringLiteral("Title"),
                                    QStringLiteral("Outcome"), QStringLiteral("Reason")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->hide();
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
  for (int r = 0; r < lines.size(); ++r) {
    const QStringList fields = lines[r].fields();
    for (int c = 0; c < fields.size(); ++c) table->setItem(r, c, new QTableWidgetItem(fields[c]));
  }
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  table->scrollToBottom();  // the newest lines are the ones looked for
  auto* close = button(QStringLiteral("&Close"), "cmdServiceLogClose", dlg);
  QObject::connect(close, &QPushButton::clicked, dlg, &QDialog::close);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(dlg);
  layout->addWidget(path);
  layout->addWidget(table, 1);
  layout->addLayout(bottom);
  dlg->resize(860, 460);
  dlg->show();
  return dlg;
}

}  // namespace gw
