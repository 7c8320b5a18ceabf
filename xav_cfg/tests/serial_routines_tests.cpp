#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "fake_serial_link.h"
#include "serial_routines.h"

using xav::testing::FakeSerialLink;
using xavcfg::SerialRoutines;

namespace {
int queries(const FakeSerialLink& link) { return static_cast<int>(link.writes.count(QByteArrayLiteral("??"))); }
}  // namespace

TEST(SerialRoutines, ListsEveryPortThatOpensByItsFullNumber) {
  FakeSerialLink link;
  SerialRoutines routines(&link);
  const QStringList all = routines.ListComPorts();
  ASSERT_EQ(all.size(), 16);
  EXPECT_EQ(all.first(), QStringLiteral("COM 1"));
  EXPECT_EQ(all.last(), QStringLiteral("COM 16"));
  EXPECT_FALSE(link.isOpen());  // each probe closes again
  link.openable = false;
  EXPECT_TRUE(routines.ListComPorts().isEmpty());
}

TEST(SerialRoutines, SendEmptiesTheReceiveBufferFirstAndEndMarkerNeedsAnOpenPort) {
  FakeSerialLink link;
  SerialRoutines routines(&link);
  routines.sendEndMarker();
  EXPECT_TRUE(link.writes.isEmpty());
  ASSERT_TRUE(routines.openPort(3));
  EXPECT_EQ(link.openedPort, 3);
  link.feed("stale reply");
  routines.SendToModule("??");
  EXPECT_TRUE(link.input.isEmpty());
  routines.sendEndMarker();
  EXPECT_EQ(link.written(), QByteArray("??@\r\n"));
}

TEST(SerialRoutines, ReplyOfThirtyCharactersIsReadWithWhatFollowsDuringTheSettle) {
  FakeSerialLink link;
  SerialRoutines routines(&link);
  routines.openPort(1);
  QSignalSpy finished(&routines, &SerialRoutines::queryFinished);
  QSignalSpy countdown(&routines, &SerialRoutines::countdown);
  routines.QueryModule();
  EXPECT_TRUE(routines.busy());
  EXPECT_EQ(link.writes, QList<QByteArray>{"**??"});
  link.feed("noise before the query");  // thrown away by the query's send
  ASSERT_TRUE(QTest::qWaitFor([&] { return queries(link) == 1; }, 10000));
  EXPECT_EQ(link.writes, (QList<QByteArray>{"**??", "??"}));
  const QByteArray head = "4400010109600" + QByteArray(17, ' ');  // exactly 30
  link.feed(head);
  link.feed("tail");  // arrives during the settle
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_FALSE(routines.ReplyTimedOut);
  EXPECT_EQ(routines.ModuleRecord, head + "tail");
  EXPECT_TRUE(countdown.isEmpty());
  EXPECT_FALSE(routines.busy());
}

TEST(SerialRoutines, ShortOrLateReplyCountsAsTimeOutAndIsDiscardedByTheNextAttempt) {
  FakeSerialLink link;
  SerialRoutines routines(&link);
  routines.openPort(1);
  QSignalSpy finished(&routines, &SerialRoutines::queryFinished);
  QSignalSpy countdown(&routines, &SerialRoutines::countdown);
  routines.QueryModule();
  ASSERT_TRUE(QTest::qWaitFor([&] { return queries(link) == 1; }, 10000));
  link.feed(QByteArray(29, '1'));  // one short of a reply
  ASSERT_TRUE(countdown.wait(10000));
  EXPECT_EQ(countdown.at(0).at(0).toInt(), 6);
  EXPECT_TRUE(routines.ReplyTimedOut);
  EXPECT_EQ(routines.ModuleRecord, QByteArray(29, '1'));  // read, though not accepted
  link.feed("late characters of the first reply");  // cleared by the next send
  ASSERT_TRUE(QTest::qWaitFor([&] { return queries(link) == 2; }, 10000));
  EXPECT_TRUE(link.input.isEmpty());
  link.feed("2" + QByteArray(43, '0'));
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_EQ(routines.ModuleRecord, "2" + QByteArray(43, '0'));
  EXPECT_EQ(countdown.size(), 1);
  EXPECT_EQ(link.writes, (QList<QByteArray>{"**??", "??", "**??", "??"}));
}

TEST(SerialRoutines, CancelStopsTheExchangeWithoutAResult) {
  FakeSerialLink link;
  SerialRoutines routines(&link);
  routines.openPort(1);
  QSignalSpy finished(&routines, &SerialRoutines::queryFinished);
  routines.QueryModule();
  routines.QueryModule();  // a second start while one runs is ignored
  routines.cancel();
  EXPECT_FALSE(routines.busy());
  // A timer due after the query's would be: had the cancel left the
  // exchange's timer running, it fires first, however slow the machine.
  QTimer after;
  after.setSingleShot(true);
  after.setTimerType(Qt::PreciseTimer);
  QSignalSpy passed(&after, &QTimer::timeout);
  after.start(2 * SerialRoutines::kWakeToQueryMs);
  ASSERT_TRUE(passed.wait(60000));
  EXPECT_EQ(link.writes, QList<QByteArray>{"**??"});
  EXPECT_TRUE(finished.isEmpty());
}
