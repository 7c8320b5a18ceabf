#pragma once
// The wait for a long-running utility, shared by the configuration windows:
// once a run of the runner has lasted its long-wait threshold (5 s), the
// panel shows what it waits for (program, module address, elapsed seconds)
// and a Cancel (Escape too) that ends the run or the session it belongs to.
// Short runs never show it; it hides itself when the runner is idle again.
// It sits outside a window's input area, so it stays usable while a busy
// window has disabled the rest.

#include <QFrame>
#include <functional>

#include "utility_runner.h"

class QLabel;
class QPushButton;

namespace gw {

class WaitPanel : public QFrame {
  Q_OBJECT
 public:
  // Each window keeps the object names its users and tests know.
  struct Names {
    QString frame = QStringLiteral("fraUtilityWait");
    QString label = QStringLiteral("lblUtilityWait");
    QString cancel = QStringLiteral("cmdCancelWait");
  };

  WaitPanel(UtilityRunner& runner, const Names& names, QWidget* parent = nullptr);

  // What Cancel does; by default it cancels the runner's run. A window
  // driving a session cancels the session instead, so the session finishes
  // as Cancelled and says what that left behind.
  void setCancelAction(std::function<void()> action) { cancelAction_ = std::move(action); }
  // How a wait is put in words (describe() by default).
  void setDescription(std::function<QString(const UtilityWait&)> describe) { describe_ = std::move(describe); }

  // What the run shown last was waiting for (kept after it ended).
  const UtilityWait& lastWait() const { return lastWait_; }
  QLabel* label() const { return waitLabel_; }
  QPushButton* cancelButton() const { return cancelButton_; }

  // "Waiting for ruinet (module 192.168.1.20): 7 s"
  static QString describe(const UtilityWait& wait);

  void cancel();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showWait(const UtilityWait& wait);

  UtilityRunner& runner_;
  UtilityWait lastWait_;
  std::function<void()> cancelAction_;
  std::function<QString(const UtilityWait&)> describe_;
  QLabel* waitLabel_;
  QPushButton* cancelButton_;
};

}  // namespace gw
