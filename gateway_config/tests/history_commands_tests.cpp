// The history, restore and log commands end to end on a temporary data
// folder, with two fake modules behind the fetch and upload.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

#include "files.h"
#include "history_commands.h"
#include "profiles.h"

namespace {

using gw::HistoryEntry;
using gw::HistoryOperation;

QByteArray modbusConfig(const QString& plc, const QString& title) {
  gw::ConfigEntries e;
  e.protocol = gw::kModbusTcp;
  e.plcAddress = plc;
  e.plcAddressValid = true;
  e.title = title;
  return gw::generateConfig(e, QStringLiteral("//RVSIM_Captions\r\nDrive A")).bytes;
}

// Modules by address, each holding its Config.csv.
struct FakeModules {
  QMap<QString, QByteArray> files;
  QStringList calls;
  bool uploadFails = false;
  std::function<QByteArray(const QByteArray&)> keeps = [](const QByteArray& b) { return b; };

  gw::ModuleAccess access() {
    gw::ModuleAccess a;
    a.fetch = [this](const QString& address) {
      calls << QStringLiteral("fetch ") + address;
      gw::FetchedConfig f;
      f.ok = files.contains(address);
      if (f.ok) f.bytes = files[address];
      else f.error = QStringLiteral("no Config.csv came back");
      return f;
    };
    a.upload = [this](const QString& address, const QByteArray& config) {
      calls << QStringLiteral("upload ") + address;
      gw::UploadOutcome u;
      u.ok = !uploadFails;
      if (u.ok) files[address] = keeps(config);
      else u.error = QStringLiteral("ruinet ended with exit status 1.");
      return u;
    };
    return a;
  }
};

struct Rig {
  QTemporaryDir dir;
  gw::HistoryStore history{dir.path()};
  gw::ServiceLog log{dir.path()};
  QBuffer out, err;
  FakeModules modules;

  Rig() {
    out.open(QIODevice::ReadWrite);
    err.open(QIODevice::ReadWrite);
  }
  int run(const QStringList& words) {
    out.buffer().clear();
    out.seek(0);
    err.buffer().clear();
    err.seek(0);
    gw::CommandContext c{history, log, out, err, modules.access()};
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
        QStringList{QStringLiteral("restore"), QStringLiteral("192.168.1.20")},
        QStringList{QStringLiteral("log"), QStringLiteral("--since")},
        QStringList{QStringLiteral("log"), QStringLiteral("--since"), QStringLiteral("soon")}}) {
    EXPECT_EQ(rig.run(words), 2) << qPrintable(words.join(u' '));
    EXPECT_TRUE(rig.out.data().isEmpty()) << qPrintable(words.join(u' '));
    EXPECT_FALSE(rig.errText().isEmpty()) << qPrintable(words.join(u' '));
  }
}

TEST(HistoryCommands, DiffAgainstTheModuleKeepsTheReadBack) {
  Rig rig;
  const QString a = rig.keepSave(QStringLiteral("192.168.1.20"), modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4")));
  rig.modules.files[QStringLiteral("192.168.1.20")] = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 5"));
  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("diff"), a, QStringLiteral("--current"), QStringLiteral("192.168.001.020")}), 0);
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("\n+ Press 5 , 11\n")));
  const auto list = rig.history.entries(QStringLiteral("192.168.1.20"));
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list[0].operation, HistoryOperation::ReadBack);
  EXPECT_EQ(list[0].config, rig.modules.files[QStringLiteral("192.168.1.20")]);
  EXPECT_EQ(rig.log.read().size(), 1);

  EXPECT_EQ(rig.run({QStringLiteral("history"), QStringLiteral("diff"), a, QStringLiteral("--current"), QStringLiteral("192.168.1.99")}), 1);
  EXPECT_TRUE(rig.errText().contains(QStringLiteral("could not be fetched")));
}

TEST(HistoryCommands, RestoreGivesTheReplacementTheSameBytesAndVerifies) {
  Rig rig;
  const QByteArray old = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const QString id = rig.keepSave(QStringLiteral("192.168.1.20"), old, QStringLiteral("BRIDGE1"));
  // The spare still carries its factory file, another protocol and PLC.
  gw::ConfigEntries spare;
  spare.protocol = gw::kCip;
  spare.plcAddress = QStringLiteral("192.168.1.1");
  spare.plcAddressValid = true;
  rig.modules.files[QStringLiteral("192.168.1.20")] = gw::generateConfig(spare, QString()).bytes;

  EXPECT_EQ(rig.run({QStringLiteral("restore"), QStringLiteral("192.168.1.20"), id}), 0) << qPrintable(rig.errText());
  EXPECT_EQ(rig.modules.files[QStringLiteral("192.168.1.20")], old);
  EXPECT_EQ(rig.modules.calls, (QStringList{QStringLiteral("fetch 192.168.1.20"), QStringLiteral("upload 192.168.1.20"),
                                            QStringLiteral("fetch 192.168.1.20")}));
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("title \"Press 4\"")));
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("Protocol changes from EtherNet/IP CIP to Modbus/TCP.")));
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("PLC address changes from 192.168.1.1 to 10.1.2.3.")));
  EXPECT_TRUE(rig.outText().contains(QStringLiteral("Module holds the configuration sent")));
  const HistoryEntry latest = rig.history.entries().first();
  EXPECT_EQ(latest.operation, HistoryOperation::Restore);
  EXPECT_TRUE(latest.succeeded);
  EXPECT_EQ(latest.config, old);
  const auto logged = rig.log.read();
  ASSERT_EQ(logged.size(), 1);
  EXPECT_EQ(logged[0].operation, QStringLiteral("restore"));
  EXPECT_EQ(logged[0].title, QStringLiteral("Press 4"));
  EXPECT_EQ(logged[0].plcAddress, QStringLiteral("10.1.2.3"));
  EXPECT_TRUE(logged[0].succeeded);
}

TEST(HistoryCommands, RestoreFailsOnAMismatchOrAFailedUpload) {
  Rig rig;
  const QByteArray old = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const QString id = rig.keepSave(QStringLiteral("192.168.1.20"), old);
  // A module that cuts its file short: the verify names the line.
  rig.modules.keeps = [](const QByteArray& b) { return b.left(b.indexOf("//RVSIM_Captions")); };
  EXPECT_EQ(rig.run({QStringLiteral("restore"), QStringLiteral("192.168.1.21"), id}), 1);
  EXPECT_TRUE(rig.errText().contains(QStringLiteral("differs")) || rig.errText().contains(QStringLiteral("Line")))
      << qPrintable(rig.errText());
  EXPECT_FALSE(rig.history.entries(QStringLiteral("192.168.1.21")).first().succeeded);

  rig.modules.uploadFails = true;
  EXPECT_EQ(rig.run({QStringLiteral("restore"), QStringLiteral("192.168.1.22"), id}), 1);
  EXPECT_TRUE(rig.errText().contains(QStringLiteral("NOT loaded to 192.168.1.22")));
  EXPECT_EQ(rig.modules.calls.count(QStringLiteral("fetch 192.168.1.22")), 1);  // no verify after a failed upload
  EXPECT_EQ(rig.log.read({{}, QStringLiteral("192.168.1.22")}).size(), 1);

  // An entry without a Config.csv is nothing to restore.
  HistoryEntry ip;
  ip.operation = HistoryOperation::IpChange;
  ip.moduleAddress = QStringLiteral("192.168.1.20");
  ip.networkAfter = "N1_IP = 1.2.3.4\r\n";
  EXPECT_EQ(rig.run({QStringLiteral("restore"), QStringLiteral("192.168.1.20"), rig.history.record(ip).id}), 2);
}

TEST(HistoryCommands, UnwritableDataFolderIsToldAndTheRestoreStillGoesThrough) {
  Rig rig;
  const QByteArray old = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"));
  const auto entry = rig.history.entry(rig.keepSave(QStringLiteral("192.168.1.20"), old));
  ASSERT_TRUE(entry);
  // A data folder where neither an entry nor a log line can be written,
  // whatever the user's rights: files and folders in the way.
  QTemporaryDir blocked;
  xav::writeWholeFile(blocked.filePath(QStringLiteral("history")), "in the way");
  QDir().mkpath(blocked.filePath(QStringLiteral("service-log.csv")));
  gw::HistoryStore history(blocked.path());
  gw::ServiceLog log(blocked.path());
  gw::CommandContext c{history, log, rig.out, rig.err, rig.modules.access()};
  EXPECT_EQ(gw::restoreEntry(c, QStringLiteral("192.168.1.20"), *entry), 0) << rig.errText().toStdString();
  EXPECT_EQ(rig.modules.files[QStringLiteral("192.168.1.20")], old);
  EXPECT_EQ(rig.errText().count(QStringLiteral("module history could not be kept")), 1) << rig.errText().toStdString();
  EXPECT_EQ(rig.errText().count(QStringLiteral("service log")), 1) << rig.errText().toStdString();
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
