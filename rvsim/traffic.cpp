#include "traffic.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>

#include "frame_handler.h"

namespace rvsim {

namespace {

// What the list shows of a frame, read from the kept bytes.
struct Decoded {
  quint16 transaction = 0;
  quint8 unit = 0;
  quint8 function = 0;
  quint16 address = 0;
  quint16 quantity = 0;
  int valueCount = 0;
  std::array<quint8, 20> values{};
};

Decoded decode(const TrafficRecord& r) {
  const QByteArrayView b(r.head.data(), std::min<qsizetype>(r.size, TrafficRecord::kKeptBytes));
  auto byteAt = [&b](qsizetype i) { return i < b.size() ? static_cast<quint8>(b[i]) : quint8(0); };
  auto wordAt = [&](qsizetype i) { return static_cast<quint16>(byteAt(i) << 8 | byteAt(i + 1)); };
  // Low bytes of the registers carried from byte `first` on (at most 20).
  auto takeValues = [&](Decoded& d, qsizetype first) {
    d.valueCount = static_cast<int>(std::clamp<qsizetype>((b.size() - first) / 2, 0, 20));
    for (int k = 0; k < d.valueCount; ++k) d.values[size_t(k)] = byteAt(first + 2 * k + 1);
  };
  Decoded d;
  d.transaction = wordAt(0);
  d.unit = byteAt(6);
  d.function = byteAt(7);
  const bool in = r.direction == Direction::In;
  if (d.function == kWriteMultiple || (d.function == kReadHolding && in)) {
    d.address = wordAt(8);
    d.quantity = wordAt(10);
    if (d.function == kWriteMultiple && in) takeValues(d, 13);
  } else if (d.function == kReadHolding) {
    d.quantity = static_cast<quint16>(byteAt(8) / 2);
    takeValues(d, 9);
  }
  return d;
}

QString valueList(const Decoded& d) {
  QString s;
  s.reserve(d.valueCount * 4);
  for (int k = 0; k < d.valueCount; ++k) {
    if (k) s += QLatin1Char(' ');
    s += QString::number(d.values[size_t(k)]);
  }
  return s;
}

QString summary(const TrafficRecord& r, const Decoded& d) {
  const bool in = r.direction == Direction::In;
  if (in && !r.answered) {
    return d.function == kWriteMultiple || d.function == kReadHolding
               ? QStringLiteral("cut short (%1 bytes): not answered").arg(r.size)
               : QStringLiteral("function %1: not answered").arg(d.function);
  }
  if (d.function == kWriteMultiple) {
    return in ? QStringLiteral("positions %1").arg(valueList(d)) : QStringLiteral("20 registers written");
  }
  if (d.function == kReadHolding) {
    return in ? QStringLiteral("read %1 registers").arg(d.quantity) : QStringLiteral("requests %1").arg(valueList(d));
  }
  return QString();
}

}  // namespace

TrafficRecord recordFrame(QByteArrayView frame, Direction direction, qint64 timeMs, bool answered) {
  TrafficRecord r;
  r.timeMs = timeMs;
  r.direction = direction;
  r.answered = answered;
  r.size = static_cast<quint16>(std::min<qsizetype>(frame.size(), 0xFFFF));
  std::memcpy(r.head.data(), frame.data(), size_t(std::min<qsizetype>(frame.size(), TrafficRecord::kKeptBytes)));
  return r;
}

QStringList trafficHeadings() {
  return {QStringLiteral("Time"),    QStringLiteral("Dir"),      QStringLiteral("Trans"),
          QStringLiteral("Unit"),    QStringLiteral("Function"), QStringLiteral("Address"),
          QStringLiteral("Quantity"), QStringLiteral("Summary")};
}

QString trafficColumn(const TrafficRecord& r, int column) {
  const Decoded d = decode(r);
  const bool carriesQuantity = d.function == kWriteMultiple || d.function == kReadHolding;
  // A read reply carries no address.
  const bool carriesAddress = carriesQuantity && !(d.function == kReadHolding && r.direction == Direction::Out);
  switch (column) {
    case 0: return QDateTime::fromMSecsSinceEpoch(r.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case 1: return r.direction == Direction::In ? QStringLiteral("in") : QStringLiteral("out");
    case 2: return QString::number(d.transaction);
    case 3: return QString::number(d.unit);
    case 4: return QString::number(d.function);
    case 5: return carriesAddress ? QString::number(d.address) : QString();
    case 6: return carriesQuantity ? QString::number(d.quantity) : QString();
    case 7: return summary(r, d);
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
