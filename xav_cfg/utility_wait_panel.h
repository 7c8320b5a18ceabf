#pragma once
// The wait for a long-running utility: once a run of the shared utility
// runner has lasted its long-wait threshold (5 s), this panel shows what it
// waits for (program, module address, elapsed seconds) and a Cancel that ends
// the run. Short runs never show it. It hides itself when the run ends.

#include <QFrame>

#include "utility_runner.h"

class QLabel;
class QPushButton;

namespace xavcfg {

class UtilityWaitPanel : public QFrame {
  Q_OBJECT
 public:
  explicit UtilityWaitPanel(QWidget* parent = nullptr, gw::UtilityRunner* runner = nullptr);

  // What the run shown last was waiting for (kept after it ended).
  const gw::UtilityWait& lastWait() const { return lastWait_; }

  // "Waiting for ruinet (module 192.168.1.20): 7 s"
  static QString describe(const gw::UtilityWait& wait);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showWait(const gw::UtilityWait& wait);
  void cancel();

  gw::UtilityRunner& runner_;
  gw::UtilityWait lastWait_;
  QLabel* waitLabel_;
  QPushButton* cancelButton_;
};

}  // namespace xavcfg
