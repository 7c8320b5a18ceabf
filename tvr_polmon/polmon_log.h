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

// Bytes below 0x20 as "<0D>" (two hex digits), so that a reply holding CR or
// LF stays on its own log line; every other byte as it is.
QByteArray printableBytes(const QByteArray& raw);

// An empty line, the "Start" line and the column header.
QByteArray sweepHeaderEntry(const QDateTime& now, int drivesFound, const QString& driveList);
QByteArray noResponseEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address);
// A reply that is not exactly three bytes, written with printableBytes.
QByteArray badReplyEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address,
                         const QByteArray& reply);
// The port went away while the drives were polled.
QByteArray portLostEntry(const QDateTime& now, const QString& port, const QString& reason);
// The lost port opened again.
QByteArray portBackEntry(const QDateTime& now, const QString& port);
QByteArray exitEntry(const QDateTime& now);

}  // namespace polmon
