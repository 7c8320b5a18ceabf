#pragma once
// "Change IP Address" dialog (object name frmTCP): fetches the selected
// module's fs_tcp.ini, shows its address and mask, and writes the edited
// file back into the working directory for the main window to upload (the
// upload runs under the main window, whose wait display has the Cancel).

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPushButton;

namespace xave {

class IpChangeDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Outcome {
    Changed,      // fs_tcp.ini holds the new address and mask: upload it
    Escaped,      // closed without a change; nothing written
    Unreadable,   // the fetched file was missing or short (reported); not shown
    Interrupted,  // the fetch was cancelled; the caller tells the operator
  };

  IpChangeDialog(const QString& workDir, QWidget* owner);

  // Fetches the settings of moduleIp and, when they could be read, shows the
  // dialog modally until Change or Escape.
  Outcome showFor(const QString& moduleIp);

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
