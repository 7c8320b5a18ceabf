#include "polmon_log.h"

#include <QLocale>

namespace polmon {

namespace {
const QByteArray kEol = QByteArrayLiteral("\r\n");

QByteArray faultPrefix(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address) {
  return (elapsed + QStringLiteral(", ") + QString::number(scanCount) + QStringLiteral(", ") +
          QString::number(errorCount) + QStringLiteral(" , "))
             .toLatin1() +
         printableBytes(address.toLatin1()) + QByteArrayLiteral(", ");
}
}  // namespace

QString logDateTime(const QDateTime& now) {
  return QLocale::c().toString(now, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

QString elapsedText(const QDateTime& now, const std::optional<QDateTime>& start) {
  // Both moments count in whole seconds, as the "Start" line shows them, so
  // a fault 65 s after that line reads 00:01:05 whatever the milliseconds.
  qint64 secs = start ? now.toSecsSinceEpoch() - start->toSecsSinceEpoch() : now.time().msecsSinceStartOfDay() / 1000;
  secs %= 86400;
  if (secs < 0) secs += 86400;  // a clock set back still gives a readable time
  return QStringLiteral("%1:%2:%3")
      .arg(secs / 3600, 2, 10, QLatin1Char('0'))
      .arg(secs / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(secs % 60, 2, 10, QLatin1Char('0'));
}

QString drivesFoundText(int found) { return QString::number(found) + QStringLiteral(" Drives Found"); }

QByteArray printableBytes(const QByteArray& raw) {
  QByteArray out;
  out.reserve(raw.size());
  for (const char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20)
      out += '<' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper() + '>';
    else
      out += c;
  }
  return out;
}

QByteArray sweepHeaderEntry(const QDateTime& now, int drivesFound, const QString& driveList) {
  QByteArray out = kEol;
  out += (QStringLiteral("Start ") + logDateTime(now) + QStringLiteral(",") + drivesFoundText(drivesFound) +
          QStringLiteral(", ") + driveList)
             .toLatin1();
  out += kEol;
  out += QByteArrayLiteral("Time, Scan Count, Error Count, Address, Result");
  out += kEol;
  return out;
}

QByteArray noResponseEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address) {
  return faultPrefix(elapsed, scanCount, errorCount, address) + QByteArrayLiteral("No Response") + kEol;
}

QByteArray badReplyEntry(const QString& elapsed, qint32 scanCount, int errorCount, const QString& address,
                         const QByteArray& reply) {
  return faultPrefix(elapsed, scanCount, errorCount, address) + printableBytes(reply) + kEol;
}

QByteArray portLostEntry(const QDateTime& now, const QString& port, const QString& reason) {
  return printableBytes((QStringLiteral("Port lost ") + logDateTime(now) + QStringLiteral(", ") + port +
                         QStringLiteral(", ") + reason)
                            .toLatin1()) +
         kEol;
}

QByteArray portBackEntry(const QDateTime& now, const QString& port) {
  return printableBytes((QStringLiteral("Port back ") + logDateTime(now) + QStringLiteral(", ") + port).toLatin1()) +
         kEol;
}

QByteArray exitEntry(const QDateTime& now) {
  return (QStringLiteral("Shut down ") + logDateTime(now)).toLatin1() + kEol;
}

}  // namespace polmon
