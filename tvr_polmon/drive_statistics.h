#pragma once
// Per-drive counters for hunting a bad cable or drive: what the poll cycle
// asked each drive, what came back, and how fast. They restart with Scan.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

#include "drive_protocol.h"

namespace polmon {

struct DriveStatistics {
  int polls = 0;        // status queries sent
  int noResponses = 0;  // status queries that got nothing within 0.1 s
  int malformed = 0;    // status replies that were not exactly three bytes
  // Times bytes that answered no query followed this drive's exchange; each
  // run of such bytes is one event, however long.
  int strayBytes = 0;
  std::optional<qint64> lastReplyNs;  // query written to third reply byte seen
  qint64 replyNsSum = 0;
  int timedReplies = 0;
  int movesRequested = 0;  // move request frames sent
  int movesCompleted = 0;  // "M" turning into "P"
  std::optional<qint64> lastFaultMs;  // on the engine's monotonic clock

  void recordReply(qint64 ns);
  void recordFault(qint64 nowMs) { lastFaultMs = nowMs; }
  std::optional<double> meanReplyMs() const;
  std::optional<double> lastReplyMs() const;
  // Seconds since the last fault at nowMs; none without a fault.
  std::optional<double> secondsSinceFault(qint64 nowMs) const;
};

using StatisticsTable = std::array<DriveStatistics, kRows>;

// The column titles of the table, in order, the drive first.
QStringList statisticsColumns();
// One row's cells as shown and exported: empty where nothing was measured.
QStringList statisticsCells(const DriveStatistics& s, qint64 nowMs);

// The table as CSV, CR LF line ends: a line with the time of the export, the
// column titles, then one line per drive, A to U.
QByteArray statisticsCsv(const StatisticsTable& table, const QDateTime& exportedAt, qint64 nowMs);

}  // namespace polmon
