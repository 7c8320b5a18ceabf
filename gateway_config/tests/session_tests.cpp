// The sessions driven against the bench utilities with no window: each
// operation's success, the ways it can fail and its cancel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

#include "bench_env.h"
#include "commands.h"
#include "files.h"
#include "messages.h"
#include "sessions.h"

namespace {

using gw::Session;
using gw::SessionFailure;
using gw::SessionOutcome;
using xave::testing::BenchEnv;
using xave::testing::waitFor;

QByteArray golden(const char* name) {
  QByteArray data;
  EXPECT_TRUE(xav::readWholeFile(QDir(QStringLiteral(XAV_GOLDEN_DIR)).filePath(QLatin1String(name)), &data)) << name;
  return data;
}

// The entries of golden/modbus_40001.csv.
gw::Entries modbusEntries() {
  gw::Entries e;
  e.protocol = gw::kModbusTcp;
  e.plcAddress = QStringLiteral("010.001.002.003");
  e.title = QStringLiteral("Line 4 distributors");
  return e;
}

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.problem().isEmpty()) << env_.problem().toStdString();
    // The neighbour table stand-in, for discovery by the address table.
    oldPath_ = qgetenv("PATH");
    qputenv("PATH", QByteArray(XAV_XAVCFG_FAKE_BIN_DIR) + ':' + oldPath_);
    runner_.setTellsStartErrors(false);
    env_.addModule(QStringLiteral("127.0.0.2"), QStringLiteral("Bridge_A"), golden("modbus_465514_tail.csv"));
  }
  void TearDown() override {
    qputenv("PATH", oldPath_);
    qunsetenv("XAV_BENCH_RUIPING_HANG");
  }

  // Starts the session and runs the event loop until it has finished; the
  // states it passed through go to *states.
  SessionOutcome runToEnd(Session& s, const std::function<bool()>& start, QList<Session::State>* states = nullptr) {
    QSignalSpy done(&s, &Session::finished);
    QMetaObject::Connection c;
    if (states) c = QObject::connect(&s, &Session::stateChanged, [states](Session::State st) { *states << st; });
    EXPECT_TRUE(start());
    EXPECT_EQ(done.size(), 0) << "finished() inside start()";
    EXPECT_TRUE(done.size() > 0 || done.wait(60000));
    QObject::disconnect(c);
    EXPECT_EQ(done.size(), 1);
    EXPECT_FALSE(s.isActive());
    return s.outcome();
  }
  // Cancels the session once the runner waits for program.
  void cancelWhenWaitingFor(Session& s, const QString& program) {
    QObject::connect(&s, &Session::waitingFor, &s, [&s, program](const gw::UtilityWait& w) {
      if (w.program.compare(program, Qt::CaseInsensitive) == 0 || w.program.startsWith(program, Qt::CaseInsensitive))
        s.cancel();
    });
  }
  void expectNoLoaderLeft() {
    EXPECT_TRUE(waitFor([&] { return env_.runningLoaders().isEmpty(); }, 20000)) << "a loader outlived the session";
  }
  bool workFileExists(const char* name) const { return QFile::exists(env_.workFile(QLatin1String(name))); }

  BenchEnv env_;
  gw::UtilityRunner runner_;
  QByteArray oldPath_;
};

// ---------------------------------------------------------------- picking a module

TEST_F(Sessions, PickReadsBackTheModulesEntriesAndCaptionsTail) {
  gw::ModulePickSession pick(runner_, env_.workDir());
  QList<Session::State> states;
  const SessionOutcome o = runToEnd(pick, [&] { return pick.start(QStringLiteral("127.000.000.002")); }, &states);
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  EXPECT_EQ(o.operation, "read");
  EXPECT_EQ(o.moduleAddress, "127.0.0.2");
  EXPECT_EQ(o.entries.protocol, gw::kModbusTcp);
  EXPECT_EQ(o.entries.startRegister, "465514");
  EXPECT_EQ(o.entries.plcAddress, "192.168.1.10");
  EXPECT_FALSE(o.captionsTail.isEmpty());
  EXPECT_EQ(o.configRead, golden("modbus_465514_tail.csv"));
  EXPECT_EQ(states, (QList<Session::State>{Session::State::Pinging, Session::State::Fetching, Session::State::Finished}));
  EXPECT_EQ(env_.pingedAddresses(), QStringList{"127.0.0.2"});
  // The fetched file stays, as after a window's read-back.
  EXPECT_TRUE(workFileExists("Config.csv"));
}

TEST_F(Sessions, PickFailuresNameTheirKind) {
  env_.addModule(QStringLiteral("127.0.0.4"), QStringLiteral("NoFile"));
  env_.addModule(QStringLiteral("127.0.0.5"), QStringLiteral("Corrupt"), "not a configuration\r\n");
  env_.addModule(QStringLiteral("127.0.0.6"), QStringLiteral("Down"), golden("pccc_7_0.csv"));
  env_.setPingDown({QStringLiteral("127.0.0.6")});
  const struct {
    const char* address;
    SessionFailure failure;
    const char* message;
  } cases[] = {
      {"127.0.0.300", SessionFailure::NotAnAddress, ""},
      {"127.0.0.40", SessionFailure::NotAnswering, "does not answer a ping"},
      {"127.0.0.6", SessionFailure::NotAnswering, "does not answer a ping"},
      {"127.0.0.4", SessionFailure::FetchFailed, "No Config.csv came back from 127.0.0.4"},
      {"127.0.0.5", SessionFailure::CorruptFile, "Current Config file is corrupt."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    // A file of an earlier module must never answer for this one.
    ASSERT_TRUE(xav::writeWholeFile(env_.workFile(QStringLiteral("Config.csv")), golden("cip_slot3.csv")));
    gw::ModulePickSession pick(runner_, env_.workDir());
    const SessionOutcome o = runToEnd(pick, [&] { return pick.start(QLatin1String(c.address)); });
    EXPECT_EQ(o.failure, c.failure) << gw::failureName(o.failure).toStdString() << ": " << o.message.toStdString();
    EXPECT_TRUE(o.message.contains(QLatin1String(c.message))) << o.message.toStdString();
    EXPECT_FALSE(o.configurationUnknown());
  }
  EXPECT_FALSE(env_.pingedAddresses().contains(QStringLiteral("127.0.0.300")));
}

TEST_F(Sessions, PickWithoutTheLoaderSaysItCouldNotStart) {
  QFile::remove(env_.workFile(QStringLiteral("ruinet.exe")));
  gw::ModulePickSession pick(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(pick, [&] { return pick.start(QStringLiteral("127.0.0.2"), false); });
  EXPECT_EQ(o.failure, SessionFailure::UtilityNotStarted);
  EXPECT_TRUE(o.message.startsWith(QStringLiteral("Error starting task \r\n"))) << o.message.toStdString();
}

TEST_F(Sessions, PickCancelledOrTimedOutDuringTheFetchLeavesNothingBehind) {
  env_.setLoaderBehaviour("HANG", "fetch");
  for (const bool timeOut : {false, true}) {
    SCOPED_TRACE(timeOut ? "time limit" : "cancel");
    gw::UtilityRunner runner;
    runner.setTellsStartErrors(false);
    // The limit only ends a fetch that never ends: no machine is that slow.
    if (timeOut) runner.setTimeLimit(1000);
    gw::ModulePickSession pick(runner, env_.workDir());
    if (!timeOut) cancelWhenWaitingFor(pick, QStringLiteral("ruinet"));
    const SessionOutcome o = runToEnd(pick, [&] { return pick.start(QStringLiteral("127.0.0.2"), false); });
    EXPECT_EQ(o.failure, timeOut ? SessionFailure::TimedOut : SessionFailure::Cancelled);
    EXPECT_TRUE(o.interrupted());
    // Nothing was being sent: the module's configuration is as it was.
    EXPECT_FALSE(o.configurationUnknown());
    EXPECT_FALSE(workFileExists("Config.csv"));
    expectNoLoaderLeft();
  }
}

TEST_F(Sessions, StartRefusedWhileTheRunnerIsBusyAndBusyBetweenSteps) {
  qputenv("XAV_BENCH_RUIPING_HANG", "1");
  ASSERT_TRUE(runner_.start(gw::discoveryCommand(), gw::kHidden));
  gw::ModulePickSession pick(runner_, env_.workDir());
  QSignalSpy done(&pick, &Session::finished);
  EXPECT_FALSE(pick.start(QStringLiteral("127.0.0.2")));
  QSignalSpy ended(&runner_, &gw::UtilityRunner::finished);
  runner_.cancel();
  ASSERT_TRUE(ended.size() > 0 || ended.wait(60000));
  EXPECT_EQ(done.size(), 0);

  // Someone else takes the runner between the ping and the fetch.
  gw::UtilityRunner runner;
  runner.setTellsStartErrors(false);
  bool taken = false;
  QObject::connect(&runner, &gw::UtilityRunner::finished, &runner, [&] {
    if (!taken) taken = runner.start(gw::discoveryCommand(), gw::kHidden);
  });
  gw::ModulePickSession second(runner, env_.workDir());
  const SessionOutcome o = runToEnd(second, [&] { return second.start(QStringLiteral("127.0.0.2")); });
  EXPECT_TRUE(taken);
  EXPECT_EQ(o.failure, SessionFailure::Busy);
  QSignalSpy rogueEnded(&runner, &gw::UtilityRunner::finished);
  runner.cancel();
  EXPECT_TRUE(rogueEnded.size() > 0 || rogueEnded.wait(60000));
}

// ---------------------------------------------------------------- save

TEST_F(Sessions, SaveLoadsTheGeneratorsBytesAndVerifiesThem) {
  gw::SaveSession save(runner_, env_.workDir());
  QList<Session::State> states;
  gw::SaveSession::Options options;
  options.verify = true;
  const SessionOutcome o =
      runToEnd(save, [&] { return save.start(QStringLiteral("127.0.0.2"), modbusEntries(), QString(), options); }, &states);
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  EXPECT_TRUE(o.verified);
  EXPECT_EQ(o.configSent, golden("modbus_40001.csv"));
  EXPECT_EQ(env_.moduleFile(QStringLiteral("127.0.0.2"), QStringLiteral("Config.csv")), golden("modbus_40001.csv"));
  EXPECT_TRUE(o.message.startsWith(QStringLiteral("Config.csv loaded to 127.0.0.2 at "))) << o.message.toStdString();
  EXPECT_EQ(states, (QList<Session::State>{Session::State::Writing, Session::State::Loading, Session::State::Verifying,
                                           Session::State::Finished}));
  EXPECT_FALSE(workFileExists("Config.csv"));
  EXPECT_FALSE(o.configurationUnknown());
}

TEST_F(Sessions, SaveKeepsTheCaptionsTailGiven) {
  gw::Entries e = modbusEntries();
  e.plcAddress = QStringLiteral("192.168.1.10");
  e.startRegister = QStringLiteral("465514");
  e.title = QStringLiteral("   ");  // replaced by the placeholder title
  gw::SaveSession save(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(save, [&] {
    return save.start(QStringLiteral("127.0.0.2"), e, QStringLiteral("//RVSIM_Captions\r\nInfeed A\r\nInfeed B\r\n"));
  });
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  EXPECT_EQ(o.entries.title, "Change this title if desired.");
  EXPECT_EQ(env_.moduleFile(QStringLiteral("127.0.0.2"), QStringLiteral("Config.csv")), golden("modbus_465514_tail.csv"));
}

TEST_F(Sessions, SaveFailuresNameTheirKindAndTouchTheModuleOnlyWhenSending) {
  const QByteArray before = env_.moduleFile(QStringLiteral("127.0.0.2"), QStringLiteral("Config.csv"));
  gw::Entries badPlc = modbusEntries();
  badPlc.plcAddress = QStringLiteral("10.1.2.300");
  gw::Entries badRegister = modbusEntries();
  badRegister.startRegister = QStringLiteral("40000");
  const struct {
    const char* name;
    const char* address;
    gw::Entries entries;
    bool strict;
    std::function<void()> arrange;
    SessionFailure failure;
    const char* message;
    bool sending;
  } cases[] = {
      {"no address", "127.0.0", modbusEntries(), false, [] {}, SessionFailure::NotAnAddress, "", false},
      {"bad PLC address", "127.0.0.2", badPlc, false, [] {}, SessionFailure::InvalidEntries, "Enter a legal IP Address",
       false},
      {"bad register, strict", "127.0.0.2", badRegister, true, [] {}, SessionFailure::InvalidEntries, "", false},
      {"file not writable", "127.0.0.2", modbusEntries(), false,
       [&] { QDir().mkpath(env_.workFile(QStringLiteral("Config.csv"))); }, SessionFailure::WriteFailed,
       "Config.csv could not be written", false},
      {"loader fails", "127.0.0.41", modbusEntries(), false, [] {}, SessionFailure::LoaderFailed,
       "Config.csv NOT loaded to 127.0.0.41 at ", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    gw::SaveSession save(runner_, env_.workDir());
    QSignalSpy waits(&save, &Session::waitingFor);
    gw::SaveSession::Options options;
    options.strict = c.strict;
    const SessionOutcome o =
        runToEnd(save, [&] { return save.start(QLatin1String(c.address), c.entries, QString(), options); });
    EXPECT_EQ(o.failure, c.failure) << gw::failureName(o.failure).toStdString() << ": " << o.message.toStdString();
    EXPECT_TRUE(o.message.contains(QLatin1String(c.message))) << o.message.toStdString();
    EXPECT_EQ(o.sending, c.sending);
    EXPECT_FALSE(o.configurationUnknown());
    if (!c.sending) {
      EXPECT_EQ(waits.size(), 0) << "a refused save ran a utility";
    }
    QDir(env_.workFile(QStringLiteral("Config.csv"))).removeRecursively();
  }
  EXPECT_EQ(env_.moduleFile(QStringLiteral("127.0.0.2"), QStringLiteral("Config.csv")), before);
}

TEST_F(Sessions, SaveVerifyMismatchNamesTheLine) {
  env_.setLoaderBehaviour("ALTER_LINE", "4");
  gw::SaveSession save(runner_, env_.workDir());
  gw::SaveSession::Options options;
  options.verify = true;
  const SessionOutcome o =
      runToEnd(save, [&] { return save.start(QStringLiteral("127.0.0.2"), modbusEntries(), QString(), options); });
  EXPECT_EQ(o.failure, SessionFailure::VerifyMismatch);
  EXPECT_FALSE(o.verified);
  EXPECT_EQ(o.verify.lineNumber, 4);
  EXPECT_TRUE(o.message.contains(QStringLiteral("line 4 differs"))) << o.message.toStdString();
  EXPECT_FALSE(o.sending);
}

TEST_F(Sessions, SaveInterruptedWhileSendingLeavesTheConfigurationUnknownAndNoLoader) {
  env_.setLoaderBehaviour("HANG", "send");
  for (const bool timeOut : {false, true}) {
    SCOPED_TRACE(timeOut ? "time limit" : "cancel");
    gw::UtilityRunner runner;
    if (timeOut) runner.setTimeLimit(1000);
    gw::SaveSession save(runner, env_.workDir());
    if (!timeOut) cancelWhenWaitingFor(save, QStringLiteral("ruinet"));
    const SessionOutcome o = runToEnd(save, [&] { return save.start(QStringLiteral("127.0.0.2"), modbusEntries(), QString()); });
    EXPECT_EQ(o.failure, timeOut ? SessionFailure::TimedOut : SessionFailure::Cancelled);
    EXPECT_TRUE(o.configurationUnknown());
    EXPECT_EQ(o.message, gw::cancelledOperationMessage(QStringLiteral("127.0.0.2")));
    // The second line (the restart) never ran after the interrupted first.
    ASSERT_EQ(o.lastRun.lines.size(), 2);
    EXPECT_FALSE(o.lastRun.lines[1].started);
    EXPECT_FALSE(workFileExists("Config.csv"));
    expectNoLoaderLeft();
  }
}

TEST_F(Sessions, CancelBeforeAnyUtilityRanEndsAsCancelled) {
  gw::SaveSession save(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(save, [&] {
    const bool started = save.start(QStringLiteral("127.0.0.2"), modbusEntries(), QString());
    save.cancel();
    return started;
  });
  // The loader was already started by start(): its end decides.
  EXPECT_TRUE(o.failure == SessionFailure::Cancelled) << gw::failureName(o.failure).toStdString();
  expectNoLoaderLeft();
}

// ---------------------------------------------------------------- verify

TEST_F(Sessions, VerifyComparesTheModulesFileByteForByte) {
  const QByteArray held = golden("modbus_465514_tail.csv");
  QByteArray other = held;
  other.replace("465514", "465513");
  env_.addModule(QStringLiteral("127.0.0.4"), QStringLiteral("NoFile"));
  const struct {
    const char* address;
    QByteArray sent;
    SessionFailure failure;
  } cases[] = {
      {"127.0.0.2", held, SessionFailure::None},
      {"127.0.0.2", other, SessionFailure::VerifyMismatch},
      {"127.0.0.4", held, SessionFailure::FetchFailed},
      {"localhost", held, SessionFailure::NotAnAddress},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    gw::VerifySession verify(runner_, env_.workDir());
    const SessionOutcome o = runToEnd(verify, [&] { return verify.start(QLatin1String(c.address), c.sent); });
    EXPECT_EQ(o.failure, c.failure) << o.message.toStdString();
    EXPECT_EQ(o.verified, c.failure == SessionFailure::None);
    EXPECT_FALSE(workFileExists("Config.csv"));
  }
}

// ---------------------------------------------------------------- IP change

TEST_F(Sessions, IpChangeRewritesTheModulesNetworkSettings) {
  env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_C"), golden("pccc_7_0.csv"));
  gw::IpChangeSession change(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(change, [&] {
    return change.start(QStringLiteral("127.0.0.3"), QStringLiteral("127.0.0.033"), QStringLiteral("255.255.0.0"));
  });
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  EXPECT_EQ(o.newAddress, "127.0.0.33");
  EXPECT_EQ(o.networkSettingsBefore, BenchEnv::defaultNetworkSettings(QStringLiteral("127.0.0.3")));
  EXPECT_TRUE(o.networkSettingsAfter.contains("127.0.0.33"));
  EXPECT_TRUE(o.networkSettingsAfter.contains("255.255.0.0"));
  EXPECT_TRUE(o.message.startsWith(QStringLiteral("fs_tcp.ini loaded to 127.0.0.3 at "))) << o.message.toStdString();
  // The restart put the module at its new address.
  EXPECT_TRUE(env_.hasModule(QStringLiteral("127.0.0.33")));
  EXPECT_EQ(env_.moduleFile(QStringLiteral("127.0.0.33"), QStringLiteral("fs_tcp.ini")), o.networkSettingsAfter);
}

TEST_F(Sessions, IpChangeFailuresChangeNothing) {
  env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_C"), golden("pccc_7_0.csv"));
  env_.addModule(QStringLiteral("127.0.0.7"), QStringLiteral("Short"), golden("pccc_7_0.csv"));
  env_.setModuleFile(QStringLiteral("127.0.0.7"), QStringLiteral("fs_tcp.ini"), "N1_IP=127.0.0.7\r\n");
  env_.addModule(QStringLiteral("127.0.0.8"), QStringLiteral("Down"), golden("pccc_7_0.csv"));
  env_.setPingDown({QStringLiteral("127.0.0.8")});
  const struct {
    const char* address;
    const char* ip;
    const char* mask;
    SessionFailure failure;
  } cases[] = {
      {"127.0.0.3", "127.0.0.256", "", SessionFailure::InvalidEntries},
      {"127.0.0.3", "127.0.0.33", "255.255", SessionFailure::InvalidEntries},
      {"127.0.0.8", "127.0.0.33", "", SessionFailure::NotAnswering},
      {"127.0.0.7", "127.0.0.33", "", SessionFailure::SettingsUnreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const QByteArray before = env_.moduleFile(QLatin1String(c.address), QStringLiteral("fs_tcp.ini"));
    gw::IpChangeSession change(runner_, env_.workDir());
    const SessionOutcome o = runToEnd(change, [&] {
      return change.start(QLatin1String(c.address), QLatin1String(c.ip), QLatin1String(c.mask));
    });
    EXPECT_EQ(o.failure, c.failure) << o.message.toStdString();
    EXPECT_FALSE(o.sending);
    EXPECT_EQ(env_.moduleFile(QLatin1String(c.address), QStringLiteral("fs_tcp.ini")), before);
  }
  EXPECT_FALSE(env_.hasModule(QStringLiteral("127.0.0.33")));
}

TEST_F(Sessions, IpChangeCancelledDuringTheUploadLeavesTheConfigurationUnknown) {
  env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_C"), golden("pccc_7_0.csv"));
  env_.setLoaderBehaviour("HANG", "send");
  gw::IpChangeSession change(runner_, env_.workDir());
  QObject::connect(&change, &Session::stateChanged, &change, [&](Session::State s) {
    if (s == Session::State::Loading) QTimer::singleShot(0, &change, [&] { change.cancel(); });
  });
  const SessionOutcome o =
      runToEnd(change, [&] { return change.start(QStringLiteral("127.0.0.3"), QStringLiteral("127.0.0.33")); });
  EXPECT_EQ(o.failure, SessionFailure::Cancelled);
  EXPECT_TRUE(o.configurationUnknown());
  expectNoLoaderLeft();
}

// ---------------------------------------------------------------- discovery

TEST_F(Sessions, ScanListsTheDiscoveredModules) {
  env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_C"), golden("pccc_7_0.csv"));
  gw::ModuleScanSession scan(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(scan, [&] { return scan.start(); });
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  QStringList found;
  for (const gw::ModuleEntry& m : o.modules) found << m.address + u' ' + m.bridgeName;
  EXPECT_EQ(found, (QStringList{"127.0.0.2 Bridge_A", "127.0.0.3 Bridge_C"}));
  EXPECT_TRUE(workFileExists("C.txt"));
}

TEST_F(Sessions, ScanFailsOrIsCancelled) {
  {
    const QString script = env_.workFile(QStringLiteral("ruiping.exe"));
    QFile::remove(script);
    ASSERT_TRUE(xav::writeWholeFile(script, "#!/bin/sh\nexit 3\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    gw::ModuleScanSession scan(runner_, env_.workDir());
    const SessionOutcome o = runToEnd(scan, [&] { return scan.start(); });
    EXPECT_EQ(o.failure, SessionFailure::UtilityFailed) << o.message.toStdString();
    EXPECT_TRUE(o.modules.isEmpty());
    ASSERT_TRUE(env_.restoreUtility(QStringLiteral("ruiping.exe")));
  }
  qputenv("XAV_BENCH_RUIPING_HANG", "1");
  gw::ModuleScanSession scan(runner_, env_.workDir());
  cancelWhenWaitingFor(scan, QStringLiteral("ruiping"));
  const SessionOutcome o = runToEnd(scan, [&] { return scan.start(); });
  EXPECT_EQ(o.failure, SessionFailure::Cancelled) << o.message.toStdString();
  EXPECT_FALSE(o.configurationUnknown());
}

TEST_F(Sessions, AddressTableListsAnsweringModulesWithTheirTitles) {
  env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_C"), golden("pccc_7_0.csv"));
  env_.addModule(QStringLiteral("127.0.0.4"), QStringLiteral("Down"), golden("cip_slot3.csv"));
  env_.setPingDown({QStringLiteral("127.0.0.4")});
  gw::AddressTableSession discover(runner_, env_.workDir());
  const SessionOutcome o = runToEnd(discover, [&] { return discover.start(); });
  ASSERT_TRUE(o.succeeded()) << o.message.toStdString();
  QStringList found;
  for (const gw::ModuleEntry& m : o.modules) found << m.address + u' ' + m.title;
  EXPECT_EQ(found, (QStringList{"127.0.0.2 Change this title if desired.", "127.0.0.3 Cell 10.1.2.3 west"}));
  for (const gw::ModuleEntry& m : o.modules) EXPECT_FALSE(m.hardwareAddress.isEmpty()) << m.address.toStdString();
  // The other maker's neighbour was never pinged.
  EXPECT_FALSE(env_.pingedAddresses().contains(QStringLiteral("127.0.0.254")));
}

}  // namespace
