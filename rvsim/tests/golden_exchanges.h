#pragma once
// Frames and the exact replies both modes of RVSIM must give, with the
// requests A = 12, C = 254, U = 7 committed first. A frame without a reply
// is followed by a wait until the program has counted it as ignored, so the
// next frame arrives on its own.
#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTest>
#include <functional>
#include <initializer_list>
#include <vector>

namespace golden {

struct Exchange {
  const char* what;
  QByteArray request;
  QByteArray reply;  // empty: no reply at all
};

inline QByteArray bytes(std::initializer_list<int> list) {
  QByteArray b;
  for (int v : list) b.append(static_cast<char>(v));
  return b;
}

// Drive letter and request committed before the exchanges.
inline const std::vector<std::pair<char, int>> kRequests = {{'A', 12}, {'C', 254}, {'U', 7}};

inline QByteArray write(quint16 tid, quint8 unit, quint16 start, int count, quint16 value) {
  QByteArray f = bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 7 + 2 * count, unit, 16, start >> 8, start & 0xFF, 0, count, 2 * count});
  for (int i = 0; i < count; ++i) f += bytes({value >> 8, value & 0xFF});
  return f;
}

inline QByteArray read(quint16 tid, quint8 unit, quint16 start, quint16 count) {
  return bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 6, unit, 3, start >> 8, start & 0xFF, count >> 8, count & 0xFF});
}

inline QByteArray readReply(quint16 tid, quint8 unit) {
  QByteArray r = bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 43, unit, 3, 40});
  for (int i = 1; i <= 20; ++i) r += bytes({0, i == 1 ? 12 : i == 3 ? 254 : i == 20 ? 7 : 0});
  return r;
}

inline std::vector<Exchange> exchanges() {
  return {
      {"write of 20 at 0", write(0x1234, 1, 0, 20, 5), bytes({0x12, 0x34, 0, 0, 0, 6, 1, 16, 0, 0, 0, 20})},
      {"write of 10 at 300, high bytes set", write(7, 9, 300, 10, 0x0103), bytes({0, 7, 0, 0, 0, 6, 9, 16, 0, 0, 0, 20})},
      {"read of 5 at 0x1000", read(0xABCD, 2, 0x1000, 5), readReply(0xABCD, 2)},
      {"function 6", bytes({0, 1, 0, 0, 0, 6, 1, 6, 0, 0, 0, 5}), {}},
      {"two reads in one arrival", read(0x0201, 1, 20, 20) + read(0x0202, 1, 20, 20), readReply(0x0201, 1)},
      {"read of 20 at 20", read(0xFFFF, 0xFF, 20, 20), readReply(0xFFFF, 0xFF)},
  };
}

// Runs the exchanges on a connected socket. ignoredAtLeast(n) waits until
// the program has ignored n frames. Returns the first mismatch, or empty.
inline QString run(QTcpSocket& s, const std::function<bool(int)>& ignoredAtLeast) {
  int ignored = 0;
  for (const Exchange& e : exchanges()) {
    s.write(e.request);
    if (!s.flush() && s.bytesToWrite() > 0) return QStringLiteral("%1: not sent").arg(QLatin1String(e.what));
    if (e.reply.isEmpty()) {
      if (!ignoredAtLeast(++ignored)) return QStringLiteral("%1: not counted as ignored").arg(QLatin1String(e.what));
      if (s.bytesAvailable() > 0) return QStringLiteral("%1: answered").arg(QLatin1String(e.what));
      continue;
    }
    if (!QTest::qWaitFor([&] { return s.bytesAvailable() >= e.reply.size(); }, 10000)) {
      return QStringLiteral("%1: no reply").arg(QLatin1String(e.what));
    }
    const QByteArray got = s.read(e.reply.size());
    if (got != e.reply) {
      return QStringLiteral("%1: reply %2, expected %3")
          .arg(QLatin1String(e.what), QString::fromLatin1(got.toHex(' ')), QString::fromLatin1(e.reply.toHex(' ')));
    }
    // The frame behind the first of an arrival was passed over (ignored).
    if (e.request.size() > 12 && e.request[7] == 3) ++ignored;
  }
  QTest::qWait(0);
  return s.bytesAvailable() > 0 ? QStringLiteral("a reply too many") : QString();
}

}  // namespace golden
