#pragma once
// SerialRoutines: the serial line to an XAV module. The query exchange runs
// as a state machine on the event loop with the line's exact timing:
// "**??", 0.2 s, "??", up to 0.5 s for 30 characters, 0.5 s settle, read
// everything; up to seven attempts 0.5 s apart with the countdown 6..1.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "serial_link.h"

namespace xavcfg {

class SerialRoutines : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWakeToQueryMs = 200;
  static constexpr int kReplyWindowMs = 500;
  static constexpr int kSettleMs = 500;
  static constexpr int kRetryPauseMs = 500;
  static constexpr int kRetries = 6;  // seven attempts in all

  explicit SerialRoutines(xav::SerialLink* link, QObject* parent = nullptr);

  xav::SerialLink* link() const { return link_; }

  // "COM n" for each port of 1..16 that the link offers for probing
  // (comNumbersToProbe: those whose device exists) and that opens; each is
  // closed again.
  QStringList ListComPorts();
  // Closes the port, then opens "COM n"; whether it is open afterwards.
  bool openPort(int comNumber);
  bool portOpen() const { return link_->isOpen(); }

  // Empties the receive buffer, then writes the text as it is. False when
  // the port is not open or failed during the write (lastWriteFailure says
  // how): then the module may hold part of the text or nothing.
  bool SendToModule(const QByteArray& text);
  QString lastWriteFailure() const { return writeFailure_; }
  // "@" CR LF straight to the port, when it is open.
  void sendEndMarker();

  // Starts the exchange; ends with queryFinished. Ignored while one runs.
  void QueryModule();
  // Stops a running exchange without a result (window closing).
  void cancel();
  bool busy() const { return step_ != Step::Idle; }

  // Last reply read (also after a time-out), as WaitForReply leaves it.
  QByteArray ModuleRecord;
  bool ReplyTimedOut = false;

 signals:
  // Before attempts 2 to 7: the retries left, 6 down to 1.
  void countdown(int retriesLeft);
  // The exchange ended; replied is false after seven silent attempts.
  void queryFinished(bool replied);

 private:
  enum class Step { Idle, WakePause, WaitingForReply, Settling, RetryPause };
  void startAttempt();
  void onTimer();
  void onData();
  void endReplyWindow(bool timedOut);
  void arm(int ms);

  xav::SerialLink* link_;
  QTimer timer_;
  Step step_ = Step::Idle;
  int retriesLeft_ = 0;
  QString writeFailure_;
  bool writing_ = false;
};

}  // namespace xavcfg
