// polmon-bench: runs the scanner window (offscreen) against a running
// tvr-drive-sim and measures the poll cycle.
//
//   polmon-bench --com N [--cycles 200] [--polls 0] [--drives 20] [--turnaround-ms 1]
//                [--statistics] [--screenshot FILE] [--statistics-screenshot FILE]
//                [--timeline-screenshot FILE]
//
// Presses Scan, waits for the sweep, then counts polls. Prints the cycle time
// (time between two polls of the same drive: median and max), the wire limit
// for the given drives and turnaround, the longest event-loop stall (the
// largest gap between the ticks of a 1 ms timer, less the 1 ms) and the
// resident memory at the first and the last checkpoint. Stops after --cycles
// full cycles, or after --polls polls when that is given. --statistics keeps
// the Statistics window open (and refreshing) for the whole run. With
// --screenshot it confirms a request, starts random mode on a row and saves a
// picture of the window at the end; --statistics-screenshot saves one of the
// Statistics window, --timeline-screenshot one of the Timeline window
// (one minute wide).

#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app_info.h"
#include "polmon_window.h"
#include "timeline_window.h"

namespace {

long residentKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

double ms(qint64 ns) { return ns / 1e6; }

struct Options {
  int com = 9, cycles = 200, drives = 20;
  long long polls = 0;
  double turnaround = 1;
  bool statistics = false;
  QString shot, statisticsShot, timelineShot;
};

// The command line, through the tool set's parser (--help and --version
// included). Returns the exit status when the program must end here.
std::optional<int> parse(int argc, char** argv, Options* o) {
  QCommandLineParser p;
  xav::describeProgram(p, QStringLiteral("polmon-bench"),
                       QStringLiteral("Runs TVR_Polmon's window (offscreen) against a running tvr-drive-sim and\n"
                                      "measures the poll cycle."));
  const auto com = xav::addOption(p, "com", "COM number of the simulator (default 9).", "N");
  const auto cycles = xav::addOption(p, "cycles", "Full cycles to measure (default 200).", "N");
  const auto polls = xav::addOption(p, "polls", "Stop after N polls instead.", "N");
  const auto drives = xav::addOption(p, "drives", "Drives answering (default 20).", "N");
  const auto turnaround = xav::addOption(p, "turnaround-ms", "Simulator's turnaround, for the wire limit (default 1).", "MS");
  const auto statistics = xav::addOption(p, "statistics", "Keep the Statistics window open for the whole run.");
  const auto shot = xav::addOption(p, "screenshot", "Save a picture of the window at the end.", "FILE");
  const auto statisticsShot = xav::addOption(p, "statistics-screenshot", "Save a picture of the Statistics window.", "FILE");
  const auto timelineShot = xav::addOption(p, "timeline-screenshot", "Save a picture of the Timeline window.", "FILE");
  if (const auto end = xav::parseCommandLine(p, xav::argumentsOf(argc, argv))) return end;
  if (p.isSet(com)) o->com = p.value(com).toInt();
  if (p.isSet(cycles)) o->cycles = p.value(cycles).toInt();
  if (p.isSet(polls)) o->polls = p.value(polls).toLongLong();
  if (p.isSet(drives)) o->drives = p.value(drives).toInt();
  if (p.isSet(turnaround)) o->turnaround = p.value(turnaround).toDouble();
  o->statistics = p.isSet(statistics);
  o->shot = p.value(shot);
  o->statisticsShot = p.value(statisticsShot);
  o->timelineShot = p.value(timelineShot);
  return std::nullopt;
}

class Bench {
 public:
  explicit Bench(const Options& o) : o_(o) {
    // Samples live in storage that is allocated and touched up front, so the
    // memory figures show the tool, not the benchmark's own bookkeeping.
    cycleNs_.assign(static_cast<size_t>(o.polls > 0 ? o.polls : (o.cycles + 2LL) * polmon::kRows), 0);
    window_.show();
    clock_.start();
    ticker_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
    ticker_.start(1);
    polmon::PollEngine& engine = window_.engine();
    QObject::connect(&engine, &polmon::PollEngine::sweepFinished, [this] { sweepDone(); });
    QObject::connect(&engine, &polmon::PollEngine::pollStarted, [this](int row) { polled(row); });
    QTimer::singleShot(0, [this] {
      child<QComboBox>("cmbComm")->setEditText(QStringLiteral("COM %1").arg(o_.com));
      child<QPushButton>("cmdScan")->click();
      if (o_.statistics || !o_.statisticsShot.isEmpty()) child<QPushButton>("cmdStatistics")->click();
      if (!o_.timelineShot.isEmpty()) {
        child<QPushButton>("cmdTimeline")->click();
        if (auto* span = window_.findChild<QComboBox*>(QStringLiteral("cmbSpan"))) span->setCurrentIndex(1);
      }
    });
  }

 private:
  template <typename W>
  W* child(const QString& name) {
    return window_.findChild<W*>(name);
  }
  void tick();
  void sweepDone();
  void polled(int row);
  void finish();
  void report();

  Options o_;
  polmon::PolmonWindow window_;
  QElapsedTimer clock_;
  QTimer ticker_;
  std::vector<qint64> lastPoll_ = std::vector<qint64>(polmon::kRows, -1);
  std::vector<qint64> cycleNs_;
  size_t cycleCount_ = 0;
  long long polls_ = 0;
  int fullCycles_ = 0;
  long rssFirst_ = -1, rssLast_ = -1, rssMax_ = 0;
  qint64 maxGapNs_ = 0, lastTick_ = -1;
  std::vector<long long> gapHistogram_ = std::vector<long long>(2001, 0);  // 0.1 ms buckets up to 200 ms
  long long gapCount_ = 0;
  long long maxGapAtPoll_ = 0;
  bool measuring_ = false;
};

void Bench::tick() {
  const qint64 t = clock_.nsecsElapsed();
  if (measuring_ && lastTick_ >= 0) {
    if (t - lastTick_ > maxGapNs_) {
      maxGapNs_ = t - lastTick_;
      maxGapAtPoll_ = polls_;
    }
    ++gapHistogram_[static_cast<size_t>(std::min<qint64>((t - lastTick_) / 100000, 2000))];
    ++gapCount_;
  }
  lastTick_ = t;
}

void Bench::sweepDone() {
  measuring_ = true;
  lastTick_ = -1;
  if (o_.shot.isEmpty() && o_.statisticsShot.isEmpty() && o_.timelineShot.isEmpty()) return;
  // Something to look at: a confirmed request, a drive in random mode and a
  // request still being typed.
  polmon::PollEngine& engine = window_.engine();
  engine.confirmRequest(1, QStringLiteral("6"));
  child<QPushButton>(QStringLiteral("cmdRnd(2)"))->click();
  engine.editRequest(3, QStringLiteral("4"));
}

void Bench::polled(int row) {
  if (!measuring_) return;
  const qint64 t = clock_.nsecsElapsed();
  if (lastPoll_[row] >= 0 && cycleCount_ < cycleNs_.size()) cycleNs_[cycleCount_++] = t - lastPoll_[row];
  lastPoll_[row] = t;
  ++polls_;
  if (row == 0) ++fullCycles_;
  const long long every = o_.polls > 0 ? std::max(1LL, o_.polls / 20) : 200;
  if (polls_ % every == 0) {
    const long rss = residentKiB();
    if (rssFirst_ < 0) rssFirst_ = rss;
    rssLast_ = rss;
    rssMax_ = std::max(rssMax_, rss);
  }
  const bool done = o_.polls > 0 ? polls_ >= o_.polls : fullCycles_ > o_.cycles;
  if (done) QTimer::singleShot(0, [this] { finish(); });
}

void Bench::finish() {
  if (!measuring_) return;
  measuring_ = false;
  report();
  if (!o_.shot.isEmpty()) window_.grab().save(o_.shot);
  if (auto* stats = window_.findChild<QWidget*>(QStringLiteral("frmStatistics")); stats && !o_.statisticsShot.isEmpty())
    stats->grab().save(o_.statisticsShot);
  if (auto* timeline = window_.findChild<polmon::TimelineWindow*>(QStringLiteral("frmTimeline"));
      timeline && !o_.timelineShot.isEmpty()) {
    timeline->refresh();
    timeline->grab().save(o_.timelineShot);
  }
  window_.engine().shutDown();
  QApplication::quit();
}

void Bench::report() {
  std::vector<qint64> sorted(cycleNs_.begin(), cycleNs_.begin() + static_cast<std::ptrdiff_t>(cycleCount_));
  std::sort(sorted.begin(), sorted.end());
  const double limitMs = o_.drives * (5 * 10 * 1000.0 / 9600.0 + o_.turnaround);
  const double median = sorted.empty() ? 0 : ms(sorted[sorted.size() / 2]);
  const double worst = sorted.empty() ? 0 : ms(sorted.back());
  std::printf("drives found:          %s\n", qPrintable(child<QLabel>("lblDistCnt")->text()));
  std::printf("statistics window:     %s\n", o_.statistics ? "open, refreshing twice a second" : "closed");
  std::printf("polls:                 %lld (%d full cycles)\n", polls_, fullCycles_);
  std::printf("cycle time median:     %.1f ms\n", median);
  std::printf("cycle time max:        %.1f ms\n", worst);
  std::printf("wire limit:            %.1f ms (%d x (5 bytes x 10 bits / 9600 baud + %.1f ms))\n", limitMs,
              o_.drives, o_.turnaround);
  std::printf("median / limit:        %.2f (goal <= 1.25)\n", limitMs > 0 ? median / limitMs : 0);
  double p999 = 0;
  for (long long seen = 0, k = 0; k < 2001; ++k) {
    seen += gapHistogram_[static_cast<size_t>(k)];
    if (seen * 1000 >= gapCount_ * 999) {
      p999 = k / 10.0;
      break;
    }
  }
  std::printf("longest loop stall:    %.1f ms at poll %lld (goal < 50 ms); 99.9%% of ticks within %.1f ms\n",
              std::max(0.0, ms(maxGapNs_) - 1.0), maxGapAtPoll_, std::max(0.0, p999 - 1.0 + 0.1));
  std::printf("resident memory:       %ld KiB at first checkpoint, %ld KiB at last, %ld KiB max\n", rssFirst_,
              rssLast_, rssMax_);
  std::printf("errors on the wire:    %s\n", qPrintable(child<QLabel>("lblErrCnt")->text()));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Options o;
  if (const auto end = parse(argc, argv, &o)) return *end;
  QApplication app(argc, argv);
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  Bench bench(o);
  // A run that makes no progress ends itself.
  QTimer::singleShot(30 * 60 * 1000, [] {
    std::fprintf(stderr, "polmon-bench: gave up after 30 minutes\n");
    QApplication::exit(1);
  });
  return app.exec();
}
