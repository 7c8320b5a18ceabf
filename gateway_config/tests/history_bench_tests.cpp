// Restore and the operation recorder on the bench modules, each case from an
// empty data folder: read-back, Save and Verify driven as sessions leave the
// right history entries and service-log lines; Restore gives a second module
// a byte-identical Config.csv and catches a module that keeps its old file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "bench_env.h"
#include "files.h"
#include "operation_record.h"
#include "sample_config.h"
#include "sessions.h"

namespace {

using xave::testing::BenchEnv;
using xave::testing::waitFor;

const QString kOld = QStringLiteral("127.0.0.31");
const QString kSpare = QStringLiteral("127.0.0.32");

using gw::testing::modbusConfig;

gw::Entries modbusEntries(const QString& plc, const QString& title) {
  gw::Entries e;
  e.protocol = gw::kModbusTcp;
  e.plcAddress = plc;
  e.title = title;
  return e;
}

class HistoryBench : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString();
    ASSERT_TRUE(data.isValid());
    runner.setTellsStartErrors(false);
  }
  void TearDown() override { env.setLoaderBehaviour("KEEP_OLD", {}); }

  // Runs a session to its end; the outcome.
  template <typename S, typename Start>
  gw::SessionOutcome drive(S& session, Start start) {
    QSignalSpy done(&session, &gw::Session::finished);
    EXPECT_TRUE(start());
    EXPECT_TRUE(waitFor([&] { return done.count() > 0; }, 60000));
    return session.outcome();
  }
  gw::SessionOutcome read(const QString& address) {
    gw::ModulePickSession s(runner, env.workDir());
    return drive(s, [&] { return s.start(address); });
  }
  gw::SessionOutcome restore(const QString& address, const QByteArray& config) {
    gw::RestoreSession s(runner, env.workDir());
    return drive(s, [&] { return s.start(address, config); });
  }
  QString dataFolder() const { return data.filePath(QStringLiteral("xav")); }

  BenchEnv env;
  QTemporaryDir data;
  gw::UtilityRunner runner;
};

TEST_F(HistoryBench, RestoreGivesTheSpareTheOldModulesFileByteForByte) {
  const QByteArray old = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Line 4 press"),
                                      QStringLiteral("//RVSIM_Captions\r\nPress feed\r\nCaf\xe9"));
  env.addModule(kOld, QStringLiteral("OLD"), old);
  env.addModule(kSpare, QStringLiteral("SPARE"), modbusConfig(QStringLiteral("10.9.9.9"), QStringLiteral("factory")));
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), dataFolder());

  const gw::SessionOutcome readOld = read(kOld);
  ASSERT_TRUE(readOld.succeeded()) << readOld.message.toStdString();
  const QString id = recorder.record(readOld).historyId;
  ASSERT_FALSE(id.isEmpty());
  const auto kept = recorder.history().entry(id);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->config, old);

  const gw::SessionOutcome r = restore(kSpare, kept->config);
  EXPECT_TRUE(r.succeeded()) << r.message.toStdString();
  EXPECT_TRUE(r.verified);
  EXPECT_EQ(r.operation, QStringLiteral("restore"));
  EXPECT_EQ(r.title, QStringLiteral("Line 4 press"));
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), old);
  // Nothing of the upload or the check is left in the working directory.
  EXPECT_FALSE(QFile::exists(env.workFile(QStringLiteral("Config.csv"))));

  recorder.record(r);
  const QList<gw::HistoryEntry> spare = recorder.history().entries(kSpare);
  ASSERT_EQ(spare.size(), 1);
  EXPECT_EQ(spare[0].operation, gw::HistoryOperation::Restore);
  EXPECT_TRUE(spare[0].succeeded);
  EXPECT_EQ(spare[0].config, old);
  const QList<gw::ServiceLogLine> log = recorder.log().read();
  ASSERT_EQ(log.size(), 2);
  EXPECT_EQ(log[1].operation, QStringLiteral("restore"));
  EXPECT_EQ(log[1].moduleAddress, kSpare);
  EXPECT_EQ(log[1].plcAddress, QStringLiteral("10.1.2.3"));
  EXPECT_TRUE(log[1].succeeded);
}

TEST_F(HistoryBench, ModuleThatKeepsItsOldFileFailsTheRestoresCheck) {
  const QByteArray factory = modbusConfig(QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kSpare, QStringLiteral("SPARE"), factory);
  env.setLoaderBehaviour("KEEP_OLD", "1");
  gw::OperationRecorder recorder(QStringLiteral("xav-config"), dataFolder());

  const QByteArray wanted = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Line 4 press"));
  const gw::SessionOutcome r = restore(kSpare, wanted);
  EXPECT_EQ(r.failure, gw::SessionFailure::VerifyMismatch) << r.message.toStdString();
  EXPECT_FALSE(r.verified);
  EXPECT_EQ(r.verify.lineNumber, 1);  // the summary line already differs
  EXPECT_TRUE(r.message.contains(QStringLiteral("10.9.9.9"))) << r.message.toStdString();
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), factory);

  recorder.record(r);
  const QList<gw::HistoryEntry> entries = recorder.history().entries(kSpare);
  ASSERT_EQ(entries.size(), 1);
  EXPECT_FALSE(entries[0].succeeded);
  EXPECT_EQ(entries[0].config, wanted);  // what was sent, not what the module kept
  const QList<gw::ServiceLogLine> log = recorder.log().read();
  ASSERT_EQ(log.size(), 1);
  EXPECT_FALSE(log[0].succeeded);
  EXPECT_TRUE(log[0].reason.contains(QStringLiteral("line 1 differs"))) << log[0].reason.toStdString();
}

TEST_F(HistoryBench, RestoreRefusesNothingToSendAndCancelLeavesTheModuleUnknown) {
  const QByteArray factory = modbusConfig(QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kSpare, QStringLiteral("SPARE"), factory);
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), dataFolder());

  const gw::SessionOutcome empty = restore(kSpare, QByteArray());
  EXPECT_EQ(empty.failure, gw::SessionFailure::InvalidEntries);
  const gw::SessionOutcome noAddress = restore(QStringLiteral("BRIDGE1"), factory);
  EXPECT_EQ(noAddress.failure, gw::SessionFailure::NotAnAddress);
  EXPECT_TRUE(recorder.record(empty).historyId.isEmpty());
  EXPECT_TRUE(recorder.record(noAddress).historyId.isEmpty());
  EXPECT_TRUE(recorder.log().read().isEmpty());

  env.setLoaderBehaviour("HANG", "send");
  gw::RestoreSession s(runner, env.workDir());
  QSignalSpy done(&s, &gw::Session::finished);
  ASSERT_TRUE(s.start(kSpare, modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("new"))));
  ASSERT_TRUE(waitFor([&] { return s.state() == gw::Session::State::Loading; }));
  s.cancel();
  ASSERT_TRUE(waitFor([&] { return done.count() > 0; }, 60000));
  EXPECT_EQ(s.outcome().failure, gw::SessionFailure::Cancelled);
  EXPECT_TRUE(s.outcome().configurationUnknown());
  EXPECT_TRUE(env.runningLoaders().isEmpty());
  env.setLoaderBehaviour("HANG", {});
}

TEST_F(HistoryBench, ReadBackSaveAndVerifyLeaveTheirEntriesAndLogLines) {
  const QByteArray before = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("before"));
  env.addModule(kOld, QStringLiteral("BRIDGE7"), before);
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), dataFolder());
  QSignalSpy problems(&recorder, &gw::OperationRecorder::problem);

  gw::SessionOutcome r = read(kOld);
  ASSERT_TRUE(r.succeeded());
  r.bridgeName = QStringLiteral("BRIDGE7");
  recorder.record(r);

  gw::SaveSession save(runner, env.workDir());
  gw::SessionOutcome saved = drive(save, [&] {
    return save.start(kOld, modbusEntries(QStringLiteral("10.4.5.6"), QStringLiteral("after")), QString());
  });
  ASSERT_TRUE(saved.succeeded()) << saved.message.toStdString();
  saved.bridgeName = QStringLiteral("BRIDGE7");
  recorder.record(saved);

  gw::VerifySession verify(runner, env.workDir());
  const gw::SessionOutcome checked = drive(verify, [&] { return verify.start(kOld, saved.configSent); });
  ASSERT_TRUE(checked.succeeded()) << checked.message.toStdString();
  recorder.record(checked);

  const QList<gw::HistoryEntry> entries = recorder.history().entries(kOld);
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0].operation, gw::HistoryOperation::Verify);  // newest first
  EXPECT_EQ(entries[1].operation, gw::HistoryOperation::Save);
  EXPECT_EQ(entries[2].operation, gw::HistoryOperation::ReadBack);
  EXPECT_EQ(entries[2].config, before);
  EXPECT_EQ(entries[2].title, QStringLiteral("before"));
  EXPECT_EQ(entries[2].bridgeName, QStringLiteral("BRIDGE7"));
  EXPECT_EQ(entries[1].config, saved.configSent);
  EXPECT_EQ(entries[1].title, QStringLiteral("after"));
  EXPECT_EQ(entries[1].plcAddress(), QStringLiteral("10.4.5.6"));
  EXPECT_EQ(entries[0].config, saved.configSent);  // the module's file, as fetched
  for (const gw::HistoryEntry& e : entries) {
    EXPECT_EQ(e.tool, QStringLiteral("XAVE"));
    EXPECT_TRUE(e.succeeded);
    EXPECT_EQ(e.moduleAddress, kOld);
  }

  const QList<gw::ServiceLogLine> log = recorder.log().read();
  ASSERT_EQ(log.size(), 3);
  const QStringList ops{QStringLiteral("read-back"), QStringLiteral("save"), QStringLiteral("verify")};
  const QStringList plcs{QStringLiteral("10.1.2.3"), QStringLiteral("10.4.5.6"), QStringLiteral("10.4.5.6")};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(log[i].operation, ops[i]);
    EXPECT_EQ(log[i].plcAddress, plcs[i]);
    EXPECT_EQ(log[i].protocol, QStringLiteral("Modbus/TCP"));
    EXPECT_EQ(log[i].moduleAddress, kOld);
    EXPECT_TRUE(log[i].succeeded);
  }
  EXPECT_EQ(log[0].name, QStringLiteral("BRIDGE7"));
  EXPECT_EQ(log[1].title, QStringLiteral("after"));
  EXPECT_EQ(log[2].title, QStringLiteral("after"));
  EXPECT_EQ(problems.count(), 0);
}

TEST_F(HistoryBench, FailedOperationsAreLoggedButOnlyWhatTheModuleHeldIsKept) {
  env.addModule(kOld, QStringLiteral("BRIDGE7"), modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("t")));
  env.setPingDown({kOld});
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), dataFolder());

  const gw::SessionOutcome silent = read(kOld);
  ASSERT_EQ(silent.failure, gw::SessionFailure::NotAnswering);
  const auto rec = recorder.record(silent);
  EXPECT_TRUE(rec.historyId.isEmpty());
  EXPECT_TRUE(rec.logged);
  const QList<gw::ServiceLogLine> log = recorder.log().read();
  ASSERT_EQ(log.size(), 1);
  EXPECT_EQ(log[0].operation, QStringLiteral("read-back"));
  EXPECT_FALSE(log[0].succeeded);
  EXPECT_TRUE(log[0].reason.contains(QStringLiteral("does not answer"))) << log[0].reason.toStdString();
  EXPECT_TRUE(recorder.history().entries().isEmpty());
}

TEST_F(HistoryBench, UnwritableDataFolderIsToldOnceAndTheSaveStillGoesThrough) {
  env.addModule(kOld, QStringLiteral("BRIDGE7"), modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("t")));
  // A file where the folder should be: no history, no log can be written.
  const QString blocked = data.filePath(QStringLiteral("blocked"));
  ASSERT_TRUE(xav::writeWholeFile(blocked, "not a folder"));
  gw::OperationRecorder recorder(QStringLiteral("XAVE"), blocked + QStringLiteral("/xav"));
  QSignalSpy problems(&recorder, &gw::OperationRecorder::problem);

  const gw::SessionOutcome r = read(kOld);
  ASSERT_TRUE(r.succeeded());
  const auto rec = recorder.record(r);
  EXPECT_TRUE(rec.historyId.isEmpty());
  EXPECT_FALSE(rec.logged);

  gw::SaveSession save(runner, env.workDir());
  const gw::SessionOutcome saved = drive(save, [&] {
    return save.start(kOld, modbusEntries(QStringLiteral("10.4.5.6"), QStringLiteral("after")), QString(),
                      gw::SaveSession::Options{.verify = true});
  });
  EXPECT_TRUE(saved.succeeded()) << saved.message.toStdString();
  EXPECT_TRUE(saved.verified);
  EXPECT_EQ(env.moduleFile(kOld, QStringLiteral("Config.csv")), saved.configSent);
  recorder.record(saved);

  ASSERT_EQ(problems.count(), 1);  // one line in the status bar, not one per file per operation
  EXPECT_TRUE(problems[0][0].toString().contains(QStringLiteral("blocked"))) << problems[0][0].toString().toStdString();
}

}  // namespace
