// The drive network's replies, any bytes, through a fake serial port.
//
// Even first byte: the line's framing on its own. The input is a script of
// queries, arrivals of bytes, short real gaps between them and holds, so
// replies, strays, late and overlong answers meet the deadline in every
// order. No byte may be lost or handed out twice, and a query may end
// before its deadline only on exactly three bytes.
//
// Odd first byte: the whole scanner. Its reply wait is cut to nothing, so
// each query ends with what arrived one event-loop turn after it went out;
// the input says what that is, what comes after it as strays, and what the
// user does meanwhile (requests, row buttons, duct counts, Scan again).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <unistd.h>

#include "drive_line.h"
#include "drive_protocol.h"
#include "fake_serial_link.h"
#include "fuzz_support.h"
#include "poll_engine.h"

using xav::fuzz::Reader;
using xav::testing::FakeSerialLink;

namespace {

// Real time a framing script may spend waiting, so an input costs a few ms.
constexpr qint64 kGapBudgetUs = 1000;

void fuzzLine(Reader& r) {
  FakeSerialLink link;
  link.open(1);
  polmon::DriveLine line(&link);
  // 4 ms is the one deadline that lets a line in doubt wait out its quiet
  // time; it is rare, as it costs the most.
  const uint8_t t = r.byte();
  const int timeoutMs = (t & 15) == 15 ? 4 : (t & 1);
  line.setReplyTimeoutMs(timeoutMs);
  line.setEarliestReplyNs((r.byte() % 8) * 100000LL);

  QByteArray pending;  // fed and not yet handed out or dropped
  QByteArray frame;
  QElapsedTimer sinceQuery;
  qint64 gapsUs = 0;
  bool held = false;
  const polmon::DriveLine::Done done = [&](const polmon::DriveLine::Answer& a) {
    FUZZ_REQUIRE(a.strays + a.reply + a.late == pending);
    pending.clear();
    FUZZ_REQUIRE(!a.replyNs || a.reply.size() == polmon::kReplyLength);
    if (sinceQuery.nsecsElapsed() < timeoutMs * 1000000LL) FUZZ_REQUIRE(a.reply.size() == polmon::kReplyLength);
    const QString address = QString::fromLatin1(frame.left(1));
    if (const auto s = polmon::decodeStatus(a.reply, address)) FUZZ_REQUIRE(a.reply.size() == polmon::kReplyLength);
    (void)polmon::decodeDuctCount(a.reply);
    (void)polmon::rowOfAddress(address);
  };

  for (int ops = 0; !r.atEnd() && ops < 64; ++ops) {
    const uint8_t op = r.byte();
    switch (op >> 6) {
      case 0: {
        const QByteArray b = r.take((op & 7) + 1);
        pending += b;
        link.feed(b);
        break;
      }
      case 1: {
        const qint64 us = std::min<qint64>((op & 63) * 25, kGapBudgetUs - gapsUs);
        if (us > 0) {
          gapsUs += us;
          ::usleep(static_cast<useconds_t>(us));
        }
        QCoreApplication::processEvents();
        break;
      }
      case 2:
        QCoreApplication::processEvents();
        break;
      default:
        if (!line.busy()) {
          frame = r.take(2);
          sinceQuery.start();
          FUZZ_REQUIRE(line.query(frame, done));
        } else if (op & 1) {
          held = !held;
          line.setHeld(held);
        } else if (op & 2) {
          line.drain([&pending] { pending.clear(); });
        } else {
          // Forgotten with what it had read; what still waits is the next
          // query's strays.
          line.cancel();
          pending = link.input;
        }
        break;
    }
  }
  line.setHeld(false);
  QElapsedTimer wait;
  wait.start();
  while (line.busy() && wait.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  FUZZ_REQUIRE(!line.busy());
}

void fuzzEngine(Reader& r) {
  FakeSerialLink link;
  polmon::PollEngine engine(&link);
  qint64 monoMs = 0;
  engine.setReplyTimeoutMs(0);
  engine.setEarliestReplyNs(0);
  engine.setMonotonicClock([&monoMs] { return monoMs; });
  engine.setWallClock([] { return QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC); });
  engine.setRandomSource([&r] { return r.byte() / 256.0; });
  const QString log = QDir(xav::fuzz::scratchDir()).filePath(QStringLiteral("Polmon.dbg"));
  QFile::remove(log);
  engine.setLogPath(log);

  int lastErrors = 0;
  QObject::connect(&engine, &polmon::PollEngine::errorCountChanged, [&lastErrors](int n) {
    FUZZ_REQUIRE(n == 0 || n == lastErrors + 1);
    lastErrors = n;
  });
  // What the user does, one event-loop turn later, as a click would come.
  const auto act = [&](uint8_t a) {
    const int row = (a >> 3) % polmon::kRows;
    QMetaObject::invokeMethod(
        &engine,
        [&engine, &monoMs, a, row, number = r.byte()] {
          switch (a & 7) {
            case 1: engine.confirmRequest(row, QString::number(number % 70)); break;
            case 2: engine.pressRowButton(row); break;
            case 3: engine.enterDuctCount(QString::number(number % 70)); break;
            case 4: engine.editRequest(row, QString::number(number)); break;
            case 5: engine.withdrawRequest(row); break;
            case 6: monoMs += number * 100; break;
            case 7:
              if (number == 0) engine.startScan(QStringLiteral("COM 1"));
              break;
            default: break;
          }
        },
        Qt::QueuedConnection);
  };
  bool sent = false;
  QObject::connect(&engine, &polmon::PollEngine::frameSent, [&](const QByteArray&) {
    sent = true;
    // The reply arrives before the zero deadline runs out (posted events
    // are delivered ahead of timers); later chunks are strays.
    for (int chunks = r.byte() % 4; chunks > 0; --chunks) {
      const QByteArray b = r.take(r.byte() % 6);
      QMetaObject::invokeMethod(&link, [&link, b] { link.feed(b); }, Qt::QueuedConnection);
    }
    act(r.byte());
  });

  engine.startScan(QStringLiteral("COM 1"));
  for (int turn = 0; !r.atEnd() && turn < 20000; ++turn) {
    sent = false;
    QCoreApplication::processEvents();
    if (!sent) act(r.byte());  // a cycle that stands still still uses the input
  }
  FUZZ_REQUIRE(engine.errorCount() >= 0);
  if (engine.drivesFound()) FUZZ_REQUIRE(*engine.drivesFound() >= 0 && *engine.drivesFound() <= polmon::kRows);
  for (int i = 0; i < polmon::kRows; ++i) {
    const polmon::DriveStatistics& s = engine.statistics(i);
    FUZZ_REQUIRE(s.polls >= 0 && s.noResponses >= 0 && s.malformed >= 0 && s.strayBytes >= 0);
    (void)polmon::statisticsCells(s, monoMs);
  }
  engine.shutDown();
  QCoreApplication::processEvents();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  if (r.byte() & 1)
    fuzzEngine(r);
  else
    fuzzLine(r);
  return 0;
}
