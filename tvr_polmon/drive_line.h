#pragma once
// One query at a time on the drive network's line, and the framing that keeps
// every reply in step with its query.
//
// A query takes what is waiting, sends its frame and judges what comes back:
//
// - Bytes waiting before the frame goes out, and bytes that arrive before the
//   frame and a first reply byte could have crossed the line (three byte
//   times after the write; the clock starts before the write, so a real
//   answer is never taken for one) answer no query: they are strays.
// - A reply is clean when exactly three bytes came within the 0.1 s deadline
//   and no further byte followed within two byte times. Only a clean reply is
//   the addressed drive's. Any other answer (short, long, or with bytes after
//   the deadline) is one malformed exchange, and the line is listened to
//   until it has been quiet for two byte times, so that the rest of it is
//   never taken for the next drive's reply.
// - When nothing came by the deadline, the line is listened to for a grace
//   period more: a late answer is swallowed there (the exchange stays a
//   "No Response") instead of landing in a later drive's exchange.
//
// Four or more bytes run to the deadline, as they always did. So that a clean
// exchange costs no more than the reply's wire time, the caller may name the
// next query when the third byte is in: it goes out at once, while the
// quiet two byte times run (the frame takes them to cross the line, so no
// answer to it can be among them). Bytes within them are still the first
// exchange's; the next query, when it is asked, takes over what came after.

#include <QByteArray>
#include <QList>
#include <QPair>
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
    QByteArray reply;   // what came in time (and its tail), strays excluded
    QByteArray strays;  // bytes that belong to no query
    QByteArray late;    // what came only after the deadline of a silent query
    // Exactly three bytes in time, then a quiet line: the drive's own reply.
    bool clean = false;
    // From the write of the query to the third reply byte seen; only for a
    // clean reply.
    std::optional<qint64> replyNs;
  };
  using Done = std::function<void(const Answer&)>;
  // Given three bytes, in time, the next query frame to send at once, or
  // none to wait for the verdict first.
  using Ahead = std::function<std::optional<QByteArray>(const QByteArray& reply)>;

  explicit DriveLine(xav::SerialLink* link, QObject* parent = nullptr);

  void setReplyTimeoutMs(int ms) { replyTimeoutMs_ = ms; }
  // How long a silent query goes on listening for a late answer; by default
  // as long as the reply timeout.
  void setGraceMs(int ms) { graceMs_ = ms; }
  // Bytes seen sooner than this after a query's write are strays.
  void setEarliestReplyNs(qint64 ns) { earliestReplyNs_ = ns; }
  // The monotonic clock (ns) the line times its exchanges by; a steady clock
  // unless a test gives one that stands still within an event.
  void setClock(std::function<qint64()> nowNs);

  // Sends the query frame and waits for its answer. False when the port is
  // not open: nothing is sent and done is never called.
  bool query(const QByteArray& frame, Done done, Ahead ahead = {});
  // A query went out ahead and has not been asked for yet: nothing else may
  // be sent meanwhile.
  bool queryAhead() const { return ahead_.has_value(); }
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
  void take(const QByteArray& bytes, qint64 nowNs);
  // The moment (ns after the write) the exchange may end, or none when it
  // may end now.
  std::optional<qint64> endsAt(qint64 nowNs) const;
  void finish();
  // Takes over the query sent ahead as the exchange of frame (or, when the
  // caller asks for another, lets it run out and then asks that).
  void adoptAhead(const QByteArray& frame, Done done);
  void sendAhead();

  xav::SerialLink* link_;
  bool active_ = false;
  bool held_ = false;
  Done done_;
  std::function<void()> afterDrain_;
  QByteArray reply_, strays_, late_;
  bool pastDeadline_ = false;
  bool tainted_ = false;  // bytes joined the reply after the deadline
  std::optional<qint64> thirdByteNs_;
  std::optional<qint64> lastByteNs_;
  qint64 sinceNs(qint64 startNs) const { return nowNs_() - startNs; }

  std::function<qint64()> nowNs_;
  qint64 startNs_ = 0;  // when the query in flight was written
  Ahead aheadHook_;
  struct SentAhead {
    QByteArray frame;
    qint64 startNs = 0;
    QList<QPair<qint64, QByteArray>> bytes;  // as seen, ns after its write
  };
  std::optional<SentAhead> ahead_;
  QTimer wake_;
  int replyTimeoutMs_;
  std::optional<int> graceMs_;
  qint64 earliestReplyNs_;
};

}  // namespace polmon
