// The sweep, the poll step's decisions, the row controls and the log, driven
// through a fake serial link that plays a small drive network.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>

#include "fake_serial_link.h"
#include "files.h"
#include "poll_engine.h"

using namespace polmon;
using xav::testing::FakeSerialLink;

namespace {

QByteArray bytes(std::initializer_list<char> v) { return QByteArray(v.begin(), static_cast<qsizetype>(v.size())); }

struct FakeDrive {
  char status = 'P';
  int pos = 1;
  std::optional<int> ducts = 12;
  std::optional<QByteArray> override;  // a reply sent instead of the normal one (empty: none)
  int overrideTimes = -1;               // how often; -1 for ever
};

// Answers the engine's queries one event-loop turn after they go out, as a
// port would, and records every frame.
class FakeNetwork : public QObject {
 public:
  FakeNetwork(PollEngine& engine, FakeSerialLink& link) : link_(link) {
    connect(&engine, &PollEngine::frameSent, this, [this](const QByteArray& f) { onFrame(f); });
  }
  std::map<char, FakeDrive> drives;
  QList<QByteArray> frames;
  bool mute = false;  // queries sent meanwhile go unanswered
  int delayMs = 0;    // how long after the query a reply comes
  // Sees every frame the moment it is written, before any reply.
  std::function<void(const QByteArray&)> onWrite;

  int count(const QByteArray& frame) const { return static_cast<int>(frames.count(frame)); }

 private:
  void onFrame(const QByteArray& f) {
    frames << f;
    if (onWrite) onWrite(f);
    if (f.size() != 2) return;
    auto it = drives.find(f[0]);
    if (it == drives.end()) return;
    if (mute) return;
    const char addr = f[0], command = f[1];
    // The reply is made when it is delivered, so a test's change to a drive
    // shows in every reply handled after it.
    QTimer::singleShot(delayMs, this, [this, addr, command] {
      auto at = drives.find(addr);
      if (at == drives.end()) return;
      FakeDrive& d = at->second;
      QByteArray reply;
      if (command == 'S') {
        if (d.override && d.overrideTimes != 0) {
          reply = *d.override;
          if (d.overrideTimes > 0) --d.overrideTimes;
        } else {
          reply = bytes({d.status, static_cast<char>(d.pos + 48), '\r'});
        }
      } else if (command == 'd' && d.ducts) {
        reply = bytes({'D', static_cast<char>(*d.ducts + 48), '\r'});
      }
      if (!reply.isEmpty()) link_.feed(reply);
    });
  }
  FakeSerialLink& link_;
};

// Stands still while one event is handled and moves on with real time between
// events. The line times its exchanges by it, so all the engine does in
// answer to one event (a reply, a deadline) happens at one instant, as on an
// infinitely fast machine, however the process is scheduled: a byte fed as a
// query goes out is seen at its write, never some milliseconds after.
class EventClock : public QObject {
 public:
  EventClock() {
    real_.start();
    QCoreApplication::instance()->installEventFilter(this);
  }
  qint64 nowNs() const { return now_; }

 protected:
  bool eventFilter(QObject*, QEvent*) override {
    now_ = real_.nsecsElapsed();
    return false;
  }

 private:
  QElapsedTimer real_;
  qint64 now_ = 0;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    engine.setLogPath(dir.filePath("Polmon.dbg"));
    // The fake network answers at once, sooner than any real line could.
    engine.setEarliestReplyNs(0);
    engine.setMonotonicClock([this] { return mono; });
    engine.setLineClock([this] { return clock.nowNs(); });
    engine.setWallClock([this] { return wall; });
    // Short deadlines while a sweep asks all twenty addresses (most of them
    // silent), long ones while the drives found are polled: the fake answers
    // at once, and a busy machine must never make that answer late.
    engine.setReplyTimeoutMs(sweepTimeoutMs);
    engine.setLateGraceMs(20);
    QObject::connect(&engine, &PollEngine::scanStarted, &engine, [this] { engine.setReplyTimeoutMs(sweepTimeoutMs); });
    QObject::connect(&engine, &PollEngine::sweepFinished, &engine, [this] { engine.setReplyTimeoutMs(pollTimeoutMs); });
    QObject::connect(&engine, &PollEngine::pollStarted, &engine, [this](int r) { polls[r]++; });
  }

  // Runs the event loop until the row has been polled n more times.
  bool pollRow(int row, int n = 1) {
    const int target = polls[row] + n;
    return QTest::qWaitFor([&] { return polls[row] >= target; }, 10000);
  }
  // At least one whole poll of the row made after the call: the query
  // in flight may predate it, the one after it does not.
  bool completePoll(int row) { return pollRow(row, 2); }
  // Runs the event loop until the line's deadline and grace for the query
  // in flight are over. Its timers were started before this one and end
  // sooner, so they fire first: whatever the engine does then has been done
  // on return, however slowly the machine runs.
  bool outlastTheQuery() {
    bool over = false;
    QTimer::singleShot(std::max(sweepTimeoutMs, pollTimeoutMs) + 20 + 10, Qt::PreciseTimer, &engine, [&over] { over = true; });
    return QTest::qWaitFor([&] { return over; }, 60000);
  }
  bool sweep(const QString& com = "COM 1") {
    engine.startScan(com);
    return QTest::qWaitFor([&] { return engine.polling(); }, 10000);
  }
  QByteArray log() const {
    QByteArray data;
    xav::readWholeFile(dir.filePath("Polmon.dbg"), &data);
    return data;
  }
  // Frames sent since the last call.
  QList<QByteArray> take() {
    QList<QByteArray> out = net.frames.mid(seen);
    seen = net.frames.size();
    return out;
  }

  QTemporaryDir dir;
  EventClock clock;
  FakeSerialLink link;
  PollEngine engine{&link};
  FakeNetwork net{engine, link};
  std::map<int, int> polls;
  int sweepTimeoutMs = 60;
  int pollTimeoutMs = 300;
  qint64 mono = 1000;
  QDateTime wall{QDate(2026, 12, 6), QTime(14, 5, 7)};
  qsizetype seen = 0;
};

QByteArray move(char addr, int duct) { return bytes({addr, static_cast<char>(duct)}); }

// The row button in the engine's terms: what it shows, and the count when it
// shows one.
struct Caption {
  ButtonCaption form;
  double count = 0;
  bool operator==(const Caption&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Caption& c) {
  return os << "caption " << static_cast<int>(c.form) << " count " << c.count;
}
Caption caption(const DriveRow& r) {
  const bool count = r.button.caption == ButtonCaption::Count || r.button.caption == ButtonCaption::SweptCount;
  return {r.button.caption, count ? r.button.count : 0};
}
const Caption kRnd{ButtonCaption::AskCount};
const Caption kReset{ButtonCaption::Reset};
Caption swept(double n) { return {ButtonCaption::SweptCount, n}; }
Caption shows(double n) { return {ButtonCaption::Count, n}; }

}  // namespace

TEST_F(EngineTest, SweepFindsExactlyTheDrivesAndWritesTheHeader) {
  net.drives['A'] = {'P', 3, 12, {}};
  net.drives['T'] = {'P', 0, 5, {}};
  ASSERT_TRUE(sweep());
  EXPECT_EQ(link.openedPort, 1);
  EXPECT_EQ(engine.drivesFound(), 2);
  EXPECT_EQ(engine.errorCount(), 0);
  EXPECT_EQ(log(), QByteArray("\r\nStart 12/6/2026 2:05:07 PM,2 Drives Found, A T \r\n"
                              "Time, Scan Count, Error Count, Address, Result\r\n"));
  // Every address but S was asked once, in order; found drives for their ducts.
  QList<QByteArray> sweepFrames = net.frames;
  EXPECT_EQ(sweepFrames.first(), QByteArray("AS"));
  EXPECT_EQ(sweepFrames.at(1), QByteArray("Ad"));
  EXPECT_FALSE(sweepFrames.contains("SS"));
  EXPECT_TRUE(sweepFrames.contains("Td"));
  EXPECT_FALSE(sweepFrames.contains("Bd"));

  EXPECT_EQ(engine.row(0).address, "A");
  EXPECT_EQ(engine.row(0).status, std::optional<char>('P'));
  EXPECT_EQ(engine.row(0).positionText(), "3");
  EXPECT_EQ(engine.row(0).ductCount, std::optional<int>(12));
  EXPECT_TRUE(engine.row(0).button.visible);
  EXPECT_EQ(caption(engine.row(0)), swept(12));
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::CountKnown);
  EXPECT_EQ(engine.row(0).statusKind, StatusKind::InPosition);
  // Standing at duct 0 the button keeps "Rnd", though the count is known.
  EXPECT_EQ(engine.row(18).address, "T");
  EXPECT_EQ(engine.row(18).ductCount, std::optional<int>(5));
  EXPECT_EQ(caption(engine.row(18)), kRnd);
  for (int i : {1, 2, 17, 19}) {
    EXPECT_TRUE(engine.row(i).address.isEmpty());
    EXPECT_FALSE(engine.row(i).button.visible);
  }
  EXPECT_EQ(engine.scanCount(), 0);
}

TEST_F(EngineTest, FirstPollAfterStartHandlesRowOneAndTheCycleRuns) {
  net.drives['A'] = {};
  net.drives['B'] = {};
  std::vector<int> order;
  QObject::connect(&engine, &PollEngine::pollStarted, &engine, [&](int r) { order.push_back(r); });
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(pollRow(0, 2));
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], 1);
  EXPECT_EQ(order[1], 0);
  EXPECT_EQ(order[2], 1);
  EXPECT_GE(engine.scanCount(), 1);
}

TEST_F(EngineTest, NoDriveAnsweringOrNoPortNeverStarvesTheWindow) {
  ASSERT_TRUE(sweep());
  EXPECT_EQ(engine.drivesFound(), 0);
  EXPECT_TRUE(log().contains(",0 Drives Found, \r\n"));
  // Other events keep being handled while the cycle runs on empty rows.
  bool ticked = false;
  QTimer::singleShot(30, [&] { ticked = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 2000));
  const qint32 rounds = engine.scanCount();
  EXPECT_TRUE(QTest::qWaitFor([&] { return engine.scanCount() > rounds; }, 2000));

  // A port that does not open: nothing is sent, no header, and the window lives.
  FakeSerialLink dead;
  dead.openable = false;
  PollEngine other(&dead);
  other.setLogPath(dir.filePath("other.dbg"));
  other.startScan("COM 9");
  EXPECT_EQ(dead.openedPort, 9);
  EXPECT_TRUE(other.polling());
  ticked = false;
  QTimer::singleShot(30, [&] { ticked = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 2000));
  EXPECT_TRUE(dead.writes.isEmpty());
  EXPECT_FALSE(QFile::exists(dir.filePath("other.dbg")));
}

TEST_F(EngineTest, MoveRequestsGoOutOnlyWhenConfirmedStandingAndDifferent) {
  net.drives['A'] = {'P', 7, 12, {}};
  ASSERT_TRUE(sweep());

  // Typed but not confirmed: nothing.
  engine.withdrawRequest(0);  // the key
  engine.editRequest(0, "5");  // the text it typed
  EXPECT_EQ(engine.row(0).requestEntry, RequestEntry::Editing);
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 5)), 0);

  // Confirmed with Enter: the duct number itself, right after the status
  // query, at every poll.
  engine.confirmRequest(0, "5");
  EXPECT_EQ(engine.row(0).requestEntry, RequestEntry::Confirmed);
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(completePoll(0));
  auto sent = take();
  EXPECT_GE(sent.count(move('A', 5)), 2);
  for (qsizetype k = 1; k < sent.size(); ++k) {
    if (sent[k] == move('A', 5)) {
      EXPECT_EQ(sent[k - 1], QByteArray("AS"));
    }
  }

  // "07" differs from "7" as text: byte 7 goes out.
  engine.confirmRequest(0, "07");
  ASSERT_TRUE(completePoll(0));
  EXPECT_GE(take().count(move('A', 7)), 1);

  // Equal texts: nothing.
  engine.confirmRequest(0, "7");
  ASSERT_TRUE(completePoll(0));
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 7)), 0);

  // A moving drive (or any other letter) gets no move request.
  engine.confirmRequest(0, "5");
  net.drives['A'].status = 'M';
  ASSERT_TRUE(completePoll(0));
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 5)), 0);
  net.drives['A'].status = 'E';
  ASSERT_TRUE(completePoll(0));
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 5)), 0);
  EXPECT_EQ(engine.row(0).statusKind, StatusKind::NotInPosition);
}

TEST_F(EngineTest, NoMoveRequestWithinTenSecondsOfACompletedMove) {
  net.drives['A'] = {'M', 4, 12, {}};
  ASSERT_TRUE(sweep());
  engine.confirmRequest(0, "9");
  ASSERT_TRUE(completePoll(0));
  net.drives['A'].status = 'P';  // arrives: M to P
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(engine.row(0).holdUntilMs);
  EXPECT_EQ(*engine.row(0).holdUntilMs, mono + 10000);
  take();
  // The time of day passing midnight neither ends nor lengthens the rest.
  wall = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1));
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 9)), 0);
  mono += 9999;
  ASSERT_TRUE(completePoll(0));
  mono += 1;  // exactly at the end of the hold: still held
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 9)), 0);
  mono += 1;
  ASSERT_TRUE(completePoll(0));
  EXPECT_GE(take().count(move('A', 9)), 1);
}

TEST_F(EngineTest, RequestBeyondOneByteSendsNothingAndHoldsBackTheReset) {
  net.drives['A'] = {'M', 0, 12, {}};
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(caption(engine.row(0)), kReset);
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::ResetOffered);
  // Another letter keeps the offer (only "P" withdraws it) and sets no hold.
  net.drives['A'].status = 'E';
  ASSERT_TRUE(completePoll(0));
  ASSERT_EQ(caption(engine.row(0)), kReset);
  engine.pressRowButton(0);  // arms the row and queues a reset
  EXPECT_TRUE(engine.row(0).resetPending);
  EXPECT_EQ(caption(engine.row(0)), shows(12));
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::CountKnown);
  engine.confirmRequest(0, "256");
  net.drives['A'].status = 'P';
  net.drives['A'].pos = 2;
  take();
  ASSERT_TRUE(completePoll(0));
  auto sent = take();
  EXPECT_EQ(sent.count("Ar"), 0);
  EXPECT_EQ(sent.count(move('A', 0)), 0);
  EXPECT_TRUE(engine.row(0).resetPending);
  // A request that fits: the move first, the reset right after, same poll.
  engine.confirmRequest(0, "3");
  ASSERT_TRUE(completePoll(0));
  sent = take();
  const qsizetype m = sent.indexOf(move('A', 3));
  ASSERT_GE(m, 0);
  EXPECT_EQ(sent.value(m + 1), QByteArray("Ar"));
  EXPECT_FALSE(engine.row(0).resetPending);
}
TEST_F(EngineTest, ResetButtonFollowsTheDrive) {
  net.drives['A'] = {'M', 0, {}, {}};  // no duct count known
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(caption(engine.row(0)), kReset);
  engine.pressRowButton(0);
  EXPECT_EQ(caption(engine.row(0)), kReset);  // nothing to show instead
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count("Ar"), 1);
  // Still M at 0: offered again.
  EXPECT_EQ(caption(engine.row(0)), kReset);
  net.drives['A'].status = 'P';
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(caption(engine.row(0)), kRnd);
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::Plain);
}

TEST_F(EngineTest, RandomModeDrawsTargetsWithinTheDuctCount) {
  net.drives['A'] = {'P', 3, 6, {}};
  ASSERT_TRUE(sweep());
  ASSERT_EQ(caption(engine.row(0)), swept(6));
  engine.pressRowButton(0);  // duct count shown: random on
  EXPECT_EQ(engine.row(0).randomLimit, std::optional<double>(6));
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::RandomFromCount);
  EXPECT_TRUE(engine.row(0).sendArmed);
  take();
  for (int k = 0; k < 30; ++k) ASSERT_TRUE(completePoll(0));
  int moves = 0;
  for (const QByteArray& f : take()) {
    if (f.size() == 2 && f[0] == 'A' && f[1] != 'S') {
      ++moves;
      EXPECT_GE(f[1], 1);
      EXPECT_LE(f[1], 6);
      EXPECT_NE(f[1], 3);
    }
  }
  EXPECT_GE(moves, 30);
  // Random off: back to the duct count on cyan.
  engine.pressRowButton(0);
  EXPECT_FALSE(engine.row(0).randomLimit);
  EXPECT_EQ(caption(engine.row(0)), shows(6));
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::CountKnown);
}

TEST_F(EngineTest, RandomModeWithNoOtherDuctChoosesNoneAndKeepsPolling) {
  net.drives['A'] = {'P', 1, {}, {}};
  ASSERT_TRUE(sweep());
  ASSERT_EQ(caption(engine.row(0)), kRnd);
  engine.pressRowButton(0);  // asks for the count
  ASSERT_TRUE(engine.ductEntryOpen());
  ASSERT_TRUE(engine.enterDuctCount("1"));
  EXPECT_EQ(engine.row(0).randomLimit, std::optional<double>(1));
  EXPECT_EQ(caption(engine.row(0)), shows(1));
  take();
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(take().count(move('A', 1)), 0);
  EXPECT_TRUE(engine.row(0).request.isEmpty());
}

TEST_F(EngineTest, DuctEntryHoldsTheCycleUntilAValidCount) {
  net.drives['A'] = {'P', 0, {}, {}};
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(0));
  bool asked = false;
  QObject::connect(&engine, &PollEngine::ductEntryRequested, &engine, [&] { asked = true; });
  engine.pressRowButton(0);
  EXPECT_TRUE(asked);
  take();
  ASSERT_TRUE(outlastTheQuery());
  // The query that was already out stays unanswered; nothing new starts.
  EXPECT_EQ(take().size(), 0);
  EXPECT_FALSE(engine.enterDuctCount("0"));
  EXPECT_FALSE(engine.enterDuctCount("63"));
  EXPECT_FALSE(engine.enterDuctCount(""));
  EXPECT_TRUE(engine.ductEntryOpen());
  ASSERT_TRUE(outlastTheQuery());
  EXPECT_EQ(take().size(), 0);
  bool closed = false;
  QObject::connect(&engine, &PollEngine::ductEntryClosed, &engine, [&] { closed = true; });
  EXPECT_TRUE(engine.enterDuctCount("62"));
  EXPECT_TRUE(closed);
  EXPECT_FALSE(engine.ductEntryOpen());
  EXPECT_EQ(engine.row(0).randomLimit, std::optional<double>(62));
  EXPECT_EQ(caption(engine.row(0)), shows(62));
  EXPECT_EQ(engine.row(0).button.mark, ButtonMark::Plain);  // unchanged
  EXPECT_TRUE(completePoll(0));
  // Random off again without a duct count: "Rnd", not an empty button.
  engine.pressRowButton(0);
  EXPECT_EQ(caption(engine.row(0)), kRnd);
}

TEST_F(EngineTest, FaultsAreCountedShownAndLogged) {
  net.drives['A'] = {'P', 2, 12, {}};
  net.drives['B'] = {'P', 5, 12, {}};
  ASSERT_TRUE(sweep());
  wall = wall.addSecs(65);
  // No answer, once: status and position emptied, counted, logged.
  net.drives['B'].override = QByteArray();
  net.drives['B'].overrideTimes = 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.errorCount() == 1; }, 5000));
  EXPECT_FALSE(engine.row(1).status);
  EXPECT_TRUE(engine.row(1).positionText().isEmpty());
  EXPECT_TRUE(log().endsWith(", 1 , B, No Response\r\n")) << log().constData();
  EXPECT_TRUE(log().contains("00:01:05, "));
  // Two bytes, then four: the row keeps its values, the raw reply is logged.
  net.drives['A'].override = QByteArray("P\x01", 2);
  net.drives['A'].overrideTimes = 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.errorCount() == 2; }, 5000));
  EXPECT_EQ(engine.row(0).status, std::optional<char>('P'));
  EXPECT_EQ(engine.row(0).positionText(), "2");
  EXPECT_TRUE(log().endsWith(", 2 , A, P<01>\r\n")) << log().toHex().constData();
  net.drives['A'].override = QByteArray("M3\r\n");
  net.drives['A'].overrideTimes = 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.errorCount() == 3; }, 5000));
  EXPECT_EQ(engine.row(0).status, std::optional<char>('P'));
  EXPECT_TRUE(log().endsWith(", 3 , A, M3<0D><0A>\r\n"));
  // Answers again: shown again.
  ASSERT_TRUE(completePoll(1));
  EXPECT_EQ(engine.row(1).positionText(), "5");
  EXPECT_EQ(engine.errorCount(), 3);
}

TEST_F(EngineTest, MalformedFirstReplyDuringTheSweep) {
  net.drives['B'] = {'P', 2, 12, QByteArray("P2")};
  net.drives['C'] = {'P', 4, 12, {}};
  ASSERT_TRUE(sweep());
  EXPECT_EQ(engine.drivesFound(), 2);
  EXPECT_EQ(engine.row(1).address, "B");
  EXPECT_FALSE(engine.row(1).status);
  EXPECT_TRUE(engine.row(1).button.visible);
  // The sweep reset the counter to "0" first; the fault made it "1 ".
  EXPECT_EQ(engine.errorCount(), 1);
  // Logged before the header, with the time of day as elapsed and count 0.
  EXPECT_TRUE(log().startsWith("14:05:07, 0, 1 , B, P2\r\n\r\nStart ")) << log().constData();
  EXPECT_EQ(engine.row(2).positionText(), "4");
}

TEST_F(EngineTest, ExchangeEndsAtExactlyThreeBytesOrAtTheDeadline) {
  sweepTimeoutMs = pollTimeoutMs = kReplyTimeoutMs;
  engine.setReplyTimeoutMs(kReplyTimeoutMs);
  ASSERT_TRUE(sweep());  // nobody answers
  engine.editAddress(0, "A");
  ASSERT_TRUE(pollRow(0));
  ASSERT_TRUE(engine.queryWaiting());
  // Three bytes end the wait once no fourth has followed within two byte
  // times, long before the deadline.
  QElapsedTimer quiet;
  quiet.start();
  link.feed("P4\r");
  EXPECT_TRUE(engine.row(0).positionText().isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.row(0).positionText() == "4"; }, 1000));
  EXPECT_GE(quiet.nsecsElapsed(), 2 * kByteTimeNs);
  ASSERT_TRUE(engine.queryWaiting());
  // When the queries go out and the exchange ends, by the line's clock.
  qint64 writtenNs = -1, endedNs = -1;
  net.onWrite = [&](const QByteArray&) { writtenNs = clock.nowNs(); };
  QObject::connect(&engine, &PollEngine::errorCountChanged, &engine, [&] { endedNs = clock.nowNs(); });
  link.feed("P5\r");
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.row(0).positionText() == "5"; }, 1000));
  EXPECT_EQ(engine.errorCount(), 0);

  // Four bytes at once: the wait runs to the deadline.
  ASSERT_TRUE(engine.queryWaiting());  // the next poll of A went out at once
  const qint64 askedNs = writtenNs;
  ASSERT_GE(askedNs, 0);
  const int before = polls[0];
  link.feed("P6\r\n");
  EXPECT_EQ(engine.row(0).positionText(), "5");
  EXPECT_EQ(polls[0], before);
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.errorCount() == 1; }, 5000));
  EXPECT_GE(endedNs - askedNs, kReplyTimeoutMs * 1000000LL);
  EXPECT_EQ(engine.row(0).positionText(), "5");
  EXPECT_TRUE(log().endsWith(", 1 , A, P6<0D><0A>\r\n"));
}

TEST_F(EngineTest, SecondScanRestartsAndTheOldCycleNeverResumes) {
  net.drives['A'] = {'P', 3, 12, {}};
  ASSERT_TRUE(sweep());
  engine.confirmRequest(0, "");
  engine.pressRowButton(0);  // random on
  ASSERT_TRUE(engine.row(0).randomLimit);
  net.mute = true;
  ASSERT_TRUE(pollRow(0));
  net.mute = false;
  ASSERT_TRUE(engine.queryWaiting());
  const quint64 g = engine.generation();
  take();
  engine.startScan("COM 1");  // in the middle of a query
  EXPECT_GT(engine.generation(), g);
  EXPECT_TRUE(engine.sweeping());
  // The grid was cleared; the armed flag and the duct count survive.
  EXPECT_FALSE(engine.row(0).randomLimit);
  EXPECT_TRUE(engine.row(0).request.isEmpty());
  EXPECT_TRUE(engine.row(0).sendArmed);
  EXPECT_EQ(engine.row(0).ductCount, std::optional<int>(12));
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.polling(); }, 10000));
  auto sent = take();
  ASSERT_FALSE(sent.isEmpty());
  EXPECT_EQ(sent.first(), QByteArray("AS"));
  // One sweep ran through, nothing of the old cycle in between.
  EXPECT_EQ(sent.count("BS"), 1);
  EXPECT_EQ(sent.count("US"), 1);
  EXPECT_EQ(sent.count("Ad"), 1);
  EXPECT_EQ(caption(engine.row(0)), swept(12));
  EXPECT_EQ(log().count("Start "), 2);
  // Random mode went with the grid: no more move requests.
  take();
  ASSERT_TRUE(completePoll(0));
  for (const QByteArray& f : take()) EXPECT_EQ(f, QByteArray("AS"));
}


TEST_F(EngineTest, AddressTypedIntoARowIsPolledAndAnsweredOnItsOwnRow) {
  net.drives['C'] = {'P', 6, 12, {}};
  ASSERT_TRUE(sweep());
  take();
  engine.editAddress(5, "C");  // row 5 belongs to F; the letter C to row 2
  ASSERT_TRUE(completePoll(5));
  EXPECT_TRUE(take().contains("CS"));
  EXPECT_EQ(engine.row(2).address, "C");
  EXPECT_EQ(engine.row(2).positionText(), "6");
  EXPECT_EQ(engine.row(5).address, "C");
  EXPECT_TRUE(engine.row(5).positionText().isEmpty());
  // A text with no drive behind it is asked as typed; the silence is a fault.
  engine.editAddress(5, "S");
  ASSERT_TRUE(completePoll(5));
  EXPECT_TRUE(take().contains("SS"));
  EXPECT_TRUE(log().endsWith(", S, No Response\r\n"));
}

TEST_F(EngineTest, SlowScanPausesBeforeEachPollWithoutBlockingEvents) {
  net.drives['A'] = {'P', 1, 12, {}};
  ASSERT_TRUE(sweep());
  engine.setSlowScan(true);
  QElapsedTimer t;
  t.start();
  QList<qint64> starts;  // of row 0's polls, ms
  QObject::connect(&engine, &PollEngine::pollStarted, &engine, [&](int r) {
    if (r == 0) starts << t.elapsed();
  });
  ASSERT_TRUE(pollRow(0));
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(5);
  ASSERT_TRUE(pollRow(0, 3));
  // Each of the last three polls came after a 0.1 s pause of its own (timed
  // from poll to poll, however late the wait above looked); the event loop
  // ran meanwhile.
  ASSERT_GE(starts.size(), 4);
  EXPECT_GE(starts.last() - starts[starts.size() - 4], 300);
  EXPECT_GT(ticks, 3);
}

TEST_F(EngineTest, SlowScanPauseActsLikeTheBusyWaitBeforeTheQuery) {
  net.drives['A'] = {'P', 1, {}, {}};  // no duct count: the button asks for one
  net.drives['C'] = {'P', 6, 12, {}};
  ASSERT_TRUE(sweep());
  engine.setSlowScan(true);
  ASSERT_TRUE(completePoll(0));
  // Runs `act` inside the next pause before row 0's query: rows 1 to 19 have
  // no address, so row 19's empty step comes right before that pause starts.
  auto duringNextPause = [&](std::function<void()> act) {
    auto fired = std::make_shared<bool>(false);
    auto conn = std::make_shared<QMetaObject::Connection>();
    *conn = QObject::connect(&engine, &PollEngine::rowChanged, &engine, [this, fired, conn, act](int r) {
      if (r != 19 || *fired) return;
      *fired = true;
      QObject::disconnect(*conn);
      QTimer::singleShot(0, &engine, act);
    });
  };

  // An address typed during the pause is not this step's query: it still
  // goes to A, whose reply puts A back into the box.
  qsizetype at = -1;
  duringNextPause([&] {
    engine.editAddress(0, "C");
    at = net.frames.size();
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return at >= 0 && net.frames.size() > at; }, 5000));
  EXPECT_EQ(net.frames.at(at), QByteArray("AS"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.row(0).address == "A"; }, 5000));

  // A duct entry opened during the pause: the query still goes out after
  // it, and its wait is what the entry holds.
  at = -1;
  duringNextPause([&] {
    engine.pressRowButton(0);
    at = net.frames.size();
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return at >= 0 && net.frames.size() > at; }, 5000));
  EXPECT_TRUE(engine.ductEntryOpen());
  EXPECT_EQ(net.frames.at(at), QByteArray("AS"));
  EXPECT_TRUE(engine.queryWaiting());
  ASSERT_TRUE(outlastTheQuery());
  EXPECT_EQ(net.frames.size(), at + 1);  // held: nothing more
  ASSERT_TRUE(engine.enterDuctCount("4"));
  EXPECT_FALSE(engine.queryWaiting() && engine.ductEntryOpen());
  EXPECT_TRUE(completePoll(0));
  EXPECT_EQ(engine.row(0).randomLimit, std::optional<double>(4));
}

TEST_F(EngineTest, AnUnwritableLogIsToldOnceAndPollingAndCountingGoOn) {
  // A folder where the log should be: no entry can be appended to it.
  const QString blocked = dir.filePath("blocked/Polmon.dbg");
  ASSERT_TRUE(QDir().mkpath(blocked));
  engine.setLogPath(blocked);
  QSignalSpy warned(&engine, &PollEngine::logUnwritable);
  net.drives['A'] = {'P', 2, 12, QByteArray("P2")};  // every reply malformed
  net.drives['B'] = {'P', 3, 12, {}};
  net.drives['C'] = {'P', 4, 12, {}};
  net.drives['D'] = {'P', 5, 12, {}};
  ASSERT_TRUE(sweep());
  // The faulty drive did not cut the sweep short.
  EXPECT_EQ(engine.drivesFound(), 4);
  EXPECT_EQ(engine.row(3).positionText(), "5");
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(completePoll(3));
  EXPECT_GE(engine.errorCount(), 3);
  ASSERT_EQ(warned.count(), 1);
  EXPECT_EQ(warned[0][0].toString(), QFileInfo(blocked).absoluteFilePath());
  EXPECT_FALSE(warned[0][1].toString().isEmpty());
  // Once the log can be written again, it is used again.
  QSignalSpy recovered(&engine, &PollEngine::logWritable);
  engine.setLogPath(dir.filePath("Polmon.dbg"));
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(recovered.count(), 1);
  EXPECT_TRUE(log().contains(", A, P2\r\n"));
  EXPECT_EQ(warned.count(), 1);
}

TEST_F(EngineTest, ALostPortStopsPollingIsToldAndLoggedOnceAndScanStartsAgain) {
  net.drives['A'] = {'P', 2, 12, {}};
  net.drives['B'] = {'P', 3, 12, {}};
  ASSERT_TRUE(sweep("COM 5"));
  ASSERT_TRUE(completePoll(1));
  QSignalSpy lost(&engine, &PollEngine::portLost);
  // The adapter is pulled while a query waits.
  ASSERT_TRUE(pollRow(0));
  link.close();
  emit link.failed(QStringLiteral("No such device"));
  ASSERT_EQ(lost.count(), 1);
  EXPECT_EQ(lost[0][0].toString(), "COM 5");
  EXPECT_EQ(lost[0][1].toString(), "No such device");
  EXPECT_TRUE(log().endsWith("Port lost 12/6/2026 2:05:07 PM, COM 5, No such device\r\n")) << log().constData();
  // Polling stopped: no lamp lit, the rows marked as no longer current, and
  // no "No Response" for the queries that were in flight.
  EXPECT_FALSE(engine.polling());
  for (int i = 0; i < kRows; ++i) {
    EXPECT_FALSE(engine.row(i).lampLit) << i;
    EXPECT_FALSE(engine.row(i).current) << i;
  }
  const int errors = engine.errorCount();
  ASSERT_TRUE(outlastTheQuery());
  EXPECT_EQ(engine.errorCount(), errors);
  EXPECT_FALSE(log().contains("No Response"));
  EXPECT_EQ(lost.count(), 1);

  // Scan opens the port again and starts afresh.
  take();
  ASSERT_TRUE(sweep("COM 5"));
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(engine.drivesFound(), 2);
  EXPECT_TRUE(engine.row(0).current);
  ASSERT_TRUE(completePoll(0));
  EXPECT_TRUE(take().contains("AS"));
}

TEST_F(EngineTest, APortThatClosesWithoutAWordIsLostAtTheNextQuery) {
  net.drives['A'] = {'P', 2, 12, {}};
  ASSERT_TRUE(sweep("COM 3"));
  QSignalSpy lost(&engine, &PollEngine::portLost);
  link.close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() > 0; }, 5000));
  EXPECT_EQ(lost[0][0].toString(), "COM 3");
  EXPECT_FALSE(engine.polling());
  EXPECT_TRUE(log().contains("Port lost "));
  EXPECT_FALSE(log().contains("No Response"));
}

class StrayBytes : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // Replies come as on a 9600-baud line: not before the query and the first
    // reply byte could have crossed it.
    engine.setEarliestReplyNs(kEarliestReplyNs);
    net.delayMs = 5;
    net.drives['A'] = {'P', 2, 12, {}};
    net.drives['B'] = {'P', 3, 12, {}};
    net.onWrite = [this](const QByteArray& f) {
      if (f != injectAt) return;
      injectAt.clear();
      if (injectDelayMs < 0)
        link.feed(inject);
      else
        QTimer::singleShot(injectDelayMs, &link, [this] { link.feed(inject); });
    };
    QObject::connect(&engine, &PollEngine::rowChanged, &engine, [this](int r) {
      if (r != 1) return;
      const QString p = engine.row(1).positionText();
      if (!p.isEmpty() && (shownB.isEmpty() || shownB.last() != p)) shownB << p;
    });
  }
  // Injects bytes the next time this frame is written: at once, or after
  // delayMs.
  void onNext(const QByteArray& frame, const QByteArray& bytes, int delayMs = -1) {
    injectAt = frame;
    inject = bytes;
    injectDelayMs = delayMs;
  }
  QByteArray injectAt, inject;
  int injectDelayMs = -1;
  QList<QString> shownB;  // positions row B showed
};

TEST_F(StrayBytes, AFourthByteAfterAReplyIsCountedAgainstItsDriveAndTheNextReplyReadInStep) {
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(1));
  net.drives['B'].pos = 5;
  // A's reply brings a fourth byte that is still on the line when B is asked.
  onNext("BS", "X");
  ASSERT_TRUE(completePoll(1));
  EXPECT_EQ(engine.row(1).positionText(), "5");
  EXPECT_EQ(engine.row(1).status, std::optional<char>('P'));
  EXPECT_EQ(engine.errorCount(), 1);
  // Sent ahead, B's query was written as A's quiet time ran: the byte is
  // A's, and A's reply one malformed exchange.
  EXPECT_TRUE(log().endsWith(", 1 , A, P2<0D>X\r\n")) << log().constData();
  EXPECT_EQ(engine.statistics(0).malformed, 1);
  EXPECT_EQ(shownB, (QList<QString>{"3", "5"}));
  // In step from then on.
  ASSERT_TRUE(completePoll(1));
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(engine.errorCount(), 1);
}

TEST_F(StrayBytes, BytesWaitingBeforeAQueryBelongToNoQuery) {
  ASSERT_TRUE(sweep());
  // A answers its move request; the bytes wait on the line until B is asked.
  engine.confirmRequest(0, "7");
  onNext(move('A', 7), "P2\r");
  ASSERT_TRUE(completePoll(1));
  EXPECT_EQ(engine.errorCount(), 1);
  EXPECT_TRUE(log().endsWith(", 1 , A, P2<0D>\r\n")) << log().constData();
  EXPECT_EQ(engine.row(1).positionText(), "3");
  EXPECT_EQ(shownB, QList<QString>{"3"});
}

TEST_F(StrayBytes, AReplyLaterThanTheDeadlineIsNotTakenForTheNextDrivesReply) {
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(1));
  // A stays silent past its deadline; its reply arrives as B is asked.
  net.drives['A'].override = QByteArray();
  net.drives['A'].overrideTimes = 1;
  onNext("BS", "P2\r");
  net.drives['B'].pos = 5;
  ASSERT_TRUE(completePoll(1));
  // A's silence is one fault; its late bytes are part of it, not another.
  EXPECT_EQ(engine.errorCount(), 1);
  EXPECT_TRUE(log().endsWith(", 1 , A, No Response\r\n")) << log().constData();
  EXPECT_EQ(shownB, (QList<QString>{"3", "5"}));
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(engine.row(0).positionText(), "2");
  EXPECT_EQ(engine.errorCount(), 1);
  EXPECT_EQ(engine.statistics(0).noResponses, 1);
  EXPECT_EQ(engine.statistics(0).strayBytes, 0);
}

TEST_F(StrayBytes, AReplyThatAByteFollowsAtOnceIsNotTheDrivesAndMovesNothing) {
  ASSERT_TRUE(sweep());
  // A stands at 2 and is asked for 2; B is asked for its own duct as well.
  engine.confirmRequest(0, "2");
  engine.confirmRequest(1, "3");
  ASSERT_TRUE(completePoll(1));
  take();
  // Three bytes of another duct with a fourth right behind them: one
  // malformed exchange, nothing decoded, nothing sent on its strength.
  net.drives['B'].override = QByteArray("P7\r~");
  net.drives['B'].overrideTimes = 1;
  ASSERT_TRUE(completePoll(1));
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(shownB, QList<QString>{"3"});
  for (const QByteArray& f : take()) EXPECT_EQ(f.size() == 2 ? f[1] : 'S', 'S') << f.toHex().constData();
  EXPECT_EQ(engine.errorCount(), 1);
  EXPECT_EQ(engine.statistics(1).malformed, 1);
  EXPECT_TRUE(log().endsWith(", 1 , B, P7<0D>~\r\n")) << log().constData();
}

TEST_F(StrayBytes, NoMoveRequestAfterAMalformedReply) {
  ASSERT_TRUE(sweep());
  // A stands at 2 and is asked for 5: a move request at every clean poll.
  engine.confirmRequest(0, "5");
  ASSERT_TRUE(completePoll(0));
  EXPECT_GE(take().count(move('A', 5)), 1);
  net.drives['A'].override = QByteArray("P2\rX");
  net.drives['A'].overrideTimes = -1;
  ASSERT_TRUE(completePoll(0));  // the clean reply in flight may still move it
  take();
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(completePoll(0));
  // The row still shows "P" at 2 from before, yet nothing goes out.
  EXPECT_EQ(engine.row(0).status, std::optional<char>('P'));
  EXPECT_EQ(take().count(move('A', 5)), 0);
  EXPECT_GE(engine.statistics(0).malformed, 2);
}

TEST_F(StrayBytes, AfterASilentDriveAReplyCountsOnlyOnAQuietLine) {
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(1));
  // A stays silent; its answer comes so late that it reaches the line after
  // B was asked, just before B's own reply.
  net.drives['A'].override = QByteArray();
  net.drives['A'].overrideTimes = 1;
  net.delayMs = 6;
  ASSERT_TRUE(pollRow(0));
  // B's reply follows A's late one at once (within two byte times).
  net.drives['B'].override = QByteArray("P2\rP3\r");
  net.drives['B'].overrideTimes = 1;
  ASSERT_TRUE(completePoll(1));
  EXPECT_EQ(shownB, QList<QString>{"3"});  // never A's duct
  EXPECT_TRUE(log().contains(", 1 , A, No Response\r\n"));
  EXPECT_TRUE(log().contains(", 2 , B, P")) << log().constData();  // six bytes, overlong
  ASSERT_TRUE(completePoll(1));
  EXPECT_EQ(engine.errorCount(), 2);
}

TEST_F(EngineTest, ScanDuringAReplyWaitsForItAndBlamesNoDrive) {
  net.drives['A'] = {'P', 3, 12, {}};
  ASSERT_TRUE(sweep());
  ASSERT_TRUE(completePoll(0));
  // A's next reply is on its way when Scan is pressed: its first byte is in,
  // the rest follows right after the press, before the drive answers anew.
  // Fed in one go, with no timer between, so both parts are seen within the
  // deadline however busy the machine is.
  net.mute = true;
  ASSERT_TRUE(pollRow(0));
  net.mute = false;
  link.feed("P");
  take();
  engine.startScan("COM 1");
  link.feed("3\r");
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.polling(); }, 10000));
  // The sweep's first query went out once the reply in flight had ended.
  const QList<QByteArray> sent = take();
  ASSERT_FALSE(sent.isEmpty());
  EXPECT_EQ(sent.first(), QByteArray("AS"));
  EXPECT_EQ(engine.errorCount(), 0);
  EXPECT_EQ(engine.drivesFound(), 1);
  EXPECT_EQ(engine.row(0).positionText(), "3");
  // Nothing but the two sweep headers in the log.
  EXPECT_EQ(log().count("\r\n"), 6) << log().constData();
  EXPECT_TRUE(log().endsWith("Time, Scan Count, Error Count, Address, Result\r\n")) << log().constData();
}

TEST_F(EngineTest, StatisticsCountPerDriveAndRestartWithScan) {
  net.drives['A'] = {'P', 2, 12, {}};
  net.drives['B'] = {'P', 3, 12, {}};
  ASSERT_TRUE(sweep());
  EXPECT_EQ(engine.statistics(0).polls, 1);
  // An address nobody answered in the sweep shows nothing at all.
  EXPECT_EQ(engine.statistics(2).polls, 0);
  EXPECT_EQ(engine.statistics(2).noResponses, 0);

  // A: silent once, then a short reply.
  net.drives['A'].override = QByteArray();
  net.drives['A'].overrideTimes = 1;
  ASSERT_TRUE(completePoll(0));
  mono += 1500;
  net.drives['A'].override = QByteArray("P2");
  net.drives['A'].overrideTimes = 1;
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(completePoll(0));
  const qint64 faultAt = mono;
  // B: a move requested and completed; the drive answers the first request
  // with two bytes that belong to no query. (How many requests go out before
  // the drive reports "M" depends on how many polls the wait below sees.)
  bool answered = false;
  net.onWrite = [this, &answered](const QByteArray& f) {
    if (f != move('B', 5) || answered) return;
    answered = true;
    link.feed("~~");
  };
  engine.confirmRequest(1, "5");
  ASSERT_TRUE(completePoll(1));
  net.onWrite = nullptr;
  net.drives['B'].status = 'M';
  ASSERT_TRUE(completePoll(1));
  net.drives['B'] = {'P', 5, 12, {}};
  ASSERT_TRUE(completePoll(1));
  ASSERT_TRUE(completePoll(1));

  const DriveStatistics& a = engine.statistics(0);
  EXPECT_GE(a.polls, 4);
  EXPECT_EQ(a.noResponses, 1);
  EXPECT_EQ(a.malformed, 1);
  EXPECT_EQ(a.strayBytes, 0);
  EXPECT_EQ(a.lastFaultMs, std::optional<qint64>(faultAt));
  mono += 2000;
  EXPECT_EQ(a.secondsSinceFault(engine.monotonicNowMs()), std::optional<double>(2.0));
  ASSERT_TRUE(a.lastReplyMs());
  ASSERT_TRUE(a.meanReplyMs());
  EXPECT_GE(*a.meanReplyMs(), 0.0);
  EXPECT_LE(*a.meanReplyMs(), pollTimeoutMs);  // clean replies, all within the deadline
  const DriveStatistics& b = engine.statistics(1);
  EXPECT_GE(b.movesRequested, 1);
  EXPECT_EQ(b.movesCompleted, 1);
  EXPECT_EQ(b.strayBytes, 1);  // two bytes, one event
  EXPECT_EQ(b.noResponses + b.malformed, 0);
  EXPECT_EQ(engine.errorCount(), 3);
  // The columns add up to the error counter.
  int events = 0;
  for (int i = 0; i < kRows; ++i) {
    const DriveStatistics& s = engine.statistics(i);
    events += s.noResponses + s.malformed + s.strayBytes;
  }
  EXPECT_EQ(events, engine.errorCount());

  // Scan starts the counters afresh.
  ASSERT_TRUE(sweep());
  EXPECT_LE(engine.statistics(0).polls, 2);  // the sweep's query, and maybe the first poll
  EXPECT_EQ(engine.statistics(0).noResponses, 0);
  EXPECT_EQ(engine.statistics(0).malformed, 0);
  EXPECT_FALSE(engine.statistics(0).lastFaultMs);
  EXPECT_EQ(engine.statistics(1).movesCompleted, 0);
}

TEST_F(EngineTest, ALostPortIsTriedAgainAndPollingResumesWithTheDrivesFoundBefore) {
  net.drives['A'] = {'P', 2, 12, {}};
  net.drives['B'] = {'P', 3, 12, {}};
  engine.setReopenIntervalMs(10);
  ASSERT_TRUE(sweep("COM 5"));
  ASSERT_TRUE(completePoll(1));
  QSignalSpy back(&engine, &PollEngine::portBack);
  link.openable = false;
  link.close();
  emit link.failed(QStringLiteral("No such device"));
  ASSERT_TRUE(engine.lostPort());
  // Tried again and again while the adapter is away; nothing is sent.
  const int tries = link.openCalls;
  ASSERT_TRUE(QTest::qWaitFor([&] { return link.openCalls >= tries + 3; }, 5000));
  EXPECT_TRUE(back.isEmpty());
  EXPECT_TRUE(link.writes.isEmpty() || !link.isOpen());
  take();
  // The adapter is back on the same port.
  wall = QDateTime(QDate(2026, 12, 6), QTime(14, 6, 0));
  link.openable = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return back.count() == 1; }, 5000));
  EXPECT_EQ(back[0][0].toString(), "COM 5");
  EXPECT_EQ(link.openedPort, 5);
  EXPECT_TRUE(log().endsWith("Port back 12/6/2026 2:06:00 PM, COM 5\r\n")) << log().constData();
  EXPECT_TRUE(engine.polling());
  ASSERT_TRUE(completePoll(0));
  ASSERT_TRUE(completePoll(1));
  // No new sweep: no header, no duct-count query, the rows and count as found.
  const QList<QByteArray> sent = take();
  EXPECT_TRUE(sent.contains("AS"));
  EXPECT_FALSE(sent.contains("CS"));
  EXPECT_FALSE(sent.contains("Ad"));
  EXPECT_EQ(log().count("Start "), 1);
  EXPECT_EQ(engine.drivesFound(), 2);
  EXPECT_TRUE(engine.row(0).current);
  EXPECT_EQ(engine.row(1).positionText(), "3");
  const int tried = link.openCalls;
  ASSERT_TRUE(completePoll(0));
  EXPECT_EQ(link.openCalls, tried);  // no more tries once it is back
}
