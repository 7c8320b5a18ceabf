// The process layer on POSIX: command texts run as written from a working
// directory whose name is hostile to shells, one line after the other; the
// window stays live meanwhile; KillProcess and the start-up checks.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

#include "commands.h"
#include "messages.h"
#include "processes.h"
#include "utility_wait.h"

namespace {

// A fake utility: appends its own name and arguments to calls.log in the
// working directory. With "-u0" among them it dawdles first, so a second line
// started without waiting would overtake it.
const char kFakeUtility[] =
    "#!/bin/sh\n"
    "case \"$*\" in *-u0*) sleep 0.3 ;; esac\n"
    "{ printf '[%s]' \"${0##*/}\"; for a in \"$@\"; do printf ' <%s>' \"$a\"; done; printf '\\n'; } >> calls.log\n";

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeExecutable(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  f.close();
  f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

// Runs each test inside a fresh working directory named with blanks and
// shell metacharacters.
class WorkDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.filePath(QStringLiteral("xav tools $HOME 'q' \"dq\" ; & `x`"));
    ASSERT_TRUE(QDir().mkpath(dir_));
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_));
    dir_ = QDir::currentPath();
  }
  void TearDown() override { QDir::setCurrent(previous_); }
  QString path(const QString& name) const { return QDir(dir_).filePath(name); }
  QByteArray calls() const { return readAll(path(QStringLiteral("calls.log"))); }

  QTemporaryDir tmp_;
  QString dir_;
  QString previous_;
};

TEST_F(WorkDir, FetchAndAddressModeFindTheLoaderInAHostileDirectory) {
  writeExecutable(path("ruinet.exe"), kFakeUtility);
  gw::ShellAndWait(gw::fetchConfigurationCommand(dir_, "127.0.0.5"), gw::kHidden);
  EXPECT_EQ(calls(), "[ruinet.exe] <-i> <127.0.0.5> <-u1> <-fConfig.csv>\n");

  QFile::remove(path("calls.log"));
  // Written "RuiNet.exe", unquoted, with the directory's blanks in it.
  gw::ShellAndWait(gw::addressModeCommand(dir_), gw::kNormalFocus);
  EXPECT_EQ(calls(), "[ruinet.exe] <-m1>\n");

  QFile::remove(path("calls.log"));
  gw::ShellAndWait(gw::fetchNetworkSettingsCommand("10.1.2.3"), gw::kMinimizedNoFocus);
  EXPECT_EQ(calls(), "[ruinet.exe] <ruinet.exe> <-i> <10.1.2.3> <-u1> <-ffs_tcp.ini>\n");
}

TEST_F(WorkDir, UploadRunsItsTwoLinesInOrderEachWaitedFor) {
  writeExecutable(path("RUINET"), kFakeUtility);  // other case, no ".exe"
  gw::ShellAndWait(gw::uploadConfigurationCommand("10.1.2.3"), gw::kNormalNoFocus);
  EXPECT_EQ(calls(),
            "[RUINET] <-i10.1.2.3> <-u0> <-fConfig.csv> <-p> <-o>\n"
            "[RUINET] <-i10.1.2.3> <-p> <-b>\n");
}

TEST_F(WorkDir, RedirectionsLandInTheWorkingDirectory) {
  writeExecutable(path("RuiPing.exe"), "#!/bin/sh\nprintf 'BRIDGE NAME %s\\r\\n' \"$*\"\n");
  gw::ShellAndWait(gw::discoveryCommand(), gw::kHidden);
  EXPECT_EQ(readAll(path("C.txt")), "BRIDGE NAME ruiping.exe -r0\r\n");

  // A ping in the working directory comes first, as on Windows; no network.
  writeExecutable(path("ping"), "#!/bin/sh\necho \"$*\"\necho 'Lost = 0 (0% loss),'\n");
  gw::ShellAndWait(gw::pingCommand(dir_, "127.0.0.9"), gw::kHidden);
  const QByteArray report = readAll(path("png.txt"));
  EXPECT_EQ(report, "-c 1 -W 0.1 127.0.0.9\nLost = 0 (0% loss),\n");
  EXPECT_TRUE(gw::pingReportAnswered(QString::fromLatin1(report)));
}

TEST_F(WorkDir, AProgramThatIsNotFoundIsReportedAndNothingRuns) {
  writeExecutable(path("ruinet.exe"), kFakeUtility);
  xav::MessageRecorder recorder;
  const QString text = QStringLiteral("ruinet -i1.2.3.4 -p -b\r\nnosuchutility -x\r\n");
  gw::ShellAndWait(text, gw::kHidden);
  ASSERT_EQ(recorder.messages().size(), 1u);
  const xav::Message& m = recorder.messages().front();
  EXPECT_EQ(m.icon, xav::MessageIcon::Exclamation);
  EXPECT_EQ(m.title, "Error");
  EXPECT_EQ(m.text, "Error starting task \r\n" + text + "\r\nNo such file or directory");
  EXPECT_TRUE(calls().isEmpty());

  recorder.clear();
  QFile::setPermissions(path("ruinet.exe"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  gw::ShellAndWait(gw::uploadConfigurationCommand("1.2.3.4"), gw::kHidden);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_TRUE(recorder.lastText().endsWith("\r\nPermission denied"));
  EXPECT_TRUE(calls().isEmpty());

  recorder.clear();
  gw::ShellAndWait(QString(), gw::kHidden);
  gw::ShellAndWait(QStringLiteral("\r\n"), gw::kHidden);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(WorkDir, TheWindowStaysLiveAndObserversOfTheSharedRunnerSeeTheWait) {
  // The utility waits for a file that only the event loop creates, so the
  // check below runs while it is still going.
  writeExecutable(path("ruinet.exe"),
                  "#!/bin/sh\nn=0\nwhile [ ! -e go ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done\n");
  QWidget window;
  window.show();
  QSignalSpy busy(&gw::sharedUtilityRunner(), &gw::UtilityRunner::busyChanged);
  bool enabledDuring = false;
  bool busyDuring = false;
  QTimer::singleShot(0, [&] {
    enabledDuring = window.isEnabled();
    busyDuring = gw::sharedUtilityRunner().isBusy();
    QFile go(path("go"));
    go.open(QIODevice::WriteOnly);
  });
  const gw::RunResult r = gw::ShellAndWait(QStringLiteral("ruinet -m1"), gw::kNormalFocus);
  EXPECT_TRUE(r.succeeded());
  EXPECT_TRUE(busyDuring);     // the event loop ran during the wait, and said so
  EXPECT_TRUE(enabledDuring);  // the window decides about its input, not the runner
  ASSERT_EQ(busy.size(), 2);
  EXPECT_TRUE(busy[0][0].toBool());
  EXPECT_FALSE(busy[1][0].toBool());
}

TEST_F(WorkDir, BackgroundCommandReportsTheEndOfAWholeRun) {
  writeExecutable(path("ruiping.exe"), "#!/bin/sh\nprintf 'BRIDGE NAME\\r\\n'\nsleep 0.2\nprintf '====\\r\\n'\n");
  gw::BackgroundCommand command;
  QSignalSpy finished(&command, &gw::BackgroundCommand::finished);
  ASSERT_TRUE(command.start(gw::discoveryCommand()));
  EXPECT_TRUE(command.isRunning());
  EXPECT_FALSE(command.start(gw::discoveryCommand()));  // one run at a time
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_FALSE(command.isRunning());
  EXPECT_EQ(readAll(path("C.txt")), "BRIDGE NAME\r\n====\r\n");
  EXPECT_FALSE(command.start(QStringLiteral("nosuchutility -r0")));
  EXPECT_FALSE(command.isRunning());

  // Lines of a longer text follow one another here too.
  writeExecutable(path("ruinet.exe"), kFakeUtility);
  ASSERT_TRUE(command.start(gw::uploadConfigurationCommand("10.1.2.3")));
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_EQ(finished.size(), 2);
  EXPECT_EQ(calls(),
            "[ruinet.exe] <-i10.1.2.3> <-u0> <-fConfig.csv> <-p> <-o>\n"
            "[ruinet.exe] <-i10.1.2.3> <-p> <-b>\n");
}

TEST_F(WorkDir, KillProcessEndsEveryProcessWhoseNameEndsWithTheNameInAnyCase) {
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  ASSERT_FALSE(sleep.isEmpty());
  const QStringList doomed = {"myruinet.exe", "RUINET.EXE"};
  const QStringList spared = {"ruinet.exe.old", "ruinetexe", "ruinet"};
  std::vector<std::unique_ptr<QProcess>> processes;
  for (const QString& name : doomed + spared) {
    ASSERT_TRUE(QFile::copy(sleep, path(name)));
    auto p = std::make_unique<QProcess>();
    p->start(path(name), {QStringLiteral("60")});
    ASSERT_TRUE(p->waitForStarted(10000)) << name.toStdString();
    processes.push_back(std::move(p));
  }
  gw::KillProcess(QString());  // does nothing
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  for (int i = 0; i < doomed.size(); ++i) {
    EXPECT_TRUE(processes[i]->waitForFinished(10000)) << doomed[i].toStdString();
    EXPECT_EQ(processes[i]->exitStatus(), QProcess::CrashExit);
  }
  for (int i = 0; i < spared.size(); ++i) {
    QProcess& p = *processes[doomed.size() + i];
    EXPECT_EQ(p.state(), QProcess::Running) << spared[i].toStdString();
    EXPECT_FALSE(p.waitForFinished(300)) << spared[i].toStdString();
  }
  for (auto& p : processes) {
    p->kill();
    p->waitForFinished(5000);
  }
}

TEST_F(WorkDir, KillProcessInTestsEndsOnlyWhatTheTestStarted) {
  // The test main names this process in XAV_KILL_TREE_PID.
  ASSERT_EQ(qEnvironmentVariable("XAV_KILL_TREE_PID").toLongLong(), QCoreApplication::applicationPid());
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  ASSERT_FALSE(sleep.isEmpty());
  ASSERT_TRUE(QFile::copy(sleep, path("child-ruinet.exe")));
  ASSERT_TRUE(QFile::copy(sleep, path("stranger-ruinet.exe")));
  QProcess child;
  child.start(path("child-ruinet.exe"), {QStringLiteral("60")});
  ASSERT_TRUE(child.waitForStarted(10000));
  // Detached, it is no descendant of this process: as another test's would be.
  qint64 stranger = 0;
  ASSERT_TRUE(QProcess::startDetached(path("stranger-ruinet.exe"), {QStringLiteral("60")}, QString(), &stranger));
  gw::KillProcess(QStringLiteral("ruinet.exe"));
  EXPECT_TRUE(child.waitForFinished(10000));
  // Still running: not gone, and no zombie waiting to be reaped.
  QFile stat(QStringLiteral("/proc/%1/stat").arg(stranger));
  ASSERT_TRUE(stat.open(QIODevice::ReadOnly)) << "the stranger was ended";
  const QByteArray line = stat.readAll();
  EXPECT_NE(line.mid(line.lastIndexOf(')') + 2, 1), "Z") << "the stranger was ended";
  ::kill(static_cast<pid_t>(stranger), SIGKILL);
}

TEST_F(WorkDir, KillProcessSparesOtherUsersProcesses) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  ASSERT_FALSE(sleep.isEmpty());
  // The other user must be able to reach the copy.
  QFile::setPermissions(tmp_.path(), QFile::permissions(tmp_.path()) | QFileDevice::ExeOther | QFileDevice::ReadOther);
  ASSERT_TRUE(QFile::copy(sleep, path("theirs-ruinet.exe")));
  ASSERT_TRUE(QFile::copy(sleep, path("mine-ruinet.exe")));
  QProcess theirs;
  theirs.setChildProcessModifier([] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(125);
  });
  theirs.start(path("theirs-ruinet.exe"), {QStringLiteral("60")});
  ASSERT_TRUE(theirs.waitForStarted(10000));
  QProcess mine;
  mine.start(path("mine-ruinet.exe"), {QStringLiteral("60")});
  ASSERT_TRUE(mine.waitForStarted(10000));

  gw::KillProcess(QStringLiteral("ruinet.exe"));
  EXPECT_TRUE(mine.waitForFinished(10000));
  EXPECT_FALSE(theirs.waitForFinished(300));
  EXPECT_EQ(theirs.state(), QProcess::Running);
  theirs.kill();
  theirs.waitForFinished(5000);
}

TEST_F(WorkDir, CheckForRuiFilesNamesTheMissingUtility) {
  xav::MessageRecorder recorder;
  const QString tail = QStringLiteral(" not found in ") + dir_ + QStringLiteral(". Correct and try again.");
  EXPECT_FALSE(gw::CheckForRuiFiles());
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].icon, xav::MessageIcon::Critical);
  EXPECT_EQ(recorder.messages()[0].title, "XAV.exe File Check");
  // Both missing: both named in the one box, each with its own sentence.
  EXPECT_EQ(recorder.messages()[0].text, "RuiNet.exe" + tail + "\r\nRuiPing.exe" + tail);
  // The detail says what they are, where the stand-ins lie and how to start.
  const QString detail = recorder.messages()[0].detail;
  EXPECT_TRUE(detail.contains("loader") && detail.contains("discovery utility")) << detail.toStdString();
  EXPECT_TRUE(detail.contains("libexec/xav-tools/bench/")) << detail.toStdString();
  EXPECT_TRUE(detail.contains("cd ~/xav-bench") && detail.contains("ruinet.exe") && detail.contains("ruiping.exe"))
      << detail.toStdString();

  writeExecutable(path("RuiNet.EXE"), kFakeUtility);
  EXPECT_FALSE(gw::CheckForRuiFiles());
  ASSERT_EQ(recorder.messages().size(), 2u);
  EXPECT_EQ(recorder.messages()[1].text, "RuiPing.exe" + tail);
  EXPECT_FALSE(recorder.messages()[1].detail.contains("loader"));
  EXPECT_TRUE(recorder.messages()[1].detail.contains("ruiping.exe"));

  writeExecutable(path("ruiping.exe"), kFakeUtility);
  EXPECT_TRUE(gw::CheckForRuiFiles());
  EXPECT_EQ(recorder.messages().size(), 2u);
}

const char kAccessMessage[] =
    "Read/Write access is not available with\r\nthe current directory.\r\n\r\n"
    "Be sure all XAV program are located in a\r\ndirectory that allows Read/Write access.\r\n\r\n"
    "This program will close.";

TEST_F(WorkDir, ReadWriteCheckDeletesItsProbeInBothOutcomes) {
  xav::MessageRecorder recorder;
  EXPECT_TRUE(gw::CheckReadWriteAccesss());
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_FALSE(QFileInfo::exists(path("testFile.txt")));

  // Running as root, a read-only folder would still be writable: a probe
  // that swallows what is written fails the check instead.
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), path("testFile.txt")));
  EXPECT_FALSE(gw::CheckReadWriteAccesss());
  EXPECT_FALSE(QFileInfo(path("testFile.txt")).isSymLink());
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].icon, xav::MessageIcon::Critical);
  EXPECT_EQ(recorder.messages()[0].text, kAccessMessage);
  // No utility is at fault: the detail is about the working folder only.
  EXPECT_TRUE(recorder.messages()[0].detail.contains("works in the folder it is started in"));
  EXPECT_FALSE(recorder.messages()[0].detail.contains("ln -sf"));
}

TEST_F(WorkDir, ReadWriteCheckFailsInAWorkingDirectoryThatIsGone) {
  xav::MessageRecorder recorder;
  ASSERT_TRUE(QDir(dir_).removeRecursively());
  EXPECT_FALSE(gw::CheckReadWriteAccesss());
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].text, kAccessMessage);
}

TEST(FindProgramInDir, PrefersTheExactNameThenAnyCaseWithOrWithoutExe) {
  QTemporaryDir tmp;
  QDir d(tmp.path());
  for (const char* n : {"RuiNet.EXE", "ruinet.exe", "ruiping", "notes.txt"}) QFile(d.filePath(n)).open(QIODevice::WriteOnly);
  EXPECT_EQ(gw::findProgramInDir(tmp.path(), "ruinet.exe"), d.filePath("ruinet.exe"));
  EXPECT_EQ(gw::findProgramInDir(tmp.path(), "RuiNet.EXE"), d.filePath("RuiNet.EXE"));
  EXPECT_FALSE(gw::findProgramInDir(tmp.path(), "RUINET").isEmpty());
  EXPECT_EQ(gw::findProgramInDir(tmp.path(), "RuiPing.exe"), d.filePath("ruiping"));
  EXPECT_TRUE(gw::findProgramInDir(tmp.path(), "notes").isEmpty());
  EXPECT_TRUE(gw::findProgramInDir(tmp.path(), "../ruinet.exe").isEmpty());
}

}  // namespace
