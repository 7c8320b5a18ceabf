#include "fault_timeline.h"

#include <algorithm>

#include "drive_letters.h"
#include "poll_engine.h"

namespace polmon {

QString faultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NoResponse: return QStringLiteral("No response");
    case FaultKind::Malformed: return QStringLiteral("Malformed reply");
    case FaultKind::Strays: return QStringLiteral("Stray bytes");
    case FaultKind::SlowReply: return QStringLiteral("Reply over 50 ms");
    case FaultKind::PortLost: return QStringLiteral("Port lost");
  }
  return {};
}

FaultTimeline::FaultTimeline(QObject* parent) : QObject(parent) {}

void FaultTimeline::attach(PollEngine& engine) {
  PollEngine* e = &engine;
  connect(e, &PollEngine::scanStarted, this, [this, e] { startSweep(e->monotonicNowMs()); });
  connect(e, &PollEngine::sweepFinished, this, [this, e] {
    for (int i = 0; i < kRows; ++i)
      if (!e->row(i).address.isEmpty()) addLane(i);
  });
  connect(e, &PollEngine::faultCounted, this, [this, e](int row, FaultKind kind, const QByteArray& entry) {
    record({e->monotonicNowMs(), row, kind, QString::fromLatin1(entry).trimmed()});
  });
  connect(e, &PollEngine::replyTimed, this,
          [this, e](int row, qint64 ns) { recordReply(row, ns, e->monotonicNowMs()); });
}

void FaultTimeline::startSweep(qint64 atMs) {
  sweepStartMs_ = atMs;
  lanes_.clear();
  marks_.clear();
  dropped_ = 0;
  emit changed();
}

void FaultTimeline::addLane(int row) {
  if (row < 0 || row >= kRows || lanes_.contains(row)) return;
  lanes_.insert(std::lower_bound(lanes_.begin(), lanes_.end(), row), row);
  emit changed();
}

void FaultTimeline::record(const FaultMark& mark) {
  if (mark.row < 0 && mark.kind != FaultKind::PortLost) return;  // an address without a row
  if (mark.row >= kRows) return;
  // A drive that shows a fault has a lane, found in the sweep or not (a
  // typed address, or a drive that answered only later).
  if (mark.row >= 0) addLane(mark.row);
  if (marks_.size() >= kMaxMarks) {
    marks_.pop_front();
    ++dropped_;
  }
  // The clock is monotonic, so the marks stay in time order.
  marks_.push_back(mark);
  emit changed();
}

void FaultTimeline::recordReply(int row, qint64 ns, qint64 atMs) {
  if (row < 0 || ns <= kSlowReplyNs) return;
  const QString entry = QStringLiteral("%1, reply after %2 ms")
                            .arg(xav::driveLetter(row))
                            .arg(static_cast<double>(ns) / 1e6, 0, 'f', 1);
  record({atMs, row, FaultKind::SlowReply, entry});
}

size_t FaultTimeline::firstMarkFrom(qint64 atMs) const {
  const auto it =
      std::lower_bound(marks_.begin(), marks_.end(), atMs, [](const FaultMark& m, qint64 t) { return m.atMs < t; });
  return static_cast<size_t>(it - marks_.begin());
}

int FaultTimeline::count(int row, FaultKind kind) const {
  return static_cast<int>(
      std::count_if(marks_.begin(), marks_.end(), [&](const FaultMark& m) { return m.row == row && m.kind == kind; }));
}

}  // namespace polmon
