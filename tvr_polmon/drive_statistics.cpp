#include "drive_statistics.h"

#include <QStringList>

#include "drive_letters.h"

namespace polmon {

namespace {
QString oneDecimal(const std::optional<double>& v) { return v ? QString::number(*v, 'f', 1) : QString(); }

// A cell that holds a comma or a quote is quoted, as CSV readers expect.
QByteArray csvCell(const QString& text) {
  QByteArray cell = text.toUtf8();
  if (cell.contains(',') || cell.contains('"')) cell = '"' + cell.replace("\"", "\"\"") + '"';
  return cell;
}
}  // namespace

void DriveStatistics::recordReply(qint64 ns) {
  lastReplyNs = ns;
  replyNsSum += ns;
  ++timedReplies;
}

std::optional<double> DriveStatistics::meanReplyMs() const {
  if (timedReplies == 0) return std::nullopt;
  return static_cast<double>(replyNsSum) / timedReplies / 1e6;
}

std::optional<double> DriveStatistics::lastReplyMs() const {
  if (!lastReplyNs) return std::nullopt;
  return static_cast<double>(*lastReplyNs) / 1e6;
}

std::optional<double> DriveStatistics::secondsSinceFault(qint64 nowMs) const {
  if (!lastFaultMs) return std::nullopt;
  return static_cast<double>(nowMs - *lastFaultMs) / 1000.0;
}

QStringList statisticsColumns() {
  return {QStringLiteral("Drive"),           QStringLiteral("Polls"),
          QStringLiteral("No responses"),    QStringLiteral("Malformed replies"),
          QStringLiteral("Stray bytes"),     QStringLiteral("Last reply ms"),
          QStringLiteral("Mean reply ms"),   QStringLiteral("Moves requested"),
          QStringLiteral("Moves completed"), QStringLiteral("Since last fault s")};
}

QStringList statisticsCells(const DriveStatistics& s, qint64 nowMs) {
  return {QString::number(s.polls),          QString::number(s.noResponses),
          QString::number(s.malformed),      QString::number(s.strayBytes),
          oneDecimal(s.lastReplyMs()),       oneDecimal(s.meanReplyMs()),
          QString::number(s.movesRequested), QString::number(s.movesCompleted),
          oneDecimal(s.secondsSinceFault(nowMs))};
}

QByteArray statisticsCsv(const StatisticsTable& table, const QDateTime& exportedAt, qint64 nowMs) {
  const QByteArray eol = QByteArrayLiteral("\r\n");
  QByteArray out = "Exported," + exportedAt.toString(Qt::ISODate).toUtf8() + eol;
  QByteArrayList titles;
  for (const QString& t : statisticsColumns()) titles << csvCell(t);
  out += titles.join(',') + eol;
  for (int i = 0; i < kRows; ++i) {
    QByteArrayList cells{csvCell(QString(xav::driveLetter(i)))};
    for (const QString& c : statisticsCells(table[static_cast<size_t>(i)], nowMs)) cells << csvCell(c);
    out += cells.join(',') + eol;
  }
  return out;
}

}  // namespace polmon
