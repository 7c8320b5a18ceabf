#pragma once
// The save dialog of the Statistics and Timeline exports: not blocking, so
// the poll cycle and the windows go on while it is open.
#include <QDir>
#include <QFileDialog>

namespace polmon {

inline QFileDialog* openExportDialog(QWidget* parent, const QString& caption, const QString& objectName,
                                     const QString& filter, const QString& suffix, const QString& fileName) {
  auto* dialog = new QFileDialog(parent, caption, QDir::currentPath(), filter);
  dialog->setObjectName(objectName);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(suffix);
  dialog->selectFile(fileName);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}

}  // namespace polmon
