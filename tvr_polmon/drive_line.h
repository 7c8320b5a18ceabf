#pragma once
// One query at a time on the drive network's line, and the framing that keeps
// every reply in step with its query.
//
// A query flushes what is waiting, sends its frame and ends as soon as
// exactly three bytes are waiting, or at the 0.1 s deadline (on a monotonic
// clock) with whatever came.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "serial_link.h"

namespace polmon {

class DriveLine : public QObject {
  Q_OBJECT
 public:
  struct Answer {
    QByteArray reply;  // what the query read
  };
  using Done = std::function<void(const Answer&)>;

  explicit DriveLine(xav::SerialLink* link, QObject* parent = nullptr);

  void setReplyTimeoutMs(int ms) { replyTimeoutMs_ = ms; }

  // Sends the query frame and waits for its answer. False when the port is
  // not open: nothing is sent and done is never called.
  bool query(const QByteArray& frame, Done done);
  // Sends a frame that awaits no answer. False when the port is not open.
  bool send(const QByteArray& frame);
  bool busy() const { return active_; }
  // While held, a query in flight does not end (the duct-count entry holds
  // the cycle); releasing it judges the query at once.
  void setHeld(bool held);
  // Forgets the query in flight.
  void cancel();

 signals:
  void frameSent(const QByteArray& frame);

 private:
  void check();
  void finish();

  xav::SerialLink* link_;
  bool active_ = false;
  bool held_ = false;
  Done done_;
  QElapsedTimer clock_;
  QTimer deadline_;
  int replyTimeoutMs_;
};

}  // namespace polmon
