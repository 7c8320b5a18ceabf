#pragma once
// ConnectionTypeDialog (form frmSelect): the start dialog that asks whether
// the module is configured over a serial port or over Ethernet.

#include <QDialog>

class QLabel;
class QPushButton;

namespace xavcfg {

class ConnectionTypeDialog : public QDialog {
  Q_OBJECT
 public:
  // ConnectionType values; kEndProgram when the program must end.
  enum { kUnchosen = 0, kSerial = 1, kEthernet = 2, kEndProgram = -1 };

  // mainCaption is the main window's caption, taken over on activation.
  explicit ConnectionTypeDialog(const QString& mainCaption, QWidget* parent = nullptr);

  int ConnectionType = kUnchosen;

  void cmdEthernet_Click();
  void cmdSerial_Click();
  void cmdExit_Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString mainCaption_;
  QLabel* questionLabel_;
  QPushButton* ethernetButton_;
  QPushButton* serialButton_;
  QPushButton* exitButton_;
};

}  // namespace xavcfg
