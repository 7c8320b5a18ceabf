#pragma once
// RVSIM's window (form Form1): 20 register rows (positions written by the
// gateway, requests typed by the user, captions), the connection status
// panel, the drive D monitor and the traffic counters. It observes the
// simulator core and feeds the typed requests and captions into it; the
// reply path never waits for the screen.

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

#include "frame_handler.h"

class QAction;
class QCheckBox;
class QGridLayout;
class QMenu;
class QScrollArea;
class QGroupBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace rvsim {

class CaptionBox;
class RequestBox;
class Simulator;
class TrafficWindow;

class RvsimWindow : public QWidget {
  Q_OBJECT
 public:
  // The monitor keeps this many lines; older ones are dropped.
  static constexpr int kMonitorMaxLines = 1000;
  // The screen shows arrivals at most this often (the image is always current).
  static constexpr int kDisplayIntervalMs = 40;
  static constexpr int kCountersIntervalMs = 500;
  // Positions not written for this long are marked stale (the gateway scans every 0.5 s).
  static constexpr qint64 kStaleAfterMs = 2000;
  // The counters shown, one value label each.
  enum Counter { Accepted, TurnedAway, Replaced, Reads, Writes, Ignored, BytesIn, BytesOut, Rate, LastWrite, kCounterCount };

  explicit RvsimWindow(Simulator& simulator, QWidget* parent = nullptr);
  ~RvsimWindow() override;

  // Runs once, at the first activation: rows, captions, listening, focus.
  void firstActivation();
  Simulator& simulator() const { return simulator_; }
  // The lamp's state; its paint follows within kDisplayIntervalMs.
  bool activityIsRed() const;
  // The counters as shown (refreshed every kCountersIntervalMs).
  void showCounters();
  void setStaleAfterMs(qint64 ms) { staleAfterMs_ = ms; }
  // Opens (or raises) the Traffic window.
  void cmdTraffic_Click();
  // Empties the captions and their file, once the user has agreed.
  void cmdClrCap_Click();
  // How the window asks a yes/no question (a modal box; tests answer it).
  using Confirm = std::function<bool(QWidget* parent, const QString& question)>;
  void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

 signals:
  // The program is to end with this exit code (Exit, or a port that cannot be bound).
  void programEnd(int exitCode);

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void buildTemplates();
  void buildHeadings();
  void buildStatusFrame();
  void buildMonitor();
  void buildTrafficFrame();
  void buildButtons();
  void buildFaultsMenu();
  void buildLayout();
  void showFaults();
  void connectSimulator();
  void BuildRegisterRows();
  void buildRow(int i);
  void connectRow(int i);
  void setTabOrders();
  void syncRequest(int i);
  void showRequest(int i);
  void showCaptions();
  void showStatus(int state);
  void showPositions();
  void showLabels();
  void flushDisplay();
  void endProgram(int exitCode, const QString& message);
  // A note in the message line: seen, never in the way (no modal box).
  void note(const QString& text);

  Simulator& simulator_;
  QTimer* displayTimer_;
  QTimer* countersTimer_;
  bool labelsDirty_ = false;
  bool positionsDirty_ = false;
  QStringList pendingMonitor_;
  bool activated_ = false;
  qint64 staleAfterMs_ = kStaleAfterMs;
  Confirm confirm_;
  QWidget* rowsWidget_ = nullptr;
  QGridLayout* rowsGrid_ = nullptr;
  QScrollArea* rowsArea_ = nullptr;
  QScrollArea* formArea_ = nullptr;
  QLabel* heading_ = nullptr;
  QLabel* reqHeading_ = nullptr;
  QLabel* capHeading_ = nullptr;
  QPushButton* faultsButton_ = nullptr;
  QMenu* faultsMenu_ = nullptr;
  QAction* silentAction_ = nullptr;
  QAction* refuseWritesAction_ = nullptr;
  QLabel* faultsLabel_ = nullptr;

  std::array<QLabel*, kRows + 1> positionRegisterLabels_{};
  std::array<QLabel*, kRows + 1> driveLabels_{};
  std::array<QLineEdit*, kRows + 1> positionBoxes_{};
  std::array<QLabel*, kRows + 1> requestRegisterLabels_{};
  std::array<RequestBox*, kRows + 1> requestBoxes_{};
  std::array<CaptionBox*, kRows + 1> captionBoxes_{};
  QGroupBox* statusFrame_ = nullptr;
  QLineEdit* localIpBox_ = nullptr;
  QLineEdit* stateBox_ = nullptr;
  QLineEdit* remoteIpBox_ = nullptr;
  QFrame* activityLamp_ = nullptr;
  QCheckBox* monitorCheck_ = nullptr;
  QPushButton* monitorClearButton_ = nullptr;
  QPlainTextEdit* monitorBox_ = nullptr;
  QPushButton* clearCaptionsButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QLabel* messageLine_ = nullptr;
  QGroupBox* trafficFrame_ = nullptr;
  std::array<QLabel*, kCounterCount> counterValues_{};
  QPushButton* trafficButton_ = nullptr;
  TrafficWindow* trafficWindow_ = nullptr;
};

}  // namespace rvsim
