// xav-config's history, restore and log commands end to end: the program
// itself over the bench modules, from an empty data folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "bench_env.h"
#include "sample_config.h"

namespace {

using xave::testing::BenchEnv;

const QString kOld = QStringLiteral("127.0.0.51");
const QString kSpare = QStringLiteral("127.0.0.52");

QByteArray config(int protocol, const QString& plc, const QString& title) {
  return gw::testing::sampleConfig(protocol, plc, title, QStringLiteral("//RVSIM_Captions\r\nFeed"));
}

struct Ran {
  int status = -1;
  QByteArray out, err;
};

class HistoryCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString();
    qputenv("XAV_DATA_HOME", data.path().toLocal8Bit());
    program = QDir(qEnvironmentVariable("XAV_BIN_DIR")).filePath(QStringLiteral("xav-config"));
    ASSERT_TRUE(QFile::exists(program)) << program.toStdString();
  }
  void TearDown() override {
    qunsetenv("XAV_DATA_HOME");
    env.setLoaderBehaviour("KEEP_OLD", {});
  }

  Ran xav(QStringList args) {
    args << QStringLiteral("--utilities") << env.workDir();
    QProcess p;
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(120000)) {
      p.kill();
      p.waitForFinished();
      ADD_FAILURE() << "xav-config " << args.join(u' ').toStdString() << " did not end";
      return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
  }
  // The ids of the module's entries, newest first.
  QStringList ids(const QString& address) {
    const Ran r = xav({QStringLiteral("history"), address});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QStringList out;
    for (const QString& line : QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts)) out << line.section(u' ', 0, 0);
    return out;
  }

  BenchEnv env;
  QTemporaryDir data;
  QString program;
};

TEST_F(HistoryCli, ReadThenRestoreOntoTheSpareListsShowsAndLogsIt) {
  const QByteArray old = config(gw::kPccc, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const QByteArray factory = config(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kOld, QStringLiteral("OLD"), old);
  env.addModule(kSpare, QStringLiteral("SPARE"), factory);

  Ran r = xav({QStringLiteral("read"), kOld});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const QStringList oldIds = ids(kOld);
  ASSERT_EQ(oldIds.size(), 1);  // the read-back, kept by xav-config
  r = xav({QStringLiteral("history"), QStringLiteral("show"), oldIds[0], QStringLiteral("--config")});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, old);  // byte for byte

  r = xav({QStringLiteral("restore"), kSpare, oldIds[0]});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), old);
  const QString said = QString::fromUtf8(r.out);
  EXPECT_TRUE(said.contains(QStringLiteral("Protocol changes from Modbus/TCP to EtherNet/IP PCCC"))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("PLC address changes from 10.9.9.9 to 10.1.2.3"))) << said.toStdString();

  // The spare's history: the restore on top of the read taken before it.
  r = xav({QStringLiteral("history"), kSpare, QStringLiteral("--json")});
  ASSERT_EQ(r.status, 0);
  const QList<QByteArray> lines = r.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
  const QJsonObject top = QJsonDocument::fromJson(lines[0]).object();
  EXPECT_EQ(top.value(QStringLiteral("operation")).toString(), QStringLiteral("restore"));
  EXPECT_EQ(top.value(QStringLiteral("tool")).toString(), QStringLiteral("xav-config"));
  EXPECT_TRUE(top.value(QStringLiteral("ok")).toBool());
  EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object().value(QStringLiteral("title")).toString(), QStringLiteral("factory"));

  // The spare now holds the entry's file: no difference left.
  r = xav({QStringLiteral("history"), QStringLiteral("diff"), oldIds[0], QStringLiteral("--current"), kSpare});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("The files are identical.")) << r.out.toStdString();
  // Two entries: the changed lines, summary line first.
  const QStringList spareIds = ids(kSpare);
  ASSERT_GE(spareIds.size(), 3);
  r = xav({QStringLiteral("history"), QStringLiteral("diff"), spareIds.last(), spareIds.first()});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.contains("- //3-MODBUS/TCP, 10.9.9.9, 40001\n")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("+ //1-ETHERNET/IP-PCCC, 10.1.2.3, 7, 0\n")) << r.out.toStdString();

  // The log: read, read, restore, read (diff --current), in that order.
  r = xav({QStringLiteral("log"), QStringLiteral("--json")});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const QJsonArray log = QJsonDocument::fromJson(r.out).array();
  QStringList ops;
  for (const auto& v : log) ops << v.toObject().value(QStringLiteral("operation")).toString() + u' ' + v.toObject().value(QStringLiteral("module")).toString();
  EXPECT_EQ(ops, (QStringList{QStringLiteral("read-back ") + kOld, QStringLiteral("read-back ") + kSpare,
                              QStringLiteral("restore ") + kSpare, QStringLiteral("read-back ") + kSpare}));
  r = xav({QStringLiteral("log"), QStringLiteral("--module"), kOld});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.count("\r\n"), 2);  // heading and the one read
  EXPECT_TRUE(r.out.startsWith("time,tool,operation,module,"));
  r = xav({QStringLiteral("log"), QStringLiteral("--since"), QStringLiteral("2999-01-01")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.count("\r\n"), 1);
}

TEST_F(HistoryCli, RestoreOntoAModuleThatKeepsItsOldFileExitsOne) {
  const QByteArray factory = config(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kOld, QStringLiteral("OLD"), config(gw::kModbusTcp, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4")));
  env.addModule(kSpare, QStringLiteral("SPARE"), factory);
  ASSERT_EQ(xav({QStringLiteral("read"), kOld}).status, 0);
  const QStringList oldIds = ids(kOld);
  ASSERT_EQ(oldIds.size(), 1);

  env.setLoaderBehaviour("KEEP_OLD", "1");
  const Ran r = xav({QStringLiteral("restore"), kSpare, oldIds[0].left(5)});  // a unique prefix serves
  EXPECT_EQ(r.status, 1) << r.out.toStdString() << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("line 1 differs")) << r.err.toStdString();
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), factory);
  const Ran log = xav({QStringLiteral("log"), QStringLiteral("--module"), kSpare});
  EXPECT_TRUE(log.out.contains(",restore,")) << log.out.toStdString();
  EXPECT_TRUE(log.out.contains(",failed,")) << log.out.toStdString();
}

TEST_F(HistoryCli, UnwritableServiceLogIsToldOnceAndTheRestoreStillGoesThrough) {
  const QByteArray old = config(gw::kModbusTcp, QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  env.addModule(kOld, QStringLiteral("OLD"), old);
  env.addModule(kSpare, QStringLiteral("SPARE"), config(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("f")));
  ASSERT_EQ(xav({QStringLiteral("read"), kOld}).status, 0);
  const QStringList oldIds = ids(kOld);
  ASSERT_EQ(oldIds.size(), 1);
  // A folder in the log's place: no line can be appended, whatever the user's rights.
  QFile::remove(data.filePath(QStringLiteral("service-log.csv")));
  ASSERT_TRUE(QDir().mkpath(data.filePath(QStringLiteral("service-log.csv"))));

  const Ran r = xav({QStringLiteral("restore"), kSpare, oldIds[0]});  // a read-back and a restore, neither logged
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), old);
  EXPECT_EQ(r.err.count("could not be written"), 1) << r.err.toStdString();
  EXPECT_EQ(ids(kSpare).size(), 2);  // the history still kept both
}

TEST_F(HistoryCli, BadIdsAndArgumentsExitTwoAndTouchNoModule) {
  const QByteArray factory = config(gw::kModbusTcp, QStringLiteral("10.9.9.9"), QStringLiteral("factory"));
  env.addModule(kSpare, QStringLiteral("SPARE"), factory);
  for (const QStringList& args : {QStringList{QStringLiteral("restore"), kSpare, QStringLiteral("abcdef12")},
                                  QStringList{QStringLiteral("restore"), QStringLiteral("BRIDGE1"), QStringLiteral("abcd")},
                                  QStringList{QStringLiteral("restore"), kSpare},
                                  QStringList{QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("../../etc")},
                                  QStringList{QStringLiteral("history"), QStringLiteral("diff"), QStringLiteral("abcd")},
                                  QStringList{QStringLiteral("history"), QStringLiteral("a"), QStringLiteral("b")},
                                  QStringList{QStringLiteral("log"), QStringLiteral("--since"), QStringLiteral("soon")}}) {
    const Ran r = xav(args);
    EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
  }
  EXPECT_EQ(env.moduleFile(kSpare, QStringLiteral("Config.csv")), factory);
  EXPECT_TRUE(env.pingedAddresses().isEmpty());
  const Ran empty = xav({QStringLiteral("history")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_TRUE(empty.out.isEmpty());
}

}  // namespace
