#pragma once
// The "TVRNet Controller" window: the port list, Scan and Exit, the two
// counters, the duct-entry panel and the 20-row grid in two halves. It holds
// no logic of its own: it shows the PollEngine's state and hands it the
// user's clicks and keys.

#include <QWidget>
#include <array>

#include "poll_engine.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace polmon {

// A circular indicator lamp: black, or red while its row is polled.
class Lamp : public QWidget {
  Q_OBJECT
 public:
  explicit Lamp(QWidget* parent = nullptr);
  void setRed(bool red);
  bool isRed() const { return red_; }
  QSize sizeHint() const override { return {14, 14}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool red_ = false;
};

class PolmonWindow : public QWidget {
  Q_OBJECT
 public:
  // Uses the given serial link, or a real serial port when none is given.
  explicit PolmonWindow(xav::SerialLink* link = nullptr, QWidget* parent = nullptr);
  ~PolmonWindow() override;

  PollEngine& engine() { return *engine_; }

  QComboBox* cmbComm = nullptr;
  QCheckBox* chkScanSpeed = nullptr;
  QPushButton* cmdScan = nullptr;
  QPushButton* cmdExit = nullptr;
  QLabel* lblDistCnt = nullptr;
  QLabel* lblDrives = nullptr;
  QLabel* lblErrCnt = nullptr;
  QLabel* lblError = nullptr;
  QFrame* Frame1 = nullptr;
  QLabel* lblDuctReq = nullptr;
  QLineEdit* txtDucts = nullptr;
  std::array<QLineEdit*, kRows> txtAddr{};
  std::array<QLineEdit*, kRows> txtStat{};
  std::array<QLineEdit*, kRows> txtPosition{};
  std::array<QLineEdit*, kRows> txtRequest{};
  std::array<QPushButton*, kRows> cmdRnd{};
  std::array<Lamp*, kRows> shpLed{};

 signals:
  // Exit was pressed and its log line written: the program ends.
  void exitRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void cmdScan_Click();
  void cmdExit_Click();
  void showRow(int i);
  void showLamp(int i);
  void showCaptions();

  xav::SerialLink* link_ = nullptr;
  PollEngine* engine_ = nullptr;
};

}  // namespace polmon
