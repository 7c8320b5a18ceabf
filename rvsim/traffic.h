#pragma once
// What the gateway does on the wire, counted and kept as decoded records:
// the counters the window and the headless "stats" show, and a bounded log
// of the newest frames for the Traffic window. Recording a frame copies a
// few numbers into a ring allocated once, so the reply path stays fast and
// memory stays flat however long the gateway runs.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace rvsim {

struct TrafficCounters {
  quint64 connectionsAccepted = 0;
  quint64 connectionsTurnedAway = 0;
  quint64 connectionsReplaced = 0;  // the gateway came back from its own address
  quint64 writesAnswered = 0;  // function code 16
  quint64 readsAnswered = 0;   // function code 3
  quint64 framesIgnored = 0;   // other function codes, cut frames, frames passed over
  quint64 bytesIn = 0;
  quint64 bytesOut = 0;
  quint64 framesAnswered() const { return writesAnswered + readsAnswered; }
};

enum class Direction : quint8 { In, Out };

// One frame as it passed: only its first bytes (all of any frame the
// gateway sends) are kept, and decoded when the list is shown.
struct TrafficRecord {
  static constexpr int kKeptBytes = 56;
  qint64 timeMs = 0;  // milliseconds since the epoch
  Direction direction = Direction::In;
  bool answered = true;  // for frames in: whether a reply went out
  quint16 size = 0;      // bytes of the whole frame
  std::array<char, kKeptBytes> head{};
};

// Keeps a frame in (a request) or out (a reply).
TrafficRecord recordFrame(QByteArrayView frame, Direction direction, qint64 timeMs, bool answered = true);

// The columns of a record: time, direction, transaction id, unit, function,
// address, quantity, summary.
inline constexpr int kTrafficColumnCount = 8;
QString trafficColumn(const TrafficRecord& r, int column);
QStringList trafficColumns(const TrafficRecord& r);
QStringList trafficHeadings();
// The columns on one line, separated by tabs (for the saved file).
QString trafficLine(const TrafficRecord& r);

// Ring of the newest records; sequence numbers count every record ever added.
class TrafficLog {
 public:
  static constexpr int kCapacity = 10000;
  TrafficLog() : ring_(kCapacity) {}
  void add(const TrafficRecord& r) { ring_[static_cast<size_t>(next_++ % kCapacity)] = r; }
  quint64 nextSequence() const { return next_; }
  // The oldest sequence number still held.
  quint64 firstSequence() const { return next_ > quint64(kCapacity) ? next_ - kCapacity : 0; }
  // Record of a sequence number between firstSequence() and nextSequence().
  const TrafficRecord& at(quint64 sequence) const { return ring_[static_cast<size_t>(sequence % kCapacity)]; }

 private:
  std::vector<TrafficRecord> ring_;
  quint64 next_ = 0;
};

}  // namespace rvsim
