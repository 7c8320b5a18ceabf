#pragma once
// The faults of the run in time, for the Timeline window: one lane per drive
// found, one mark per fault counted against it (no response, malformed reply,
// stray bytes, a reply slower than 50 ms), and the lost port across all
// lanes. Each mark carries what Polmon.dbg says about it. Marks are kept
// from the sweep on, at most kMaxMarks (the oldest go first), so a drive that
// is silent for days cannot eat the memory.
//
// Times are on the engine's monotonic clock, in milliseconds.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <deque>

namespace polmon {

enum class FaultKind { NoResponse, Malformed, Strays, SlowReply, PortLost };

// "No response", "Malformed reply" ...
QString faultKindName(FaultKind kind);

struct FaultMark {
  qint64 atMs = 0;
  int row = -1;  // the drive's row; -1 for the port itself
  FaultKind kind = FaultKind::NoResponse;
  QString entry;  // the Polmon.dbg entry, without its line end
};

class PollEngine;

class FaultTimeline : public QObject {
  Q_OBJECT
 public:
  static constexpr qint64 kSpanMs = 10 * 60 * 1000;  // what the window shows at once
  static constexpr qint64 kSlowReplyNs = 50'000'000;
  static constexpr size_t kMaxMarks = 100'000;

  explicit FaultTimeline(QObject* parent = nullptr);
  // Follows the engine's events from now on.
  void attach(PollEngine& engine);

  // A new Scan: marks and lanes start afresh.
  void startSweep(qint64 atMs);
  void addLane(int row);
  void record(const FaultMark& mark);
  // A status reply came after ns; a slow one is a mark.
  void recordReply(int row, qint64 ns, qint64 atMs);

  qint64 sweepStartMs() const { return sweepStartMs_; }
  // Rows of the lanes, in the order of the grid.
  const QList<int>& lanes() const { return lanes_; }
  const std::deque<FaultMark>& marks() const { return marks_; }
  // Index of the first mark at or after atMs (marks are in time order).
  size_t firstMarkFrom(qint64 atMs) const;
  // Marks of this kind on this row still held.
  int count(int row, FaultKind kind) const;
  // Marks dropped because the limit was reached.
  quint64 dropped() const { return dropped_; }

 signals:
  void changed();

 private:
  qint64 sweepStartMs_ = 0;
  QList<int> lanes_;
  std::deque<FaultMark> marks_;
  quint64 dropped_ = 0;
};

}  // namespace polmon
