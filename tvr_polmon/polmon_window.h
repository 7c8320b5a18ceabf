#pragma once
// The "TVRNet Controller" window: the port list, Scan, Exit and Statistics,
// the two counters, a line for what went wrong with the port or the log beside the
// duct-entry panel's place, and the 20-row grid in two halves. It holds no logic of its
// own: it shows the PollEngine's state in the described captions and colours
// and hands the engine the user's clicks and keys. Widgets carry the
// described names as their objectNames ("txtAddr(3)", "cmdScan" ...).

#include <QWidget>
#include <array>

#include "fault_timeline.h"
#include "poll_engine.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace polmon {

class StatisticsWindow;
class TimelineWindow;

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
  const FaultTimeline& timeline() const { return *timeline_; }

 signals:
  // Exit was pressed and its log line written: the program ends.
  void exitRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildTopBar(QBoxLayout* root);
  void buildMessageRow(QBoxLayout* root);
  void buildDuctPanel();
  void buildGrid(QBoxLayout* root);
  void buildGridRow(QGridLayout* grid, int i, int line);
  void connectEngine();
  void setTabOrders();
  void Form_Load();
  void cmdScan_Click();
  void cmdExit_Click();
  void cmdStatistics_Click();
  void cmdTimeline_Click();
  // Scan found no open port: the list is probed again and stays in sight.
  void scanWithoutPort(const QString& port);
  void showDrivesFound(const QString& caption);
  // The port list and its label, in their places either way.
  void showPortList(bool shown);
  void cmdRnd_Click(int i);
  bool txtRequest_KeyPress(int i, const QKeyEvent* key);
  bool txtDucts_KeyPress(const QKeyEvent* key);
  // Display-only boxes pass the focus on to Exit.
  void txtStat_GotFocus(int i);
  void txtPosition_GotFocus(int i);
  void showRow(int i);
  void showMessages();

  xav::SerialLink* link_ = nullptr;
  PollEngine* engine_ = nullptr;
  StatisticsWindow* statisticsWindow_ = nullptr;
  FaultTimeline* timeline_ = nullptr;
  TimelineWindow* timelineWindow_ = nullptr;
  QString openFailure_;  // why the last Scan could not open its port
  QString portMessage_;
  QString logMessage_;

  QComboBox* portList_ = nullptr;
  QLabel* portLabel_ = nullptr;
  QCheckBox* slowScanBox_ = nullptr;
  QPushButton* scanButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* statisticsButton_ = nullptr;
  QPushButton* timelineButton_ = nullptr;
  QLabel* drivesFoundLabel_ = nullptr;
  QLabel* drivesLabel_ = nullptr;
  QLabel* errorCountLabel_ = nullptr;
  QLabel* messageLabel_ = nullptr;
  QFrame* ductPanel_ = nullptr;
  QLineEdit* ductBox_ = nullptr;
  std::array<QLineEdit*, kRows> addressBoxes_{};
  std::array<QLineEdit*, kRows> statusBoxes_{};
  std::array<QLineEdit*, kRows> positionBoxes_{};
  std::array<QLineEdit*, kRows> requestBoxes_{};
  std::array<QPushButton*, kRows> rowButtons_{};
  std::array<Lamp*, kRows> lamps_{};
};

}  // namespace polmon
