// The utility runner on POSIX: what observers hear, exit statuses as
// results, the long-wait notice, and cancel ending the whole process tree.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "commands.h"
#include "messages.h"
#include "utility_runner.h"
#include "utility_wait.h"

namespace {

void writeExecutable(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  f.close();
  f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

// Gone, or a zombie nobody has reaped yet: either way no longer running.
bool processGone(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray text = stat.readAll();
  const qsizetype close = text.lastIndexOf(')');
  return close < 0 || text.mid(close + 2, 1) == "Z";
}

qint64 pidFrom(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

// A utility that waits until the test creates "go" (at most 60 s), so a
// check can run while it is still going. With "-u0" it first starts a child
// of its own and notes both process ids; "-b" leaves a mark.
const char kWaitingUtility[] =
    "#!/bin/sh\n"
    "case \"$*\" in *-b*) : > restarted ;; esac\n"
    "case \"$*\" in *-u0*) sleep 300 & echo $! > child.pid ;; esac\n"
    "echo $$ > self.pid\n"
    "n=0\n"
    "while [ ! -e go ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done\n";

class Runner : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tmp_.path()));
    dir_ = QDir::currentPath();
  }
  void TearDown() override {
    QFile(path("go")).open(QIODevice::WriteOnly);  // lets a utility still waiting end
    QDir::setCurrent(previous_);
  }
  QString path(const QString& name) const { return QDir(dir_).filePath(name); }

  QTemporaryDir tmp_;
  QString dir_;
  QString previous_;
};

TEST_F(Runner, AShortRunIsOnlyBusyThenFinishedWithEveryExitStatus) {
  writeExecutable(path("ruinet.exe"), "#!/bin/sh\nexit 0\n");
  gw::UtilityRunner runner;
  QSignalSpy busy(&runner, &gw::UtilityRunner::busyChanged);
  QSignalSpy waiting(&runner, &gw::UtilityRunner::waitingFor);
  QSignalSpy longWait(&runner, &gw::UtilityRunner::longWait);
  const gw::RunResult r = gw::runAndWait(runner, gw::uploadConfigurationCommand("10.1.2.3"), gw::kNormalNoFocus);
  EXPECT_EQ(r.outcome, gw::RunOutcome::Succeeded);
  ASSERT_EQ(r.lines.size(), 2);
  for (const gw::LineResult& l : r.lines) EXPECT_TRUE(l.succeeded()) << l.line.toStdString();
  EXPECT_EQ(r.lines[1].line, "ruinet -i10.1.2.3 -p -b");
  ASSERT_EQ(busy.size(), 2);
  EXPECT_TRUE(busy[0][0].toBool());
  EXPECT_FALSE(busy[1][0].toBool());
  EXPECT_EQ(waiting.size(), 2);
  EXPECT_EQ(longWait.size(), 0);
  EXPECT_FALSE(runner.isBusy());
  EXPECT_EQ(runner.lastResult().outcome, gw::RunOutcome::Succeeded);
}

TEST_F(Runner, ANonZeroExitStatusIsAFailureAndTheRestOfTheTextDoesNotRun) {
  writeExecutable(path("ruinet.exe"), "#!/bin/sh\ncase \"$*\" in *-b*) : > restarted ;; esac\nexit 3\n");
  gw::UtilityRunner runner;
  gw::RunResult r = gw::runAndWait(runner, gw::uploadConfigurationCommand("10.1.2.3"), gw::kNormalNoFocus);
  EXPECT_EQ(r.outcome, gw::RunOutcome::Failed);
  EXPECT_TRUE(r.lines[0].started);
  EXPECT_TRUE(r.lines[0].exited);
  EXPECT_EQ(r.lines[0].exitCode, 3);
  EXPECT_FALSE(r.lines[1].started);
  EXPECT_FALSE(QFileInfo::exists(path("restarted")));
  EXPECT_EQ(r.describe(), "ruinet ended with exit status 3.");

  // Killed from outside (with its whole process group): ended, but not by itself.
  writeExecutable(path("ruinet.exe"), "#!/bin/sh\nkill -9 0\n");
  r = gw::runAndWait(runner, gw::uploadConfigurationCommand("10.1.2.3"), gw::kNormalNoFocus);
  EXPECT_EQ(r.outcome, gw::RunOutcome::Failed);
  EXPECT_FALSE(r.lines[0].exited);
  EXPECT_EQ(r.describe(), "ruinet ended abnormally.");
}

TEST_F(Runner, ALongWaitSaysWhatItWaitsForAndCountsTheSeconds) {
  writeExecutable(path("ruinet.exe"), kWaitingUtility);
  gw::UtilityRunner runner;
  runner.setLongWaitThreshold(100);
  QSignalSpy longWait(&runner, &gw::UtilityRunner::longWait);
  QSignalSpy still(&runner, &gw::UtilityRunner::stillWaiting);
  QSignalSpy finished(&runner, &gw::UtilityRunner::finished);
  const QString fetch = gw::fetchConfigurationCommand(dir_, "010.001.002.003");
  ASSERT_TRUE(runner.start(fetch, gw::kHidden));
  ASSERT_TRUE(longWait.wait(20000));
  const auto wait = longWait[0][0].value<gw::UtilityWait>();
  EXPECT_EQ(wait.program, "ruinet.exe");
  EXPECT_EQ(wait.moduleAddress, "10.1.2.3");
  EXPECT_EQ(wait.commandText, fetch);
  EXPECT_EQ(wait.lineCount, 1);
  ASSERT_TRUE(still.wait(20000));
  EXPECT_GE(still[0][0].value<gw::UtilityWait>().elapsedSeconds, 1);
  EXPECT_TRUE(runner.isBusy());
  QFile(path("go")).open(QIODevice::WriteOnly);
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_EQ(finished[0][0].value<gw::RunResult>().outcome, gw::RunOutcome::Succeeded);
  EXPECT_EQ(longWait.size(), 1);
}

TEST_F(Runner, CancelEndsTheUtilityAndWhatItStartedAndStopsTheText) {
  writeExecutable(path("ruinet.exe"), kWaitingUtility);
  gw::UtilityRunner runner;
  runner.setLongWaitThreshold(100);
  const QMetaObject::Connection cancelling = QObject::connect(&runner, &gw::UtilityRunner::longWait, &runner, [&] {
    // Both process ids are written before the utility starts waiting.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return pidFrom(path("self.pid")) > 0 && pidFrom(path("child.pid")) > 0; }, 20000));
    runner.cancel();
  });
  const gw::RunResult r = gw::runAndWait(runner, gw::uploadConfigurationCommand("10.1.2.3"), gw::kNormalNoFocus);
  // The next run may be a long wait too on a busy machine: nobody cancels it.
  QObject::disconnect(cancelling);
  EXPECT_EQ(r.outcome, gw::RunOutcome::Cancelled);
  EXPECT_TRUE(r.interrupted());
  EXPECT_TRUE(r.lines[0].started);
  EXPECT_FALSE(r.lines[0].exited);
  EXPECT_FALSE(r.lines[1].started);
  EXPECT_FALSE(QFileInfo::exists(path("restarted")));
  // The whole group has its SIGKILL; on a busy machine a member may take a
  // moment to be scheduled and die after the leader has been reaped.
  EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(pidFrom(path("self.pid"))); }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(pidFrom(path("child.pid"))); }, 20000));
  EXPECT_TRUE(gw::cancelledOperationMessage("010.001.002.003").contains("10.1.2.3 is now unknown"));

  // The runner is ready for the next text.
  writeExecutable(path("ruinet.exe"), "#!/bin/sh\nexit 0\n");
  const gw::RunResult next = gw::runAndWait(runner, gw::uploadConfigurationCommand("10.1.2.3"), 4);
  EXPECT_TRUE(next.succeeded()) << next.describe().toStdString() << " " << next.startError.toStdString();
}

TEST_F(Runner, TheTimeLimitEndsARunAsACancelWould) {
  writeExecutable(path("ruinet.exe"), kWaitingUtility);
  gw::UtilityRunner runner;
  runner.setTimeLimit(300);
  const gw::RunResult r = gw::runAndWait(runner, QStringLiteral("ruinet -m1"), gw::kNormalFocus);
  EXPECT_EQ(r.outcome, gw::RunOutcome::TimedOut);
  EXPECT_TRUE(r.interrupted());
  EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(pidFrom(path("self.pid"))); }, 20000));
}

TEST_F(Runner, ATextThatCannotStartIsToldOnceAndRunsNothing) {
  writeExecutable(path("ruinet.exe"), kWaitingUtility);
  xav::MessageRecorder recorder;
  gw::UtilityRunner runner;
  QSignalSpy busy(&runner, &gw::UtilityRunner::busyChanged);
  const QString text = QStringLiteral("ruinet -i1.2.3.4 -p -b\r\nnosuchutility -x\r\n");
  gw::RunResult r = gw::runAndWait(runner, text, gw::kHidden);
  EXPECT_EQ(r.outcome, gw::RunOutcome::NotStarted);
  EXPECT_EQ(r.startError, "No such file or directory");
  EXPECT_FALSE(r.lines[0].started);
  EXPECT_FALSE(QFileInfo::exists(path("restarted")));
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.lastText(), gw::startErrorMessage(text, r.startError));
  EXPECT_EQ(busy.size(), 2);

  runner.setTellsStartErrors(false);
  r = gw::runAndWait(runner, text, gw::kHidden);
  EXPECT_EQ(r.outcome, gw::RunOutcome::NotStarted);
  EXPECT_EQ(recorder.messages().size(), 1u);
}

TEST_F(Runner, OneTextAtATimeAndNothingOutlivesTheRunner) {
  writeExecutable(path("ruinet.exe"), kWaitingUtility);
  auto runner = std::make_unique<gw::UtilityRunner>();
  QSignalSpy finished(runner.get(), &gw::UtilityRunner::finished);
  ASSERT_TRUE(runner->start(QStringLiteral("ruinet -m1"), gw::kNormalFocus));
  EXPECT_FALSE(runner->start(QStringLiteral("ruinet -m1"), gw::kNormalFocus));
  EXPECT_EQ(gw::runAndWait(*runner, QStringLiteral("ruinet -m1"), 1).outcome, gw::RunOutcome::Busy);
  EXPECT_TRUE(QTest::qWaitFor([&] { return pidFrom(path("self.pid")) > 0; }, 20000));
  const qint64 pid = pidFrom(path("self.pid"));
  runner.reset();
  EXPECT_EQ(finished.size(), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(pid); }, 20000));
}

TEST(RunnerText, ProgramAndModuleOfALine) {
  const char posix[] = "/home/op/xav tools";
  const char windows[] = "C:/XAV tools";
  const struct {
    const char* dir;
    const char* line;
    const char* program;
    const char* address;
  } rows[] = {
      {posix, "ruinet -i10.1.2.3 -u0 -fConfig.csv -p -o", "ruinet", "10.1.2.3"},
      {posix, "\"/home/op/xav tools/ruinet.exe\" -i 192.168.1.20 -u1 -fConfig.csv", "ruinet.exe", "192.168.1.20"},
      {windows, "\"C:\\XAV tools\\ruinet.exe\" -i 192.168.1.20 -u1 -fConfig.csv", "ruinet.exe", "192.168.1.20"},
      {posix, "/bin/sh /c RuiNet.exe ruinet.exe -i 10.1.2.3 -u1 -ffs_tcp.ini", "RuiNet.exe", "10.1.2.3"},
      {windows, "C:\\WINDOWS\\system32\\cmd.exe /c RuiNet.exe ruinet.exe -i 10.1.2.3 -u1 -ffs_tcp.ini", "RuiNet.exe",
       "10.1.2.3"},
      {posix, "/home/op/xav tools/RuiNet.exe -m1 ", "RuiNet.exe", ""},
      {windows, "C:\\XAV tools\\RuiNet.exe -m1 ", "RuiNet.exe", ""},
      {posix, "/bin/sh /c RuiPing.exe ruiping.exe -r0 > C.txt", "RuiPing.exe", ""},
      {posix, "/bin/sh /c ping -c 1 -W 0.1 127.0.0.2 >\"/home/op/xav tools/png.txt\"", "ping", "127.0.0.2"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(gw::programOfLine(r.line, r.dir), r.program) << r.line;
    EXPECT_EQ(gw::moduleAddressOfLine(r.line), r.address) << r.line;
  }
}

}  // namespace
