#pragma once
// RVSIM's window: 20 register rows (positions written by the gateway,
// requests typed by the user, captions), the connection status panel and the
// drive D monitor. The register image behind the rows lives in a
// FrameProcessor; the widgets show it and feed the typed requests into it.

#include <QElapsedTimer>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <array>

#include "frame_handler.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace rvsim {

class ModbusServer;

// A request box: digits only, 0 to 254, and a typed value becomes the
// request only when committed (Enter or leaving the box). While typing, the
// box is cyan and keeps the value it had, which is what a read returns.
class RequestBox : public QLineEdit {
  Q_OBJECT
 public:
  RequestBox(int index, QWidget* parent);
  int index() const { return index_; }
  bool inEntry() const { return inEntry_; }
  const QString& savedCopy() const { return saved_; }
  // Text := its value in plain decimal (0 to 254), white again.
  void commit();

 signals:
  void stepFocus(int index, int delta);
  void gainedFocus(int index);
  void lostFocus(int index);
  void entryChanged(int index);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void setEntry(bool on);
  int index_;
  bool inEntry_ = false;
  QString saved_;
};

// A caption box: Enter goes to the row's request box; leaving it saves the file.
class CaptionBox : public QLineEdit {
  Q_OBJECT
 public:
  CaptionBox(int index, QWidget* parent);
  int index() const { return index_; }
 signals:
  void enterPressed(int index);
  void lostFocus(int index);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  int index_;
};

class Form1 : public QWidget {
  Q_OBJECT
 public:
  // The monitor keeps this many lines; older ones are dropped.
  static constexpr int kMonitorMaxLines = 1000;
  static constexpr int kRefreshMs = 2000;
  // The screen shows arrivals at most this often (the image is always current).
  static constexpr int kDisplayIntervalMs = 40;

  struct Options {
    quint16 port = 502;
    int idleTimeoutMs = 30000;
    int refreshMs = kRefreshMs;
    qint64 partialFrameExpiryMs = FrameAssembler::kDefaultExpiryMs;
  };

  explicit Form1(const Options& options, QWidget* parent = nullptr);
  Form1() : Form1(Options{}) {}
  ~Form1() override;

  // Runs once, at the first activation: rows, captions, listening, focus.
  void firstActivation();

  // Row controls, i = 1..20 (0 is the hidden template).
  QLabel* modReg(int i) const { return modReg_[i]; }
  QLabel* addr(int i) const { return addr_[i]; }
  QLineEdit* posReg(int i) const { return posReg_[i]; }
  QLabel* modReg1(int i) const { return modReg1_[i]; }
  RequestBox* reqReg(int i) const { return reqReg_[i]; }
  CaptionBox* capReg(int i) const { return capReg_[i]; }
  QLineEdit* localIP() const { return localIP_; }
  QLineEdit* state() const { return state_; }
  QLineEdit* remoteIP() const { return remoteIP_; }
  QFrame* shpActivity() const { return shpActivity_; }
  // The lamp's state; its paint follows within kDisplayIntervalMs.
  bool activityIsRed() const { return activityRed_; }
  QCheckBox* chkMonitor() const { return chkMonitor_; }
  QPlainTextEdit* txtMonitor() const { return txtMonitor_; }
  QPushButton* cmdMonitorClear() const { return cmdMonitorClear_; }
  QPushButton* cmdClrCap() const { return cmdClrCap_; }
  QPushButton* cmdExit() const { return cmdExit_; }
  ModbusServer* server() const { return winsock1_; }
  const RegisterImage& image() const { return processor_.image(); }

  // Runs the status refresh now (the timer does it every refreshMs).
  void refreshStatus();
  // Handles one arrival as the socket would deliver it.
  void dataArrival(const QByteArray& bytes);

  void OpenCaptions();
  void CreateCaptionFile();

 signals:
  // The program is to end with this exit code (Exit, or a socket failure).
  void programEnd(int exitCode);

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void BuildRegisterRows();
  void syncRequest(int i);
  void showPositions();
  void showLabels();
  void flushDisplay();
  void endProgram(int exitCode, const QString& message);
  void clearCaptions();

  Options options_;
  FrameProcessor processor_;
  ModbusServer* winsock1_;
  QTimer* timer1_;
  QTimer* displayTimer_;
  bool labelsDirty_ = false;
  bool positionsDirty_ = false;
  QStringList pendingMonitor_;
  QElapsedTimer clock_;
  bool activated_ = false;
  bool activityRed_ = false;
  int rowHeight_ = 20;

  std::array<QLabel*, kRows + 1> modReg_{};
  std::array<QLabel*, kRows + 1> addr_{};
  std::array<QLineEdit*, kRows + 1> posReg_{};
  std::array<QLabel*, kRows + 1> modReg1_{};
  std::array<RequestBox*, kRows + 1> reqReg_{};
  std::array<CaptionBox*, kRows + 1> capReg_{};
  QGroupBox* frame1_;
  QLineEdit* localIP_;
  QLineEdit* state_;
  QLineEdit* remoteIP_;
  QFrame* shpActivity_;
  QCheckBox* chkMonitor_;
  QPushButton* cmdMonitorClear_;
  QPlainTextEdit* txtMonitor_;
  QPushButton* cmdClrCap_;
  QPushButton* cmdExit_;
};

// Background colour of a box as painted.
QRgb backgroundOf(const QWidget* w);

}  // namespace rvsim
