#include "history_window.h"

#include <QMessageBox>

// Placeholder until the window lands: lists nothing, restores nothing.
namespace gw {

struct HistoryWindow::Private {};

HistoryWindow::HistoryWindow(OperationRecorder&, UtilityRunner&, const QString&, QWidget* parent)
    : QDialog(parent), d_(new Private) {
  setObjectName(QStringLiteral("FrmHistory"));
  setWindowTitle(tr("History"));
}

HistoryWindow::~HistoryWindow() { delete d_; }

void HistoryWindow::showModule(const QString&, const QByteArray&) {}

void showSaveComparison(QWidget*, const QString&, const QByteArray&, const QByteArray&) {}

void showServiceLog(QWidget*, OperationRecorder&) {}

}  // namespace gw
