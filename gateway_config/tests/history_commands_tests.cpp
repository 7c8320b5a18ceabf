// The history and log commands on a temporary data folder (restore and
// diff --current reach a module: history_cli_tests run them on the bench).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "history_commands.h"
#include "sample_config.h"

namespace {

using gw::HistoryEntry;
using gw::HistoryOperation;

QByteArray modbusConfig(const QString& plc, const QString& title) {
  return gw::testing::modbusConfig(plc, title, QStringLiteral("//RVSIM_Captions\r\nDrive A"));
}

struct Rig {
  QTemporaryDir dir;
  gw::HistoryStore history{dir.path()};
  gw::ServiceLog log{dir.path()};
  QBuffer out, err;

  Rig() {
    out.open(QIODevice::ReadWrite);
    err.open(QIODevice::ReadWrite);
  }
  int run(const QStringList& words) {
    out.buffer().clear();
    out.seek(0);
    err.buffer().clear();
    err.seek(0);
    gw::CommandContext c{history, log, out, err};
    return gw::runHistoryCommand(c, words);
  }
  QString outText() const { return QString::fromUtf8(out.data()); }
  QString errText() const { return QString::fromUtf8(err.data()); }
  QString keepSave(const QString& module, const QByteArray& config, const QString& bridge = QString()) {
    HistoryEntry e;
    e.tool = QStringLiteral("XAVE");
    e.operation = HistoryOperation::Save;
    e.moduleAddress = module;
    e.bridgeName = bridge;
    e.config = config;
    e.outcome = QStringLiteral("Module holds the configuration sent");
    return history.record(e).id;
  }
};

TEST(HistoryCommands, ListShowAndDiffEntries) {
  Rig rig;
  const QByteArray first = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const QByteArray second = modbusConfig(QStringLiteral("10.1.2.9"), QStringLiteral("Press 4"));
  const QString a = rig.keepSave(QStringLiteral("192.168.1.20"), first, QStringLiteral("BRIDGE1"));
  const QString b = rig.keepSave(QStringLiteral("192.168.1.20"), second);
  rig.keepSave(QStringLiteral("192.168.1.21"), second);

  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("192.168.1.20")}), 0);
  const QStringList lines = rig.outText().split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(b + QStringLiteral("  "))) << qPrintable(lines[0]);
  EXPECT_TRUE(lines[1].contains(QStringLiteral("  save  192.168.1.20 (BRIDGE1)  Modbus/TCP 10.1.2.3  \"Press 4\"  Module holds")))
      << qPrintable(lines[1]);
  EXPECT_EQ(rig.run({QStringLiteral("history")}), 0);
  EXPECT_EQ(rig.outText().count(u'\n'), 3);

  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("show"), a}), 0);
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("Bridge name: BRIDGE1\n")));
  EXPECT_TRUE(rig.outText().endsWith(QString::fromLatin1(first)));
  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("show"), a, QStringLiteral("--config")}), 0);
  EXPECT_EQ(rig.out.data(), first);  // byte for byte, to be saved as a file

  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("diff"), a, b}), 0);
  EXPECT_EQ(rig.outText().count(QStringLiteral("\n- ")), 2);
  EXPECT_EQ(rig.outText().count(QStringLiteral("\n+ ")), 2);
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("\n+ //3-MODBUS/TCP, 10.1.2.9, 40001\n")));

  // Bad arguments: status 2, nothing on standard output.
  for (const QStringList& words :
       {QStringList{QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("ffffffff")},
        QStringList{QStringLiteral("history"), QStringLiteral("show")},
        QStringList{QStringLiteral("history"), QStringLiteral("diff"), a},
        QStringList{QStringLiteral("history"), QStringLiteral("diff"), a, QStringLiteral("--current")},
        QStringList{QStringLiteral("history"), QStringLiteral("not-an-address")},
        QStringList{QStringLiteral("restore"), QStringLiteral("192.168.1.20"), a},
        QStringList{QStringLiteral("log"), QStringLiteral("--since")},
        QStringList{QStringLiteral("log"), QStringLiteral("--since"), QStringLiteral("soon")}}) {
    EXPECT_EQ(rig.run(words), 2) << qPrintable(words.join(u' '));
    EXPECT_TRUE(rig.out.data().isEmpty()) << qPrintable(words.join(u' '));
    EXPECT_FALSE(rig.errText().isEmpty()) << qPrintable(words.join(u' '));
  }
}

TEST(HistoryCommands, LogPrintsCsvOrJsonFiltered) {
  Rig rig;
  auto add = [&](const QString& module, const QDateTime& at) {
    gw::ServiceLogLine l;
    l.time = at;
    l.tool = QStringLiteral("XAVE");
    l.operation = QStringLiteral("save");
    l.moduleAddress = module;
    l.title = QStringLiteral("Press, 4");
    rig.log.append(l);
  };
  const QDateTime day(QDate(2026, 12, 1), QTime(9, 0));
  add(QStringLiteral("192.168.1.20"), day);
  add(QStringLiteral("192.168.1.21"), day.addDays(3));
  add(QStringLiteral("192.168.1.20"), day.addDays(5));

  EXPECT_EQ(rig.run({QStringLiteral("log")}), 0);
  EXPECT_EQ(rig.outText().count(QStringLiteral("\r\n")), 4);
  EXPECT_TRUE(rig.outText().startsWith(QStringLiteral("time,tool,operation,module,")));
  EXPECT_TRUE(rig.outText().contains(QStringLiteral(",\"Press, 4\",")));

  EXPECT_EQ(rig.run({QStringLiteral("log"), QStringLiteral("--since"), QStringLiteral("2026-12-03"), QStringLiteral("--module"),
                     QStringLiteral("192.168.1.20"), QStringLiteral("--json")}),
            0);
  const QJsonArray lines = QJsonDocument::fromJson(rig.out.data()).array();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0].toObject().value(QStringLiteral("module")).toString(), QStringLiteral("192.168.1.20"));
  EXPECT_EQ(lines[0].toObject().value(QStringLiteral("title")).toString(), QStringLiteral("Press, 4"));
  EXPECT_TRUE(lines[0].toObject().value(QStringLiteral("time")).toString().startsWith(QStringLiteral("2026-12-06T09:00:00")));
}

}  // namespace
