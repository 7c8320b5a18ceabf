#pragma once
// "Change IP Address" dialog (object name frmTCP): fetches the selected module's
// fs_tcp.ini, shows its address and mask, and uploads the edited file.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPushButton;

namespace xave {

class IpChangeDialog : public QDialog {
  Q_OBJECT
 public:
  IpChangeDialog(const QString& workDir, QWidget* owner);

  // Fetches the settings of moduleIp and, when they could be read, shows the
  // dialog modally until Change or Escape. A file that is missing or has
  // fewer than six lines is reported and nothing is shown or sent.
  void showFor(const QString& moduleIp);

 private:
  void cmdChange_Click();
  void showEvent(QShowEvent* event) override;

  QString workDir_;
  QString moduleIp_;
  QStringList heldLines_;
  bool centred_ = false;
  QLineEdit* addressBox_ = nullptr;  // txtIP
  QLineEdit* maskBox_ = nullptr;     // txtSubNet
};

}  // namespace xave
