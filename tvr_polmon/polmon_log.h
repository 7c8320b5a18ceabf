#pragma once
// Entries of the fault log Polmon.dbg. Each entry is appended and the file
// closed again at once, so the log is complete on disk at any moment.
//
// "now" is written in one fixed form, whatever the machine's locale:
// month/day/year, then the 12-hour time with AM or PM, e.g.
// "12/6/2026 2:05:07 PM". Elapsed times are "hh:mm:ss", the hours restarting
// at 00 after a day. The error count is written as the window shows it after
// the fault was counted: the number and one blank ("3 ").

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace polmon {

inline constexpr char kLogFileName[] = "Polmon.dbg";

// The fixed date-and-time form of the log.
QString logDateTime(const QDateTime& now);

// now − start as "hh:mm:ss". Without a start (no sweep has finished yet) the
// time of day of now is written, as if counted from midnight.
QString elapsedText(const QDateTime& now, const std::optional<QDateTime>& start);

// The sweep result as the window shows it: "3 Drives Found".
QString drivesFoundText(int found);

// An empty line, the "Start" line and the column header.
QByteArray sweepHeaderEntry(const QDateTime& now, int drivesFound, const QString& driveList);
QByteArray noResponseEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address);
// The raw reply goes in as received, control characters included.
QByteArray badReplyEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address,
                         const QByteArray& reply);
QByteArray exitEntry(const QDateTime& now);

}  // namespace polmon
