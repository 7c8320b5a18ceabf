// The fault timeline, fed by the engine's events over a fake port, and the
// window that paints it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <optional>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "fake_serial_link.h"
#include "files.h"
#include "held_clock.h"
#include "polmon_window.h"
#include "timeline_window.h"

using namespace polmon;
using polmon::testing::HeldClock;
using xav::testing::FakeSerialLink;

namespace {

// Drives A, B and C: A answers "P" at duct 4; B answers the sweep and then
// stays silent every other poll; C answers with two bytes after the sweep.
// With slowA, A's poll replies come 60 ms late.
class TimelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    PollEngine& e = window.engine();
    e.setEarliestReplyNs(0);
    e.setLogPath(dir.filePath("Polmon.dbg"));
    e.setReplyTimeoutMs(20);
    e.setMonotonicClock([this] { return nowMs; });
    clock.install(e);
    QObject::connect(&e, &PollEngine::frameSent, &window, [this](const QByteArray& f) {
      const bool polling = window.engine().polling();
      QByteArray reply;
      int delay = 0;
      if (f == "AS") {
        reply = "P4\r";
        if (polling && slowA) delay = 60;
      }
      if (f == "BS" && (!polling || !faulty || ++bPolls % 2 == 0)) reply = "P1\r";
      if (f == "CS") reply = polling && faulty ? QByteArray("P2") : QByteArray("P2\r");
      if (f.endsWith('d')) reply = "D9\r";
      if (!reply.isEmpty()) clock.answer(&window, link, reply, delay);
    });
  }
  bool scan() {
    QTest::mouseClick(window.findChild<QPushButton*>("cmdScan"), Qt::LeftButton);
    return QTest::qWaitFor([&] { return window.engine().polling(); }, 10000);
  }
  QByteArrayList logLines() {
    QByteArray log;
    EXPECT_TRUE(xav::readWholeFile(dir.filePath("Polmon.dbg"), &log));
    return log.split('\n');
  }

  QTemporaryDir dir;
  HeldClock clock;
  qint64 nowMs = 1000;
  int bPolls = 0;
  bool slowA = false;
  bool faulty = true;  // B's silences and C's short replies
  FakeSerialLink link;
  PolmonWindow window{&link};
};

}  // namespace

TEST_F(TimelineTest, EachCountedFaultIsAMarkOnItsDrivesLaneWithItsLogEntry) {
  ASSERT_TRUE(scan());
  const FaultTimeline& t = window.timeline();
  EXPECT_EQ(t.sweepStartMs(), 1000);
  EXPECT_EQ(t.lanes(), (QList<int>{0, 1, 2}));
  nowMs = 5000;
  PollEngine& e = window.engine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return e.statistics(1).noResponses >= 3 && e.statistics(2).malformed >= 3; }, 10000));
  // Counted and marked alike: the Timeline reads what Statistics reads.
  EXPECT_EQ(t.count(1, FaultKind::NoResponse), e.statistics(1).noResponses);
  EXPECT_EQ(t.count(2, FaultKind::Malformed), e.statistics(2).malformed);
  EXPECT_EQ(t.count(0, FaultKind::NoResponse) + t.count(0, FaultKind::Malformed), 0);
  // Each mark's entry is a line of Polmon.dbg.
  const QByteArrayList lines = logLines();
  for (const FaultMark& m : t.marks()) {
    EXPECT_TRUE(lines.contains(m.entry.toLatin1() + '\r')) << qPrintable(m.entry);
  }
  const FaultMark& first = t.marks().front();
  EXPECT_TRUE(first.entry.endsWith(first.row == 1 ? ", B, No Response" : ", C, P2")) << qPrintable(first.entry);

  // The lost port: one mark across the lanes, with its log entry.
  link.close();
  emit link.failed(QStringLiteral("the device was disconnected"));
  const FaultMark& lost = t.marks().back();
  EXPECT_EQ(lost.kind, FaultKind::PortLost);
  EXPECT_EQ(lost.row, -1);
  EXPECT_TRUE(lost.entry.startsWith("Port lost")) << qPrintable(lost.entry);

  // A new Scan starts the timeline afresh.
  nowMs = 9000;
  ASSERT_TRUE(scan());
  EXPECT_EQ(t.sweepStartMs(), 9000);
  EXPECT_TRUE(std::all_of(t.marks().begin(), t.marks().end(), [](const FaultMark& m) { return m.atMs >= 9000; }));
}

TEST_F(TimelineTest, AReplyOverFiftyMillisecondsIsAMark) {
  faulty = false;
  ASSERT_TRUE(scan());
  // Room for the late reply however loaded the machine.
  window.engine().setReplyTimeoutMs(5000);
  slowA = true;
  const FaultTimeline& t = window.timeline();
  ASSERT_TRUE(QTest::qWaitFor([&] { return t.count(0, FaultKind::SlowReply) >= 1; }, 10000));
  const auto m = std::find_if(t.marks().begin(), t.marks().end(), [](const FaultMark& k) { return k.kind == FaultKind::SlowReply; });
  EXPECT_TRUE(m->entry.startsWith("A, reply after ")) << qPrintable(m->entry);
  EXPECT_GE(m->entry.section(' ', 3, 3).toDouble(), 60.0) << qPrintable(m->entry);
  // Quick replies leave no mark.
  FaultTimeline alone;
  alone.recordReply(0, 6'000'000, 10);
  alone.recordReply(0, FaultTimeline::kSlowReplyNs, 10);
  EXPECT_TRUE(alone.marks().empty());
}

TEST_F(TimelineTest, TheWindowShowsTenMinutesScrollsBackToTheSweepAndTellsEachMark) {
  ASSERT_TRUE(scan());
  nowMs = 61'000;  // a minute after the sweep
  PollEngine& e = window.engine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return e.statistics(1).noResponses >= 1; }, 10000));
  QTest::mouseClick(window.findChild<QPushButton*>("cmdTimeline"), Qt::LeftButton);
  auto* tw = window.findChild<TimelineWindow*>("frmTimeline");
  ASSERT_NE(tw, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tw));
  TimelineView* view = tw->view();
  const FaultTimeline& t = window.timeline();
  // The latest mark of a kind on a row, once one was made a minute on.
  auto markOf = [&](int row, FaultKind kind) {
    std::optional<FaultMark> found;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          for (const FaultMark& m : t.marks())
            if (m.row == row && m.kind == kind && m.atMs == 61'000) found = m;
          return found.has_value();
        },
        10000));
    return found.value_or(FaultMark{});
  };
  const FaultMark b = markOf(1, FaultKind::NoResponse);
  const FaultMark c = markOf(2, FaultKind::Malformed);
  tw->refresh();
  const QRect rb = view->markRect(b), rc = view->markRect(c);
  ASSERT_FALSE(rb.isNull());
  // B's lane lies above C's, at the same moment.
  EXPECT_LT(rb.bottom(), rc.top());
  EXPECT_EQ(rb.center().x(), rc.center().x());
  EXPECT_TRUE(QRect(QPoint(), view->size()).contains(rb));
  EXPECT_EQ(view->toolTipAt(rb.center()), "No response\n" + b.entry);
  EXPECT_EQ(view->toolTipAt(rc.center()), "Malformed reply\n" + c.entry);
  EXPECT_TRUE(view->toolTipAt(QPoint(rb.center().x(), 1)).isEmpty());

  // Twenty-five minutes on, the view follows the clock: the early marks are
  // out of view, and scrolling back to the start shows them again.
  nowMs = 25 * 60'000;
  tw->refresh();
  auto* scroll = tw->findChild<QScrollBar*>("scrTime");
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(scroll->value(), scroll->maximum());
  EXPECT_EQ(view->startOffsetMs(), (25 * 60'000 - 1000 - FaultTimeline::kSpanMs + 999) / 1000 * 1000);
  EXPECT_TRUE(view->markRect(b).isNull());
  scroll->setValue(0);
  EXPECT_EQ(view->markRect(b), rb);
  tw->refresh();  // scrolled back, it stays there
  EXPECT_EQ(scroll->value(), 0);
  // A narrower width: one minute, following the clock again at the end.
  scroll->setValue(scroll->maximum());
  tw->findChild<QComboBox*>("cmbSpan")->setCurrentIndex(1);
  EXPECT_EQ(view->spanMs(), 60'000);
  EXPECT_EQ(view->startOffsetMs(), (25 * 60'000 - 1000 - 60'000 + 999) / 1000 * 1000);
}

TEST_F(TimelineTest, ExportWritesAPngWholeOrNothing) {
  ASSERT_TRUE(scan());
  QTest::mouseClick(window.findChild<QPushButton*>("cmdTimeline"), Qt::LeftButton);
  auto* tw = window.findChild<TimelineWindow*>("frmTimeline");
  ASSERT_NE(tw, nullptr);
  const QString path = dir.filePath("timeline.png");
  ASSERT_TRUE(tw->exportTo(path));
  QImage picture;
  ASSERT_TRUE(picture.load(path, "PNG"));
  EXPECT_EQ(picture.size(), tw->view()->size() * tw->view()->devicePixelRatioF());
  EXPECT_TRUE(tw->findChild<QLabel*>("lblExportResult")->text().startsWith("Exported to"));
  ASSERT_TRUE(xav::writeWholeFile(dir.filePath("plain"), "x"));
  EXPECT_FALSE(tw->exportTo(dir.filePath("plain/timeline.png")));
  EXPECT_TRUE(tw->findChild<QLabel*>("lblExportResult")->text().startsWith("Not exported"));
  EXPECT_FALSE(QFile::exists(dir.filePath("plain/timeline.png")));
}

TEST(FaultTimelineModel, KeepsAtMostItsLimitOldestFirstOut) {
  FaultTimeline t;
  t.startSweep(0);
  for (size_t k = 0; k < FaultTimeline::kMaxMarks + 5; ++k)
    t.record({static_cast<qint64>(k), 3, FaultKind::Strays, QStringLiteral("x")});
  EXPECT_EQ(t.marks().size(), FaultTimeline::kMaxMarks);
  EXPECT_EQ(t.dropped(), 5u);
  EXPECT_EQ(t.marks().front().atMs, 5);
  EXPECT_EQ(t.firstMarkFrom(10), 5u);
  EXPECT_EQ(t.lanes(), QList<int>{3});  // a drive that shows a fault gets a lane
  // Faults of an address without a row are nobody's lane.
  t.record({1, -1, FaultKind::NoResponse, QString()});
  EXPECT_EQ(t.dropped(), 5u);
}
