// xav-config end to end: the built program run against the bench modules in
// a temporary working folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>

#include "bench_env.h"
#include "files.h"
#include "profiles.h"
#include "sessions.h"

namespace {

using xave::testing::BenchEnv;
using xave::testing::waitFor;

QByteArray golden(const char* name) {
  QByteArray data;
  EXPECT_TRUE(xav::readWholeFile(QDir(QStringLiteral(XAV_GOLDEN_DIR)).filePath(QLatin1String(name)), &data)) << name;
  return data;
}

QString program() {
  QString dir = qEnvironmentVariable("XAV_BIN_DIR");
  if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath();
  return QDir(dir).filePath(QStringLiteral("xav-config"));
}

struct Result {
  int exitCode = -1;
  QStringList out;  // standard output, line by line
  QString err;
};

// A plan whose second row names a module that does not answer.
const QByteArray kPlan =
    "address,protocol,plc,file,base,slot,register,title\r\n"
    "127.0.0.2,modbus,010.001.002.003,,,,,Line 4 distributors\r\n"
    "127.0.0.44,cip,172.16.0.5,,,3,,Packing\r\n"
    "127.0.0.3,pccc,192.168.0.20,255,214,,,Press 2\r\n";

class XavConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.problem().isEmpty()) << env_.problem().toStdString();
    env_.addModule(QStringLiteral("127.0.0.2"), QStringLiteral("Bridge_A"), golden("cip_slot3.csv"));
    env_.addModule(QStringLiteral("127.0.0.3"), QStringLiteral("Bridge_B"), golden("cip_slot3.csv"));
  }
  void TearDown() override { qunsetenv("XAV_BENCH_RUINET_HANG"); }

  Result run(const QStringList& args) {
    QProcess p;
    p.start(program(), args);
    return finish(p);
  }
  Result finish(QProcess& p) {
    Result r;
    EXPECT_TRUE(p.waitForFinished(120000)) << "xav-config did not end";
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
  }
  QString writePlan(const QByteArray& text) {
    const QString path = env_.workFile(QStringLiteral("plan.csv"));
    EXPECT_TRUE(xav::writeWholeFile(path, text));
    return path;
  }
  QByteArray held(const char* address) { return env_.moduleFile(QLatin1String(address), QStringLiteral("Config.csv")); }

  BenchEnv env_;
};

TEST_F(XavConfig, BatchGoesOnPastAFailedRowAndReportsEachRow) {
  const Result r = run({QStringLiteral("batch"), writePlan(kPlan)});
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  ASSERT_EQ(r.out.size(), 4) << r.out.join(u'\n').toStdString();
  EXPECT_TRUE(r.out[0].startsWith(QStringLiteral("line 2: 127.0.0.2: ok - Config.csv loaded to 127.0.0.2 at ")))
      << r.out[0].toStdString();
  EXPECT_TRUE(r.out[0].endsWith(QStringLiteral("; Module holds the configuration sent"))) << r.out[0].toStdString();
  EXPECT_EQ(r.out[1], "line 3: 127.0.0.44: FAILED - The module at 127.0.0.44 does not answer a ping.");
  EXPECT_TRUE(r.out[2].startsWith(QStringLiteral("line 4: 127.0.0.3: ok - "))) << r.out[2].toStdString();
  EXPECT_EQ(r.out[3], "2 of 3 modules configured and verified, 1 failed");
  EXPECT_TRUE(r.err.contains(QStringLiteral("127.0.0.44: The module at 127.0.0.44 does not answer a ping.")))
      << r.err.toStdString();

  // The files the modules now hold are those an XAVE save of the same
  // entries writes, byte for byte.
  EXPECT_EQ(held("127.0.0.2"), golden("modbus_40001.csv"));
  EXPECT_EQ(held("127.0.0.3"), golden("pccc_255_214.csv"));
  // Nothing of the run is left in the working folder.
  EXPECT_FALSE(QFile::exists(env_.workFile(QStringLiteral("Config.csv"))));
}

TEST_F(XavConfig, BatchInJsonGivesOneObjectPerRowAndTheSummary) {
  const Result r = run({QStringLiteral("batch"), writePlan(kPlan), QStringLiteral("--json")});
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  ASSERT_EQ(r.out.size(), 4);
  QList<QJsonObject> objects;
  for (const QString& line : r.out) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
    ASSERT_TRUE(doc.isObject()) << line.toStdString();
    objects << doc.object();
  }
  const struct {
    int line;
    const char* address;
    bool ok;
    const char* outcome;
  } rows[] = {{2, "127.0.0.2", true, "ok"}, {3, "127.0.0.44", false, "not-answering"}, {4, "127.0.0.3", true, "ok"}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(rows[i].address);
    EXPECT_EQ(objects[i]["line"].toInt(), rows[i].line);
    EXPECT_EQ(objects[i]["address"].toString(), QLatin1String(rows[i].address));
    EXPECT_EQ(objects[i]["ok"].toBool(), rows[i].ok);
    EXPECT_EQ(objects[i]["outcome"].toString(), QLatin1String(rows[i].outcome));
    EXPECT_EQ(objects[i]["verified"].toBool(), rows[i].ok);
  }
  EXPECT_EQ(objects[3]["succeeded"].toInt(), 2);
  EXPECT_EQ(objects[3]["failed"].toInt(), 1);
  EXPECT_EQ(objects[3]["rows"].toInt(), 3);
}

TEST_F(XavConfig, DryRunWritesTheSameFilesAndTouchesNoModule) {
  const QByteArray before = held("127.0.0.2");
  const Result r = run({QStringLiteral("batch"), writePlan(kPlan), QStringLiteral("--dry-run"), QStringLiteral("out")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  QByteArray file;
  ASSERT_TRUE(xav::readWholeFile(env_.workFile(QStringLiteral("out/127.0.0.2/Config.csv")), &file));
  EXPECT_EQ(file, golden("modbus_40001.csv"));
  ASSERT_TRUE(xav::readWholeFile(env_.workFile(QStringLiteral("out/127.0.0.3/Config.csv")), &file));
  EXPECT_EQ(file, golden("pccc_255_214.csv"));
  EXPECT_EQ(held("127.0.0.2"), before);
  EXPECT_TRUE(env_.pingedAddresses().isEmpty());
}

TEST_F(XavConfig, SaveKeepsTheModulesCaptionsTailAsAReadBackDoes) {
  env_.setModuleFile(QStringLiteral("127.0.0.2"), QStringLiteral("Config.csv"), golden("modbus_465514_tail.csv"));
  // No title given: the module's own stays, as after a window's read-back.
  const Result r = run({QStringLiteral("save"), QStringLiteral("127.0.0.2"), QStringLiteral("--protocol"),
                        QStringLiteral("modbus"), QStringLiteral("--plc"), QStringLiteral("192.168.1.10"),
                        QStringLiteral("--register"), QStringLiteral("465514")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(held("127.0.0.2"), golden("modbus_465514_tail.csv"));
}

TEST_F(XavConfig, AnInvalidPlanIsRefusedBeforeAnyModuleIsTouched) {
  const struct {
    const char* name;
    QByteArray plan;
    const char* error;
  } cases[] = {
      {"bad row", kPlan + "127.0.0.5,modbus,10.1.2.3,,,,39999,Low register\r\n", "line 5: "},
      {"duplicate address", kPlan + "127.000.000.002,cip,10.1.2.3,,,1,,Again\r\n",
       "line 5: module 127.0.0.2 is already planned on line 2"},
      {"unknown protocol", kPlan + "127.0.0.6,devicenet,10.1.2.3,,,,,\r\n", "line 5: protocol \"devicenet\""},
  };
  const QByteArray before2 = held("127.0.0.2"), before3 = held("127.0.0.3");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = run({QStringLiteral("batch"), writePlan(c.plan)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.join(u'\n').toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(c.error))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("plan refused; no module was touched"))) << r.err.toStdString();
  }
  EXPECT_TRUE(env_.pingedAddresses().isEmpty());
  EXPECT_EQ(held("127.0.0.2"), before2);
  EXPECT_EQ(held("127.0.0.3"), before3);
}

// A loader that never ends: stopped at --timeout or by Ctrl-C, it and all it
// started are gone when xav-config ends, and the operator is told to read
// the module back.
TEST_F(XavConfig, AHungLoaderStopsAtTheTimeoutOrCtrlCAndLeavesNoProcess) {
  qputenv("XAV_BENCH_RUINET_HANG", "send");
  for (const bool interrupt : {false, true}) {
    SCOPED_TRACE(interrupt ? "Ctrl-C" : "timeout");
    QProcess p;
    // The timeout only has to stop the loader that never ends; the other
    // runs take a fraction of it.
    p.start(program(), {QStringLiteral("batch"), writePlan(kPlan), QStringLiteral("--timeout"),
                        interrupt ? QStringLiteral("600") : QStringLiteral("5")});
    ASSERT_TRUE(p.waitForStarted());
    if (interrupt) {
      // The send that hangs, not one of the fetches before it.
      ASSERT_TRUE(waitFor([&] { return !env_.runningLoaders(QStringLiteral("-u0")).isEmpty(); }, 60000));
      ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    }
    const Result r = finish(p);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(env_.runningLoaders().isEmpty()) << "a loader outlived xav-config";
    EXPECT_TRUE(r.err.contains(QStringLiteral("127.0.0.2: The operation was cancelled before it ended. The configuration "
                                              "of the module at 127.0.0.2 is now unknown")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("read it back (xav-config read 127.0.0.2)"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(interrupt ? QStringLiteral("was interrupted") : QStringLiteral("timed out")))
        << r.err.toStdString();
    ASSERT_FALSE(r.out.isEmpty());
    if (interrupt) {
      // Ctrl-C ends the batch: the later rows are not started.
      EXPECT_EQ(r.out.back(), "0 of 3 modules configured and verified, 1 failed, 2 not started");
    } else {
      EXPECT_EQ(r.out.back(), "0 of 3 modules configured and verified, 3 failed");
    }
  }
}

TEST_F(XavConfig, HelpListsEveryCommandAndOption) {
  const Result all = run({QStringLiteral("--help")});
  EXPECT_EQ(all.exitCode, 0);
  const QString text = all.out.join(u'\n');
  for (const char* word : {"discover", "read ADDRESS", "save ADDRESS", "verify ADDRESS --file F",
                           "set-ip ADDRESS --ip NEW [--mask M]", "batch PLAN.csv", "--dry-run", "--json",
                           "--utilities DIR", "--timeout S", "--no-verify"})
    EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
  const Result save = run({QStringLiteral("save"), QStringLiteral("--help")});
  const QString saveText = save.out.join(u'\n');
  for (const char* option : {"--protocol", "--plc", "--file", "--base", "--slot", "--register", "--title", "--no-verify",
                             "--json", "--timeout", "--utilities"})
    EXPECT_TRUE(saveText.contains(QLatin1String(option))) << option;
  EXPECT_EQ(run({QStringLiteral("frobnicate")}).exitCode, 2);
}

}  // namespace
