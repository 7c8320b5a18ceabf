#include "traffic.h"

#include <QDateTime>
#include <algorithm>

#include "frame_handler.h"

namespace rvsim {

namespace {

quint8 byteAt(QByteArrayView b, qsizetype i) { return i < b.size() ? static_cast<quint8>(b[i]) : 0; }
quint16 wordAt(QByteArrayView b, qsizetype i) { return static_cast<quint16>(byteAt(b, i) << 8 | byteAt(b, i + 1)); }

// Low bytes of the registers carried from byte `first` on (at most 20).
void takeValues(QByteArrayView frame, qsizetype first, TrafficRecord& r) {
  const qsizetype count = std::clamp<qsizetype>((frame.size() - first) / 2, 0, 20);
  r.valueCount = static_cast<quint8>(count);
  for (qsizetype k = 0; k < count; ++k) r.values[size_t(k)] = byteAt(frame, first + 2 * k + 1);
}

QString valueList(const TrafficRecord& r) {
  QString s;
  s.reserve(r.valueCount * 4);
  for (int k = 0; k < r.valueCount; ++k) {
    if (k) s += QLatin1Char(' ');
    s += QString::number(r.values[size_t(k)]);
  }
  return s;
}

QString summary(const TrafficRecord& r) {
  const bool in = r.direction == Direction::In;
  if (in && !r.answered) {
    return r.function == kWriteMultiple || r.function == kReadHolding
               ? QStringLiteral("cut short (%1 bytes): not answered").arg(r.size)
               : QStringLiteral("function %1: not answered").arg(r.function);
  }
  if (r.function == kWriteMultiple) {
    return in ? QStringLiteral("positions %1").arg(valueList(r)) : QStringLiteral("20 registers written");
  }
  if (r.function == kReadHolding) {
    return in ? QStringLiteral("read %1 registers").arg(r.quantity) : QStringLiteral("requests %1").arg(valueList(r));
  }
  return QString();
}

}  // namespace

TrafficRecord decodeFrame(QByteArrayView frame, Direction direction, qint64 timeMs) {
  TrafficRecord r;
  r.timeMs = timeMs;
  r.direction = direction;
  r.size = static_cast<quint16>(std::min<qsizetype>(frame.size(), 0xFFFF));
  r.transaction = wordAt(frame, 0);
  r.unit = byteAt(frame, 6);
  r.function = byteAt(frame, 7);
  const bool in = direction == Direction::In;
  if (r.function == kWriteMultiple) {
    r.address = wordAt(frame, 8);
    r.quantity = wordAt(frame, 10);
    if (in) takeValues(frame, 13, r);
  } else if (r.function == kReadHolding) {
    if (in) {
      r.address = wordAt(frame, 8);
      r.quantity = wordAt(frame, 10);
    } else {
      r.quantity = static_cast<quint16>(byteAt(frame, 8) / 2);
      takeValues(frame, 9, r);
    }
  }
  return r;
}

QStringList trafficHeadings() {
  return {QStringLiteral("Time"),    QStringLiteral("Dir"),      QStringLiteral("Trans"),
          QStringLiteral("Unit"),    QStringLiteral("Function"), QStringLiteral("Address"),
          QStringLiteral("Quantity"), QStringLiteral("Summary")};
}

QString trafficColumn(const TrafficRecord& r, int column) {
  const bool carriesQuantity = r.function == kWriteMultiple || r.function == kReadHolding;
  // A read reply carries no address.
  const bool carriesAddress = carriesQuantity && !(r.function == kReadHolding && r.direction == Direction::Out);
  switch (column) {
    case 0: return QDateTime::fromMSecsSinceEpoch(r.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case 1: return r.direction == Direction::In ? QStringLiteral("in") : QStringLiteral("out");
    case 2: return QString::number(r.transaction);
    case 3: return QString::number(r.unit);
    case 4: return QString::number(r.function);
    case 5: return carriesAddress ? QString::number(r.address) : QString();
    case 6: return carriesQuantity ? QString::number(r.quantity) : QString();
    case 7: return summary(r);
    default: return QString();
  }
}

QStringList trafficColumns(const TrafficRecord& r) {
  QStringList columns;
  for (int c = 0; c < kTrafficColumnCount; ++c) columns << trafficColumn(r, c);
  return columns;
}

QString trafficLine(const TrafficRecord& r) { return trafficColumns(r).join(QLatin1Char('\t')); }

}  // namespace rvsim
