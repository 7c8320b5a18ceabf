#pragma once
// "Change IP Address" dialog (object name frmTCP): shows the address and
// mask the module's fs_tcp.ini holds and asks for new ones. It only asks:
// the IP change session has fetched the file and writes and uploads it
// once the operator has chosen Change (the main window's wait panel has
// the Cancel meanwhile).

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace xave {

class IpChangeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit IpChangeDialog(QWidget* owner);

  // Called once per ask: change true with the values in normal form after
  // Change, false after Escape or a close.
  using Answer = std::function<void(bool change, const QString& address, const QString& mask)>;
  // Shows the module's values and opens the dialog (modal to its owner,
  // without waiting); the answer comes from the event loop.
  void ask(const QString& address, const QString& mask, Answer answer);

 private:
  void cmdChange_Click();
  void showEvent(QShowEvent* event) override;
  void answer(bool change, const QString& address = {}, const QString& mask = {});

  Answer answer_;
  bool centred_ = false;
  QLineEdit* addressBox_ = nullptr;  // txtIP
  QLineEdit* maskBox_ = nullptr;     // txtSubNet
};

}  // namespace xave
