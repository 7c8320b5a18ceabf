// Serial Verify against the simulated module on a pseudo-terminal, without
// a window: a record the module took, one it ignored, and silence.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "module_sim_process.h"
#include "serial_link.h"
#include "serial_record.h"
#include "serial_routines.h"
#include "serial_verify.h"
#include "test_support.h"

namespace {

using namespace xavcfg;
using xavcfg::testing::kCom;
using xavcfg::testing::ModuleSimProcess;
using xavcfg::testing::ScratchDir;

QByteArray pad(const QByteArray& head) { return head.leftJustified(kRecordLength, ' '); }

struct Line {
  xav::QtSerialLink link;
  SerialRoutines routines{&link};
  SerialVerifier verifier{routines};

  // Sends the record as Save does and waits until the module has seen it.
  bool save(ModuleSimProcess& sim, const QByteArray& record) {
    return routines.SendToModule(record + '\r') && sim.waitFor(QStringLiteral("RECORD"), 5000);
  }
  SerialVerifyResult verify(const QByteArray& record, int waitMs) {
    QSignalSpy done(&verifier, &SerialVerifier::finished);
    if (!verifier.start(record)) return {};
    if (!done.wait(waitMs)) return {};
    return done.at(0).at(0).value<SerialVerifyResult>();
  }
};

const char* kOldSettings = "4400010109600";

TEST(SerialVerifyBench, ModuleHoldsTheRecordItTook) {
  ScratchDir scratch;
  ModuleSimProcess sim({QStringLiteral("--settings"), QString::fromLatin1(kOldSettings)});
  ASSERT_TRUE(sim.ready);
  Line line;
  ASSERT_TRUE(line.routines.openPort(kCom));
  const QByteArray record = pad("@4400250709600");
  ASSERT_TRUE(line.save(sim, record));
  const SerialVerifyResult r = line.verify(record, 20000);
  EXPECT_EQ(r.kind, SerialVerifyResult::Kind::Holds) << qPrintable(r.message(QStringLiteral("COM 5")));
  EXPECT_EQ(r.message(QStringLiteral("COM 5")), QStringLiteral("Module holds the record sent"));
  EXPECT_EQ(r.reply.left(44), record.mid(1));
  // The same exchange as Connect: a wake-up, then the query.
  EXPECT_EQ(sim.count(QStringLiteral("WAKE")), 1);
  EXPECT_EQ(sim.count(QStringLiteral("QUERY 1")), 1);

  // A second record replaces the first; Verify follows it.
  const QByteArray df1 = pad("@5002160209600012");
  ASSERT_TRUE(line.save(sim, df1));
  EXPECT_TRUE(line.verify(df1, 20000).holds());
  EXPECT_FALSE(line.verify(record, 20000).holds());
}

TEST(SerialVerifyBench, IgnoredRecordIsNamedByItsFirstDifferingField) {
  ScratchDir scratch;
  ModuleSimProcess sim({QStringLiteral("--settings"), QString::fromLatin1(kOldSettings), QStringLiteral("--ignore-record"),
                        QStringLiteral("1")});
  ASSERT_TRUE(sim.ready);
  Line line;
  ASSERT_TRUE(line.routines.openPort(kCom));
  const QByteArray record = pad("@4400250709600");
  ASSERT_TRUE(line.save(sim, record));
  const SerialVerifyResult r = line.verify(record, 20000);
  EXPECT_EQ(r.kind, SerialVerifyResult::Kind::Differs);
  EXPECT_EQ(r.message(QStringLiteral("COM 5")),
            QStringLiteral("The module does not hold the record sent: Base register sent 40025, module holds 40001."));
  // Saved again, the module takes it.
  ASSERT_TRUE(line.save(sim, record));
  EXPECT_TRUE(line.verify(record, 20000).holds());
}

TEST(SerialVerifyBench, SilentModuleIsToldAfterTheSevenAttemptsOfConnect) {
  ScratchDir scratch;
  ModuleSimProcess sim({QStringLiteral("--silent")});
  ASSERT_TRUE(sim.ready);
  Line line;
  ASSERT_TRUE(line.routines.openPort(kCom));
  QSignalSpy countdown(&line.routines, &SerialRoutines::countdown);
  const QByteArray record = pad("@1000000000000");
  ASSERT_TRUE(line.save(sim, record));
  EXPECT_FALSE(line.verifier.start(QByteArray("@1")));  // no record: nothing sent
  const SerialVerifyResult r = line.verify(record, 40000);
  EXPECT_EQ(r.kind, SerialVerifyResult::Kind::NoAnswer);
  EXPECT_TRUE(r.message(QStringLiteral("COM 5")).contains(QStringLiteral("Press the BLACK button")));
  EXPECT_EQ(countdown.size(), 6);
  EXPECT_TRUE(sim.waitFor(QStringLiteral("QUERY 7"), 3000));
  EXPECT_FALSE(line.verifier.busy());
}

}  // namespace
