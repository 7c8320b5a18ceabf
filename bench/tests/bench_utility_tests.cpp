// The bench loader and discovery stand-ins driven by the tools' own command
// texts, the module store command and xav-configgen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "commands.h"
#include "files.h"
#include "module_store.h"
#include "processes.h"
#include "profiles.h"
#include "utility_runner.h"
#include "utility_wait.h"
#include "verify.h"

namespace {

QString binDir() {
  const QString dir = qEnvironmentVariable("XAV_BIN_DIR");
  return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

QByteArray readFile(const QString& path) {
  QByteArray data;
  xav::readWholeFile(path, &data);
  return data;
}

struct Outcome {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Outcome run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(QDir(binDir()).filePath(program), args);
  Outcome r;
  if (!p.waitForFinished(60000)) return r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

// A working directory (with a blank in its name) holding copies of the
// stand-ins, as the tools expect them, and a private module store.
class Bench : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    qputenv("XDG_CONFIG_HOME", QDir(tmp_.path()).filePath("config").toLocal8Bit());
    work_ = QDir(tmp_.path()).filePath("work dir");
    ASSERT_TRUE(QDir().mkpath(work_));
    for (const char* u : {"ruinet.exe", "ruiping.exe"})
      ASSERT_TRUE(QFile::copy(QDir(binDir()).filePath(u), QDir(work_).filePath(u))) << u;
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work_));
    work_ = QDir::currentPath();
  }
  void TearDown() override {
    QDir::setCurrent(previous_);
    qunsetenv("XDG_CONFIG_HOME");
    for (const char* v : {"XAV_BENCH_RUINET_DELAY_MS", "XAV_BENCH_RUINET_HANG", "XAV_BENCH_RUINET_ALTER_LINE",
                          "XAV_BENCH_RUIPING_DELAY_MS", "XAV_BENCH_RUIPING_HANG"})
      qunsetenv(v);
  }
  // Processes whose program is the working directory's copy of name.
  int runningCopies(const QString& name) const {
    int n = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      const QString exe = QFile::symLinkTarget("/proc/" + pid + "/exe");
      QFile stat("/proc/" + pid + "/stat");
      const bool zombie = stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
      if (!zombie && exe == inWork(name)) ++n;
    }
    return n;
  }
  QByteArray saveFor(const QString& address) {
    gw::ConfigEntries e;
    e.protocol = gw::kModbusTcp;
    e.plcAddress = "127.0.0.1";
    e.plcAddressValid = true;
    e.title = "Press 4";
    const QByteArray bytes = gw::generateConfig(e, "//RVSIM_Captions\r\nA").bytes;
    EXPECT_TRUE(gw::writeConfigFile(work_, bytes, nullptr));
    const gw::RunResult r = gw::ShellAndWait(gw::uploadConfigurationCommand(address), gw::kNormalNoFocus);
    lastUpload_ = r;
    return bytes;
  }
  QString inWork(const QString& name) const { return QDir(work_).filePath(name); }
  void addModule(const QString& address, const QString& name) {
    const Outcome r = run("xav-bench-modules", {"add", address, "--name", name});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  }
  QByteArray stored(const QString& address, const QString& file) {
    return readFile(QDir(xav::bench::moduleDir(address)).filePath(file));
  }

  QTemporaryDir tmp_;
  QString work_;
  QString previous_;
  gw::RunResult lastUpload_;
};

TEST_F(Bench, FetchAndUploadRoundTripKeepsEveryByte) {
  addModule("127.0.0.2", "PRESS LINE");
  gw::ShellAndWait(gw::fetchConfigurationCommand(work_, "127.0.0.2"), gw::kHidden);
  EXPECT_EQ(readFile(inWork("Config.csv")), stored("127.0.0.2", "Config.csv"));
  EXPECT_EQ(readFile(inWork("Config.csv")), xav::bench::defaultConfig("PRESS LINE"));

  gw::ConfigEntries e;
  e.protocol = gw::kPccc;
  e.plcAddress = "010.000.000.050";
  e.plcAddressValid = true;
  e.title = QString::fromUtf8("Größe 4");
  const QByteArray mine = gw::generateConfig(e, "//RVSIM_Captions\r\nA\r\n").bytes;
  ASSERT_TRUE(gw::writeConfigFile(work_, mine, nullptr));
  gw::ShellAndWait(gw::uploadConfigurationCommand("127.0.0.2"), gw::kNormalNoFocus);
  EXPECT_EQ(stored("127.0.0.2", "Config.csv"), mine);

  gw::deleteConfigCsv(work_);
  gw::ShellAndWait(gw::fetchConfigurationCommand(work_, "127.0.0.2"), gw::kHidden);
  EXPECT_EQ(readFile(inWork("Config.csv")), mine);
}

TEST_F(Bench, AModuleThatDoesNotAnswerLeavesNoFileAndTheLoaderSaysSo) {
  const gw::RunResult fetch = gw::ShellAndWait(gw::fetchConfigurationCommand(work_, "127.0.0.9"), gw::kHidden);
  EXPECT_FALSE(QFileInfo::exists(inWork("Config.csv")));
  EXPECT_EQ(fetch.outcome, gw::RunOutcome::Failed);

  // An upload to a module that vanished is a failure, never "loaded".
  saveFor("127.0.0.9");
  EXPECT_EQ(lastUpload_.outcome, gw::RunOutcome::Failed);
  EXPECT_EQ(lastUpload_.lines[0].exitCode, 1);
  EXPECT_FALSE(lastUpload_.lines[1].started);
  EXPECT_TRUE(gw::uploadStatusLine("Config.csv", "127.0.0.9", lastUpload_, QTime(9, 5, 0))
                  .startsWith("Config.csv NOT loaded to 127.0.0.9 at 09:05:00: ruinet ended with exit status 1"));
}

TEST_F(Bench, AddressesWithLeadingZerosReachTheModule) {
  addModule("127.0.0.2", "ZEROS");
  const gw::RunResult r =
      gw::ShellAndWait(gw::fetchConfigurationCommand(work_, "127.000.000.002"), gw::kHidden);
  EXPECT_TRUE(r.succeeded()) << r.describe().toStdString();
  EXPECT_EQ(readFile(inWork("Config.csv")), stored("127.0.0.2", "Config.csv"));
}

TEST_F(Bench, VerifyFindsTheFileSentOrTheFirstLineTheModuleChanged) {
  addModule("127.0.0.2", "VERIFY");
  gw::UtilityRunner runner;
  QByteArray sent = saveFor("127.0.0.2");
  ASSERT_TRUE(lastUpload_.succeeded()) << lastUpload_.describe().toStdString();
  gw::VerifyResult v = gw::verifyModuleConfig(runner, work_, "127.0.0.2", sent);
  EXPECT_EQ(v.kind, gw::VerifyResult::Kind::Identical) << v.message().toStdString();
  EXPECT_EQ(v.message(), "Module holds the configuration sent");
  EXPECT_FALSE(QFileInfo::exists(inWork("Config.csv")));  // the fetched copy is gone again

  // A module that keeps line 4 (the title row) changed.
  qputenv("XAV_BENCH_RUINET_ALTER_LINE", "4");
  sent = saveFor("127.0.0.2");
  ASSERT_TRUE(lastUpload_.succeeded());
  v = gw::verifyModuleConfig(runner, work_, "127.0.0.2", sent);
  EXPECT_EQ(v.kind, gw::VerifyResult::Kind::Differs);
  EXPECT_EQ(v.lineNumber, 4);
  EXPECT_EQ(v.sentLine, "Press 4 , 11");
  EXPECT_EQ(v.moduleLine, "Press 4 , 11 [altered]");

  QString error;
  xav::bench::removeModule("127.0.0.2", &error);
  v = gw::verifyModuleConfig(runner, work_, "127.0.0.2", sent);
  EXPECT_EQ(v.kind, gw::VerifyResult::Kind::FetchFailed);
  EXPECT_TRUE(v.message().startsWith("The module's Config.csv could not be fetched: ruinet.exe ended with exit status 1"))
      << v.message().toStdString();

  // The same without a local event loop.
  addModule("127.0.0.2", "VERIFY");
  gw::ConfigVerifier verifier(runner);
  QSignalSpy done(&verifier, &gw::ConfigVerifier::finished);
  ASSERT_TRUE(verifier.start(work_, "127.0.0.2", xav::bench::defaultConfig("VERIFY")));
  ASSERT_TRUE(done.wait(30000));
  EXPECT_TRUE(done[0][0].value<gw::VerifyResult>().identical());
}

TEST_F(Bench, ASlowLoaderTakesItsTimeAndThenDoesItsWork) {
  addModule("127.0.0.2", "SLOW");
  qputenv("XAV_BENCH_RUINET_DELAY_MS", "400");
  const gw::RunResult r = gw::ShellAndWait(gw::fetchConfigurationCommand(work_, "127.0.0.2"), gw::kHidden);
  EXPECT_TRUE(r.succeeded());
  EXPECT_GE(r.elapsedMs, 400);
  EXPECT_EQ(readFile(inWork("Config.csv")), stored("127.0.0.2", "Config.csv"));
  qunsetenv("XAV_BENCH_RUINET_DELAY_MS");

  // The same as options; a bad number is refused.
  Outcome o = run("ruinet.exe", {"--delay-ms", "300", "-i", "127.0.0.2", "-u1", "-fConfig.csv"});
  EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
  o = run("ruinet.exe", {"--delay-ms", "soon", "-i", "127.0.0.2", "-u1", "-fConfig.csv"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_TRUE(o.err.contains("--delay-ms needs a number"));
}

TEST_F(Bench, AHungLoaderIsCancelledWithNothingLeftBehind) {
  addModule("127.0.0.2", "HUNG");
  const QByteArray before = stored("127.0.0.2", "Config.csv");
  qputenv("XAV_BENCH_RUINET_HANG", "send");  // fetches still work
  gw::UtilityRunner runner;
  runner.setLongWaitThreshold(200);
  gw::UtilityWait seen;
  QObject::connect(&runner, &gw::UtilityRunner::longWait, &runner, [&](const gw::UtilityWait& w) {
    if (!w.commandText.contains(QLatin1String(" -u0 "))) return;  // a fetch slowed by a busy machine
    seen = w;
    runner.cancel();
  });
  EXPECT_TRUE(gw::runAndWait(runner, gw::fetchConfigurationCommand(work_, "127.0.0.2"), gw::kHidden).succeeded());
  const QByteArray mine = xav::bench::defaultConfig("MINE");
  ASSERT_TRUE(gw::writeConfigFile(work_, mine, nullptr));
  const gw::RunResult r = gw::runAndWait(runner, gw::uploadConfigurationCommand("127.0.0.2"), gw::kNormalNoFocus);
  EXPECT_EQ(r.outcome, gw::RunOutcome::Cancelled);
  EXPECT_EQ(seen.program, "ruinet");
  EXPECT_EQ(seen.moduleAddress, "127.0.0.2");
  EXPECT_FALSE(r.lines[1].started);
  EXPECT_EQ(stored("127.0.0.2", "Config.csv"), before);
  EXPECT_TRUE(QTest::qWaitFor([&] { return runningCopies("ruinet.exe") == 0; }, 20000));

  // --hang on the command line hangs any operation.
  qunsetenv("XAV_BENCH_RUINET_HANG");
  QProcess hung;
  hung.start(inWork("ruinet.exe"), {"--hang", "-i", "127.0.0.2", "-u1", "-fConfig.csv"});
  ASSERT_TRUE(hung.waitForStarted(10000));
  EXPECT_FALSE(hung.waitForFinished(500));
  hung.kill();
  hung.waitForFinished(10000);
}

TEST_F(Bench, AHungDiscoveryIsCancelledToo) {
  addModule("127.0.0.2", "LISTED");
  qputenv("XAV_BENCH_RUIPING_HANG", "1");
  gw::UtilityRunner runner;
  runner.setLongWaitThreshold(100);
  const auto cancelling = QObject::connect(&runner, &gw::UtilityRunner::longWait, &runner, [&] { runner.cancel(); });
  EXPECT_EQ(gw::runAndWait(runner, gw::discoveryCommand(), gw::kHidden).outcome, gw::RunOutcome::Cancelled);
  EXPECT_TRUE(QTest::qWaitFor([&] { return runningCopies("ruiping.exe") == 0; }, 20000));
  qunsetenv("XAV_BENCH_RUIPING_HANG");
  qputenv("XAV_BENCH_RUIPING_DELAY_MS", "200");
  // A slow discovery only takes longer: no cancel however long it waits.
  QObject::disconnect(cancelling);
  runner.setLongWaitThreshold(gw::UtilityRunner::kDefaultLongWaitMs);
  EXPECT_TRUE(gw::runAndWait(runner, gw::discoveryCommand(), gw::kHidden).succeeded());
  EXPECT_TRUE(readFile(inWork("C.txt")).contains("LISTED"));
}

TEST_F(Bench, DiscoveryListingHasTheColumnsTheToolsCut) {
  addModule("127.0.0.10", "A NAME OF EXACTLY THIRTY-ONE CH");
  addModule("127.0.0.2", "BRIDGE1");
  addModule("127.0.0.3", "A NAME LONGER THAN THIRTY-ONE CHARACTERS");
  gw::ShellAndWait(gw::discoveryCommand(), gw::kHidden);
  const QList<QByteArray> lines = readFile(inWork("C.txt")).split('\n');
  ASSERT_EQ(lines.size(), 6);
  EXPECT_TRUE(lines[0].contains("BRIDGE NAME"));
  EXPECT_EQ(lines[1], QByteArray(46, '=') + "\r");
  EXPECT_EQ(lines[2], "BRIDGE1                        127.0.0.2\r");
  EXPECT_EQ(lines[3], "A NAME LONGER THAN THIRTY-ONE C127.0.0.3\r");
  EXPECT_EQ(lines[4], "A NAME OF EXACTLY THIRTY-ONE CH127.0.0.10\r");
  EXPECT_EQ(lines[5], "");
}

TEST_F(Bench, NetworkSettingsChangeMovesTheModule) {
  addModule("127.0.0.3", "BRIDGE3");
  gw::ShellAndWait(gw::fetchNetworkSettingsCommand("127.0.0.3"), gw::kMinimizedNoFocus);
  QList<QByteArray> lines = readFile(inWork("fs_tcp.ini")).split('\n');
  ASSERT_GE(lines.size(), 6);
  EXPECT_EQ(lines[4], "N1_IP = 127.0.0.3\r");
  EXPECT_EQ(lines[5], "N1_NETMASK = 255.0.0.0\r");

  lines[4] = "N1_IP = 127.0.0.7\r";
  ASSERT_TRUE(xav::writeWholeFile(inWork("fs_tcp.ini"), lines.join('\n')));
  gw::ShellAndWait(gw::uploadNetworkSettingsCommand("127.0.0.3"), gw::kNormalNoFocus);
  EXPECT_TRUE(xav::bench::moduleDir("127.0.0.3").isEmpty());
  ASSERT_FALSE(xav::bench::moduleDir("127.0.0.7").isEmpty());
  EXPECT_EQ(stored("127.0.0.7", "fs_tcp.ini"), lines.join('\n'));
  EXPECT_TRUE(readFile(QDir(xav::bench::moduleDir("127.0.0.7")).filePath("bridge_name.txt")).startsWith("BRIDGE3"));

  // An address already taken is refused: the module stays where it is.
  addModule("127.0.0.8", "OTHER");
  lines[4] = "N1_IP = 127.0.0.8\r";
  ASSERT_TRUE(xav::writeWholeFile(inWork("fs_tcp.ini"), lines.join('\n')));
  gw::ShellAndWait(gw::uploadNetworkSettingsCommand("127.0.0.7"), gw::kNormalNoFocus);
  EXPECT_FALSE(xav::bench::moduleDir("127.0.0.7").isEmpty());
  EXPECT_EQ(readFile(QDir(xav::bench::moduleDir("127.0.0.8")).filePath("bridge_name.txt")), "OTHER\r\n");
}

TEST_F(Bench, AddressModeBringsStrayModulesOntoLoopback) {
  addModule("127.0.0.2", "ON LOOPBACK");
  addModule("192.168.7.20", "STRAY");
  gw::ShellAndWait(gw::addressModeCommand(work_), gw::kNormalFocus);
  EXPECT_TRUE(xav::bench::moduleDir("192.168.7.20").isEmpty());
  ASSERT_FALSE(xav::bench::moduleDir("127.0.0.3").isEmpty());
  EXPECT_EQ(stored("127.0.0.3", "fs_tcp.ini").split('\n').value(4), "N1_IP = 127.0.0.3\r");
}

TEST_F(Bench, ModuleStoreCommand) {
  addModule("127.0.0.4", "LINE 4");
  const Outcome list = run("xav-bench-modules", {"list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(list.out.contains("127.0.0.4")) << list.out.toStdString();
  EXPECT_TRUE(list.out.contains("LINE 4"));
  EXPECT_EQ(run("xav-bench-modules", {"add", "127.0.0.4"}).exitCode, 1);       // exists
  EXPECT_EQ(run("xav-bench-modules", {"add", "127.0.0.4; x"}).exitCode, 1);    // no address
  EXPECT_EQ(run("xav-bench-modules", {"frobnicate"}).exitCode, 2);
  EXPECT_EQ(run("xav-bench-modules", {"remove", "127.0.0.4"}).exitCode, 0);
  EXPECT_EQ(run("xav-bench-modules", {"remove", "127.0.0.4"}).exitCode, 1);
  EXPECT_TRUE(xav::bench::listModules().isEmpty());

  QFile config(inWork("mine.csv"));
  ASSERT_TRUE(config.open(QIODevice::WriteOnly));
  config.write("//3-MODBUS/TCP, 1.2.3.4, 40001\r\nx\r\n");
  config.close();
  EXPECT_EQ(run("xav-bench-modules", {"add", "127.0.0.5", "--config", inWork("mine.csv")}).exitCode, 0);
  EXPECT_EQ(stored("127.0.0.5", "Config.csv"), "//3-MODBUS/TCP, 1.2.3.4, 40001\r\nx\r\n");
}

TEST(ConfigGen, PrintsWhatTheSaveWouldWrite) {
  gw::ConfigEntries e;
  e.plcAddress = "010.001.002.003";
  e.plcAddressValid = true;

  e.protocol = gw::kPccc;
  e.fileNumber = "9";
  e.baseElement = "214";
  e.title = "Press 2";
  Outcome r = run("xav-configgen", {"--protocol", "1", "--plc", e.plcAddress, "--title", "Press, 2", "--file", "9",
                                "--base", "214"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, gw::generateConfig(e, {}).bytes);

  e = gw::ConfigEntries{};
  e.plcAddress = "10.1.2.3";
  e.plcAddressValid = true;
  e.protocol = gw::kCip;
  e.slot = "3";
  r = run("xav-configgen", {"--protocol", "2", "--plc", "10.1.2.3", "--slot", "3"});
  EXPECT_EQ(r.out, gw::generateConfig(e, {}).bytes);

  QTemporaryDir tmp;
  const QString previous = QDir(tmp.path()).filePath("previous.csv");
  ASSERT_TRUE(xav::writeWholeFile(previous, "//3-MODBUS/TCP, 1.2.3.4, 40001\r\nBridge\r\nTitle , Id\r\nOld , 11\r\n"
                                            "//RVSIM_Captions\r\nInfeed\r\n"));
  e.protocol = gw::kModbusTcp;
  e.startRegister = "465514";
  r = run("xav-configgen", {"--protocol", "3", "--plc", "10.1.2.3", "--register", "465514", "--previous", previous});
  EXPECT_EQ(r.exitCode, 0);
  // The previous file's last CR LF is the save's own: the tail ends before it.
  EXPECT_EQ(r.out, gw::generateConfig(e, "//RVSIM_Captions\r\nInfeed").bytes);
  EXPECT_TRUE(r.out.endsWith("\r\n\r\n//RVSIM_Captions\r\nInfeed\r\n"));
  EXPECT_TRUE(r.out.startsWith("//3-MODBUS/TCP, 10.1.2.3, 465514\r\n"));
  EXPECT_TRUE(r.out.contains("Change this title if desired. , 11"));
}

TEST(ConfigGen, RefusesLikeTheSave) {
  Outcome r = run("xav-configgen", {"--protocol", "3", "--plc", "192.168..1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_EQ(r.err, "Enter a legal IP Address\n");

  r = run("xav-configgen", {"--protocol", "1", "--plc", "10.1.2.3", "--file", "256"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_EQ(r.err, "Correct File or Base Register Number\n");

  r = run("xav-configgen", {"--protocol", "1", "--plc", "10.1.2.3", "--base", "215"});
  EXPECT_EQ(r.exitCode, 2);

  EXPECT_EQ(run("xav-configgen", {"--protocol", "4", "--plc", "10.1.2.3"}).exitCode, 1);
  EXPECT_EQ(run("xav-configgen", {"--protocol", "3"}).exitCode, 1);
  EXPECT_EQ(run("xav-configgen", {"--protocol", "3", "--plc", "1.2.3.4", "--previous", "/nonexistent/x"}).exitCode, 1);
}

}  // namespace
