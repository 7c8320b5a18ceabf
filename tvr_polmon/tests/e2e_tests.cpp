// The real window against the simulated drive network on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "colours.h"
#include "files.h"
#include "numbers.h"
#include "polmon_window.h"

using namespace polmon;

namespace {

QString simProgram() {
  QString bin = qEnvironmentVariable("XAV_BIN_DIR");
  if (bin.isEmpty()) bin = QStringLiteral(XAV_BIN_DIR_DEFAULT);
  return QDir(bin).filePath(QStringLiteral("tvr-drive-sim"));
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    oldCwd = QDir::currentPath();
    QDir().mkpath(dir.filePath("work"));
    QDir::setCurrent(dir.filePath("work"));
  }
  void TearDown() override {
    window.reset();
    if (sim.state() != QProcess::NotRunning) {
      sim.terminate();
      if (!sim.waitForFinished(5000)) sim.kill();
    }
    QDir::setCurrent(oldCwd);
    if (oldConfig.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", oldConfig);
  }

  bool startSim(const QStringList& args) {
    sim.setProgram(simProgram());
    sim.setArguments(QStringList{"--com", "7", "--report", dir.filePath("sim.txt")} + args);
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(5000)) return false;
    return QTest::qWaitFor(
        [&] {
          sim.waitForReadyRead(50);
          out += sim.readAllStandardOutput();
          return out.contains("ready COM 7");
        },
        10000);
  }
  void openWindow() {
    window = std::make_unique<PolmonWindow>();
    QObject::connect(&window->engine(), &PollEngine::pollStarted, window.get(), [this](int r) { ++polls[r]; });
    window->show();
  }
  // Waits until the row has been polled n more times.
  bool morePolls(int row, int n) {
    const int target = polls[row] + n;
    return waitFor([&] { return polls[row] >= target; });
  }
  // Every drive found is asked for the duct it stands at, before the first
  // poll: no move request is ever due.
  void confirmOwnDuctsAfterSweep() {
    PollEngine* e = &window->engine();
    QObject::connect(e, &PollEngine::sweepFinished, window.get(), [e] {
      for (int i = 0; i < kRows; ++i)
        if (!e->row(i).address.isEmpty()) e->confirmRequest(i, e->row(i).positionText());
    });
  }
  // Once the sweep is over, the reply timeout (250 ms) and the wait for a
  // late answer (1.5 s more) are stretched, and the simulator's late replies
  // come 750 ms late: a machine that looks at the line hundreds of ms late
  // still sees them past their deadline and within the wait, and every other
  // reply in time. (The sweep keeps the described 100 ms, so that absent
  // addresses cost no more.) Under "Slow Scan" the quiet time before each
  // query becomes 0.6 s, so a stray byte can come well clear of both sides.
  void stretchTimeoutsAfterSweep() {
    PollEngine* e = &window->engine();
    QObject::connect(e, &PollEngine::sweepFinished, window.get(), [e] {
      e->setReplyTimeoutMs(250);
      e->setLateGraceMs(1500);
      e->setSlowScanPauseMs(600);
    });
  }
  // Faults the simulator applied ("fault <addr> <kind> <n>" lines).
  int faultsApplied() const { return static_cast<int>(frames("fault ").size()); }
  // Faults counted against each drive, by row, and their sum.
  std::map<int, int> faultsCounted() const {
    std::map<int, int> out;
    for (int i = 0; i < kRows; ++i) {
      const DriveStatistics& s = window->engine().statistics(i);
      if (const int n = s.noResponses + s.malformed + s.strayBytes) out[i] = n;
    }
    return out;
  }
  bool scan() {
    w<QComboBox>("cmbComm")->setEditText("COM 7");
    QTest::mouseClick(w<QPushButton>("cmdScan"), Qt::LeftButton);
    return QTest::qWaitFor([&] { return window->engine().polling(); }, 15000);
  }
  QStringList report() const {
    QByteArray data;
    xav::readWholeFile(dir.filePath("sim.txt"), &data);
    return QString::fromLatin1(data).split('\n', Qt::SkipEmptyParts);
  }
  // Report lines "frame <addr> <what>...", without the time stamps.
  QStringList frames(const QString& prefix) const {
    QStringList out;
    for (const QString& line : report()) {
      const QString rest = line.section(' ', 1);
      if (rest.startsWith(prefix)) out << rest;
    }
    return out;
  }
  QByteArray log() const {
    QByteArray data;
    xav::readWholeFile(dir.filePath("work/Polmon.dbg"), &data);
    return data;
  }
  bool waitFor(const std::function<bool()>& pred) { return QTest::qWaitFor(pred, 15000); }
  // A widget of the window by its objectName; "txtAddr", 3 finds "txtAddr(3)".
  template <typename W>
  W* w(const QString& name, int index = -1) {
    const QString full = index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
    W* found = window->findChild<W*>(full);
    EXPECT_NE(found, nullptr) << qPrintable(full);
    return found;
  }

  QTemporaryDir dir;
  QByteArray oldConfig;
  QString oldCwd;
  QProcess sim;
  QByteArray out;
  std::unique_ptr<PolmonWindow> window;
  std::map<int, int> polls;
};

}  // namespace

TEST_F(EndToEnd, SweepsPollsMovesResetsAndExercisesTheSimulatedDrives) {
  // A move lasts two polls, so its end is seen however fast the machine.
  ASSERT_TRUE(startSim({"--drives", "A,C,T", "--ducts", "5", "--position", "1,C=2", "--move-polls", "2",
                        "--turnaround-ms", "1", "--fault", "T=stuck"}));
  openWindow();
  EXPECT_TRUE(w<QComboBox>("cmbComm")->findText("COM 7") >= 0);
  ASSERT_TRUE(scan());

  // The sweep found exactly the three drives and wrote the header.
  EXPECT_EQ(w<QLabel>("lblDistCnt")->text(), "3 Drives Found");
  const QRegularExpression header(
      "^\\r\\nStart \\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M,3 Drives Found, A C T \\r\\n"
      "Time, Scan Count, Error Count, Address, Result\\r\\n");
  EXPECT_TRUE(header.match(QString::fromLatin1(log())).hasMatch()) << log().constData();
  for (int i = 0; i < kRows; ++i) {
    const bool present = i == 0 || i == 2 || i == 18;
    EXPECT_EQ(w<QLineEdit>("txtAddr", i)->text().isEmpty(), !present) << i;
    EXPECT_EQ(w<QPushButton>("cmdRnd", i)->isHidden(), !present) << i;
  }
  EXPECT_EQ(w<QLineEdit>("txtPosition", 0)->text(), "1");
  EXPECT_EQ(w<QPushButton>("cmdRnd", 0)->text(), " 5");

  // Polling: the stuck drive offers a reset.
  ASSERT_TRUE(waitFor([&] { return w<QPushButton>("cmdRnd", 18)->text() == "Reset"; }));
  EXPECT_EQ(w<QLineEdit>("txtStat", 18)->text(), "M");
  EXPECT_EQ(w<QPushButton>("cmdRnd", 18)->palette().color(QPalette::Button), QColor(xav::colours::LightRed));

  // A move request goes out as the duct number byte and the drive arrives.
  QTest::keyClicks(w<QLineEdit>("txtRequest", 0), "3");
  QTest::keyClick(w<QLineEdit>("txtRequest", 0), Qt::Key_Return);
  ASSERT_TRUE(waitFor([&] { return !frames("frame A move").isEmpty(); }));
  EXPECT_EQ(frames("frame A move").first(), "frame A move 3 at 1 P");
  ASSERT_TRUE(waitFor([&] { return w<QLineEdit>("txtPosition", 0)->text() == "3" && w<QLineEdit>("txtStat", 0)->text() == "P"; }));

  // Reset after the button.
  QTest::mouseClick(w<QPushButton>("cmdRnd", 18), Qt::LeftButton);
  EXPECT_EQ(w<QPushButton>("cmdRnd", 18)->text(), "5");
  ASSERT_TRUE(waitFor([&] { return !frames("frame T reset").isEmpty(); }));
  ASSERT_TRUE(waitFor([&] { return w<QLineEdit>("txtStat", 18)->text() == "P"; }));
  EXPECT_EQ(w<QPushButton>("cmdRnd", 18)->text(), "5");
  EXPECT_EQ(w<QPushButton>("cmdRnd", 18)->palette().color(QPalette::Button), QColor(xav::colours::Cyan));

  // Random mode on the drive standing at duct 2: a target within 1..5 and
  // never the current duct.
  QTest::mouseClick(w<QPushButton>("cmdRnd", 2), Qt::LeftButton);
  ASSERT_TRUE(waitFor([&] { return !frames("frame C move").isEmpty(); }));
  const QStringList parts = frames("frame C move").first().split(' ');
  ASSERT_EQ(parts.size(), 7);
  const int target = parts[3].toInt();
  EXPECT_GE(target, 1);
  EXPECT_LE(target, 5);
  EXPECT_NE(target, parts[5].toInt());

  // After A's completed move, a new request waits out the rest: the next
  // polls of A (well within the 10 s) bring no move request.
  EXPECT_TRUE(window->engine().row(0).holdUntilMs);
  QTest::keyClick(w<QLineEdit>("txtRequest", 0), Qt::Key_Backspace);
  QTest::keyClicks(w<QLineEdit>("txtRequest", 0), "4");
  QTest::keyClick(w<QLineEdit>("txtRequest", 0), Qt::Key_Return);
  ASSERT_TRUE(morePolls(0, 5));
  EXPECT_TRUE(frames("frame A move 4").isEmpty());

  // Nothing went wrong on the wire.
  EXPECT_EQ(w<QLabel>("lblErrCnt")->text(), "0");
}

TEST_F(EndToEnd, FaultyRepliesAreCountedShownAndLoggedWithTheRawReply) {
  ASSERT_TRUE(startSim({"--drives", "B,D", "--unpaced", "--fault", "B=long:2", "--fault", "D=silent:3"}));
  openWindow();
  ASSERT_TRUE(scan());
  EXPECT_EQ(w<QLabel>("lblDistCnt")->text(), "2 Drives Found");
  ASSERT_TRUE(waitFor([&] { return log().contains(", B, P1<0D>X\r\n") && log().contains(", D, No Response\r\n"); }))
      << log().constData();
  EXPECT_GE(xav::leadingInteger(w<QLabel>("lblErrCnt")->text()), 2);
  EXPECT_TRUE(w<QLabel>("lblErrCnt")->text().endsWith(' '));
  // The rows still show the last good replies.
  ASSERT_TRUE(waitFor([&] { return w<QLineEdit>("txtStat", 1)->text() == "P"; }));
  EXPECT_EQ(w<QLineEdit>("txtPosition", 1)->text(), "1");
}

TEST_F(EndToEnd, APulledAdapterStopsPollingAndScanOpensThePortAgain) {
  // The line goes away after the sweep's 20 queries and 10 polls.
  ASSERT_TRUE(startSim({"--drives", "A,B", "--hang-up-after", "30"}));
  openWindow();
  ASSERT_TRUE(scan());
  ASSERT_TRUE(waitFor([&] { return w<QLabel>("lblMessage")->text().contains("COM 7 lost"); }))
      << qPrintable(w<QLabel>("lblMessage")->text());
  EXPECT_EQ(log().count("Port lost "), 1);
  EXPECT_FALSE(log().contains("No Response")) << log().constData() << qPrintable(report().join('\n'));
  EXPECT_EQ(w<QLineEdit>("txtStat", 0)->palette().color(QPalette::Base), QColor(xav::colours::LightGrey));
  EXPECT_EQ(w<QLineEdit>("txtStat", 0)->text(), "P");  // the last value, no longer current
  EXPECT_FALSE(w<QComboBox>("cmbComm")->isHidden());
  EXPECT_FALSE(window->engine().polling());

  // The adapter is back (a new line on the same COM): Scan opens it again.
  ASSERT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(5000));
  out.clear();
  ASSERT_TRUE(startSim({"--drives", "A,B"}));
  ASSERT_TRUE(scan());
  EXPECT_EQ(w<QLabel>("lblDistCnt")->text(), "2 Drives Found");
  EXPECT_TRUE(w<QLabel>("lblMessage")->text().isEmpty());
  EXPECT_TRUE(waitFor([&] {
    return w<QLineEdit>("txtStat", 1)->palette().color(QPalette::Base) == QColor(xav::colours::Green);
  }));
}

TEST_F(EndToEnd, AfterAnySingleFaultTheGridAndCountersAreRightWithinOneCycle) {
  // Six standing drives on a paced line. B's 5th reply brings a fourth byte,
  // D's 5th comes late, F's 5th ends in CR LF, and a stray byte follows E's
  // 7th reply after 5 ms.
  ASSERT_TRUE(startSim({"--drives", "A,B,C,D,E,F", "--position", "1,B=2,C=3,D=4,E=5,F=6", "--fault", "B=long@5",
                        "--fault", "D=late=750@5", "--fault", "F=crlf@5", "--fault", "E=stray=5@7"}));
  openWindow();
  PollEngine& engine = window->engine();
  stretchTimeoutsAfterSweep();
  int cycles = 0;
  QObject::connect(&engine, &PollEngine::pollStarted, window.get(), [&](int r) { cycles += r == 0; });
  ASSERT_TRUE(scan());
  // Until every fault has been on the line (status replies start with "P").
  ASSERT_TRUE(waitFor([&] {
    return !frames("tx B 50 32 0D 58").isEmpty() && !frames("tx F 50 36 0D 0A").isEmpty() &&
           !frames("tx E 7E").isEmpty() && frames("tx D 50").size() >= 5;
  }));
  const int after = cycles;
  ASSERT_TRUE(waitFor([&] { return cycles >= after + 2; }));
  // Each of the four faults counted once.
  const int errors = engine.errorCount();
  EXPECT_EQ(errors, 4) << log().constData();
  // Every row is right again.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(w<QLineEdit>("txtPosition", i)->text(), QString::number(i + 1)) << i << "\n" << log().constData();
    EXPECT_EQ(w<QLineEdit>("txtStat", i)->text(), "P") << i;
  }
  // Back in step: the cycles after bring no error.
  const int later = cycles;
  ASSERT_TRUE(waitFor([&] { return cycles >= later + 3; }));
  EXPECT_EQ(engine.errorCount(), errors) << log().constData();
}

TEST_F(EndToEnd, LateLongAndStrayRepliesMoveNoDriveAndCountOnceAgainstTheirDrive) {
  // Six standing drives, each asked for its own duct. Replies come late,
  // long, short, followed at once by a stray byte, or not at all.
  ASSERT_TRUE(startSim({"--drives", "A,B,C,D,E,F", "--position", "1,B=2,C=3,D=4,E=5,F=6", "--unpaced",
                        "--fault", "B=late=750@4", "--fault", "B=long@7", "--fault", "C=stray=0@5",
                        "--fault", "D=late=750@5", "--fault", "D=late=750@6", "--fault", "E=long@4",
                        "--fault", "E=short@6", "--fault", "F=silent@5"}));
  openWindow();
  stretchTimeoutsAfterSweep();
  confirmOwnDuctsAfterSweep();
  ASSERT_TRUE(scan());
  ASSERT_TRUE(waitFor([&] { return faultsApplied() == 8; })) << qPrintable(report().join('\n'));
  ASSERT_TRUE(morePolls(0, 2));
  EXPECT_TRUE(frames("frame A move").isEmpty() && frames("frame B move").isEmpty()) << log().constData();
  for (const QString& f : frames("frame ")) EXPECT_FALSE(f.contains(" move ")) << qPrintable(f);
  EXPECT_EQ(faultsCounted(), (std::map<int, int>{{1, 2}, {2, 1}, {3, 2}, {4, 2}, {5, 1}})) << log().constData();
  const PollEngine& e = window->engine();
  EXPECT_EQ(e.statistics(1).noResponses, 1);
  EXPECT_EQ(e.statistics(1).malformed, 1);
  EXPECT_EQ(e.statistics(3).noResponses, 2);
  EXPECT_EQ(e.statistics(4).malformed, 2);
  EXPECT_EQ(e.statistics(5).noResponses, 1);
  EXPECT_EQ(e.errorCount(), 8);
  EXPECT_EQ(e.statistics(0).movesCompleted + e.statistics(1).movesCompleted, 0);
  // Every row shows its own drive.
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(waitFor([&] { return w<QLineEdit>("txtPosition", i)->text() == QString::number(i + 1); }))
        << i << "\n" << log().constData();
  }
}

TEST_F(EndToEnd, StrayBytesAndALateReplyBetweenSlowPollsCountOnceAgainstTheirDrive) {
  // With "Slow Scan" the line is quiet before each query (0.1 s, stretched
  // to 0.6 s after the sweep): a stray byte 250 ms after a reply waits there,
  // far from both the reply and the next query, and a reply 750 ms late comes
  // after its deadline while its query still listens for a late answer.
  ASSERT_TRUE(startSim({"--drives", "A,B,C", "--position", "1,B=2,C=3", "--unpaced", "--fault", "A=stray=250@3",
                        "--fault", "B=stray=250@4", "--fault", "C=late=750@3", "--fault", "A=long@5"}));
  openWindow();
  w<QCheckBox>("chkScanSpeed")->setChecked(true);
  stretchTimeoutsAfterSweep();
  confirmOwnDuctsAfterSweep();
  ASSERT_TRUE(scan());
  ASSERT_TRUE(waitFor([&] { return faultsApplied() == 4; })) << qPrintable(report().join('\n'));
  ASSERT_TRUE(morePolls(0, 2));
  for (const QString& f : frames("frame ")) EXPECT_FALSE(f.contains(" move ")) << qPrintable(f);
  const PollEngine& e = window->engine();
  EXPECT_EQ(e.statistics(0).strayBytes, 1) << log().constData();
  EXPECT_EQ(e.statistics(0).malformed, 1);
  EXPECT_EQ(e.statistics(1).strayBytes, 1);
  EXPECT_EQ(e.statistics(2).noResponses, 1);
  EXPECT_EQ(faultsCounted(), (std::map<int, int>{{0, 2}, {1, 1}, {2, 1}})) << log().constData();
  EXPECT_EQ(e.errorCount(), 4);
  EXPECT_EQ(log().count(", A, ~\r\n"), 1) << log().constData();
  EXPECT_EQ(log().count(", B, ~\r\n"), 1);
  EXPECT_EQ(log().count(", C, No Response\r\n"), 1);
}

TEST_F(EndToEnd, AnAdapterThatComesBackIsPolledAgainWithoutAScan) {
  ASSERT_TRUE(startSim({"--drives", "A,B", "--hang-up-after", "30"}));
  openWindow();
  ASSERT_TRUE(scan());
  ASSERT_TRUE(waitFor([&] { return window->engine().lostPort(); }));
  ASSERT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(5000));
  EXPECT_FALSE(w<QComboBox>("cmbComm")->isHidden());
  // The same COM 7 appears again; nobody presses Scan.
  out.clear();
  ASSERT_TRUE(startSim({"--drives", "A,B"}));
  ASSERT_TRUE(waitFor([&] { return log().contains("Port back "); })) << log().constData();
  EXPECT_TRUE(QRegularExpression("Port back \\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M, COM 7\\r\\n$")
                  .match(QString::fromLatin1(log()))
                  .hasMatch())
      << log().constData();
  ASSERT_TRUE(waitFor([&] { return frames("frame A status").size() >= 2 && frames("frame B status").size() >= 2; }));
  EXPECT_TRUE(window->engine().polling());
  // The drives found before are polled; no sweep asks the others.
  EXPECT_TRUE(frames("frame A ducts").isEmpty());
  EXPECT_TRUE(frames("frame C status").isEmpty());
  EXPECT_EQ(log().count("Start "), 1);
  EXPECT_EQ(w<QLabel>("lblDistCnt")->text(), "2 Drives Found");
  EXPECT_TRUE(w<QLabel>("lblMessage")->text().contains("COM 7 back")) << qPrintable(w<QLabel>("lblMessage")->text());
  EXPECT_TRUE(waitFor([&] {
    return w<QLineEdit>("txtStat", 1)->palette().color(QPalette::Base) == QColor(xav::colours::Green);
  }));
}
