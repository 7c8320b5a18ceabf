#pragma once
// One query at a time on the drive network's line, and the framing that keeps
// every reply in step with its query.
//
// A query flushes what is waiting, sends its frame and ends as soon as
// exactly three bytes are waiting, or at the 0.1 s deadline (on a monotonic
// clock) with whatever came. A clean exchange therefore costs what it always
// did: no wait is added between frames.
//
// Bytes that belong to no query are set apart as strays: those waiting before
// the frame goes out, and those that arrive before the frame and the first
// byte of an answer could have crossed the line (three byte times after the
// write; the clock starts before the write, so a real answer is never taken
// for a stray).
//
// Where the line is in doubt (strays met, or the caller asks because the
// exchange before went wrong: a late answer may still be on its way), the
// third byte ends the exchange only once the line has stayed quiet for three
// byte times after it; a byte more makes the reply overlong, and overlong
// replies wait for the deadline as always. So the rest of a late or overlong
// answer is never taken for a reply, and the next exchange starts in step.

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
    QByteArray reply;   // what the query read, strays excluded
    QByteArray strays;  // bytes that belong to no query
    // From the write of the query to the third reply byte seen; only for a
    // reply of exactly three bytes.
    std::optional<qint64> replyNs;
  };
  using Done = std::function<void(const Answer&)>;

  explicit DriveLine(xav::SerialLink* link, QObject* parent = nullptr);

  void setReplyTimeoutMs(int ms) { replyTimeoutMs_ = ms; }
  // Bytes seen sooner than this after a query's write are strays.
  void setEarliestReplyNs(qint64 ns) { earliestReplyNs_ = ns; }

  // Sends the query frame and waits for its answer. False when the port is
  // not open: nothing is sent and done is never called. inDoubt: the third
  // byte must be followed by a quiet line.
  bool query(const QByteArray& frame, Done done, bool inDoubt = false);
  // Sends a frame that awaits no answer. False when the port is not open.
  bool send(const QByteArray& frame);
  bool busy() const { return active_; }
  // While held, a query in flight does not end (the duct-count entry holds
  // the cycle); releasing it judges the query at once.
  void setHeld(bool held);
  // Lets the query in flight run to its end and drops its answer, then runs
  // then; with no query in flight, runs it at once.
  void drain(std::function<void()> then);
  // Forgets the query in flight and any drain.
  void cancel();

 signals:
  void frameSent(const QByteArray& frame);

 private:
  void check();
  bool replyComplete(qint64 elapsedNs);
  void finish();

  xav::SerialLink* link_;
  bool active_ = false;
  bool held_ = false;
  Done done_;
  std::function<void()> afterDrain_;
  bool inDoubt_ = false;
  QByteArray strays_;
  std::optional<qint64> thirdByteNs_;  // when three reply bytes were first seen
  QElapsedTimer clock_;
  QTimer deadline_;
  int replyTimeoutMs_;
  qint64 earliestReplyNs_;
};

}  // namespace polmon
