#pragma once
// frmSelect: the start dialog that asks for the connection type.

#include <QDialog>

class QLabel;
class QPushButton;

namespace xavcfg {

class frmSelect : public QDialog {
  Q_OBJECT
 public:
  // ConnectionType values; kEndProgram when the program must end.
  enum { kUnchosen = 0, kSerial = 1, kEthernet = 2, kEndProgram = -1 };

  // mainCaption is the main window's caption, taken over on activation.
  explicit frmSelect(const QString& mainCaption, QWidget* parent = nullptr);

  int ConnectionType = kUnchosen;

  void cmdEthernet_Click();
  void cmdSerial_Click();
  void cmdExit_Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString mainCaption_;
  QLabel* Label1;
  QPushButton* cmdEthernet;
  QPushButton* cmdSerial;
  QPushButton* cmdExit;
};

// Whether the working directory holds the loader (ruinet.exe; the name is
// compared without regard to case).
bool loaderPresent();

}  // namespace xavcfg
