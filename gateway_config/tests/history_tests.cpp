// The module history (entries on disk, their order and ids, a folder that
// cannot be written), the line-by-line comparison of two Config.csv files,
// and the service log's CSV.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>

#include "files.h"
#include "history.h"
#include "sample_config.h"
#include "service_log.h"

namespace {

using gw::HistoryEntry;
using gw::HistoryOperation;
using gw::HistoryStore;

using gw::testing::modbusConfig;

HistoryEntry saveEntry(const QString& module, const QByteArray& config) {
  HistoryEntry e;
  e.tool = QStringLiteral("XAVE");
  e.operation = HistoryOperation::Save;
  e.moduleAddress = module;
  e.config = config;
  e.outcome = QStringLiteral("Module holds the configuration sent");
  return e;
}

// A clock that the test moves on by hand.
struct Clock {
  QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(14, 0), QTimeZone(3600));
  std::function<QDateTime()> fn() {
    return [this] { return now; };
  }
};

TEST(History, EntryKeepsEveryByteAndItsDetails) {
  QTemporaryDir dir;
  HistoryStore store(dir.path());
  Clock clock;
  store.setClock(clock.fn());
  QByteArray config = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"), QStringLiteral("//RVSIM_Captions\r\nCaf\xe9"));
  config += QByteArray("\x00\x01 no line end", 14);  // whatever the module held comes back as it was
  HistoryEntry e = saveEntry(QStringLiteral("192.168.001.020"), config);
  e.bridgeName = QStringLiteral("BRIDGE1");
  const gw::RecordResult r = store.record(e);
  ASSERT_TRUE(r.stored) << qPrintable(r.error);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{8}$")).match(r.id).hasMatch()) << qPrintable(r.id);
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("history/%1.json").arg(r.id))));

  const auto back = store.entry(r.id);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->config, config);
  EXPECT_EQ(back->moduleAddress, QStringLiteral("192.168.1.20"));
  EXPECT_EQ(back->bridgeName, QStringLiteral("BRIDGE1"));
  EXPECT_EQ(back->title, QStringLiteral("Press 4"));
  EXPECT_EQ(back->summaryLine, QStringLiteral("//3-MODBUS/TCP, 10.1.2.3, 40001"));
  EXPECT_EQ(back->protocolAndPlc(), QStringLiteral("Modbus/TCP 10.1.2.3"));
  EXPECT_EQ(back->operation, HistoryOperation::Save);
  EXPECT_EQ(back->time, clock.now);
  EXPECT_EQ(back->time.offsetFromUtc(), 3600);
  EXPECT_EQ(gw::isoTimeWithOffset(back->time), QStringLiteral("2026-12-09T14:00:00+01:00"));

  // A prefix finds it; names that could leave the folder find nothing.
  EXPECT_TRUE(store.entry(r.id.left(4)));
  EXPECT_FALSE(store.entry(r.id.left(3)));
  EXPECT_FALSE(store.entry(QStringLiteral("../history/") + r.id));
  EXPECT_FALSE(store.entry(QStringLiteral("zzzzzzzz")));
}

TEST(History, EntriesAreFilteredByModuleAndNewestFirst) {
  QTemporaryDir dir;
  HistoryStore store(dir.path());
  Clock clock;
  store.setClock(clock.fn());
  const QByteArray config = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("A"));
  // Kept in one second: the order of keeping still holds.
  const QString first = store.record(saveEntry(QStringLiteral("192.168.1.20"), config)).id;
  const QString second = store.record(saveEntry(QStringLiteral("192.168.1.20"), config)).id;
  EXPECT_NE(first, second);
  store.record(saveEntry(QStringLiteral("192.168.1.21"), config));
  // An entry stamped earlier by another tool sorts by its time, not by when it was kept.
  HistoryEntry older = saveEntry(QStringLiteral("192.168.1.20"), config);
  older.time = clock.now.addDays(-1);
  const QString oldest = store.record(older).id;

  // Files that are not entries are passed over.
  xav::writeWholeFile(dir.filePath(QStringLiteral("history/0000aaaa.json")), "{\"format\": 1, \"id\": \"0000");
  xav::writeWholeFile(dir.filePath(QStringLiteral("history/notes.txt")), "hello");

  QStringList ids;
  for (const HistoryEntry& e : store.entries(QStringLiteral("192.168.001.020"))) ids << e.id;
  EXPECT_EQ(ids, (QStringList{second, first, oldest}));
  EXPECT_EQ(store.entries().size(), 4);
  EXPECT_TRUE(store.entries(QStringLiteral("192.168.1.99")).isEmpty());
}

TEST(History, UnwritableFolderIsToldOnceAndTheEntryIsReported) {
  QTemporaryDir dir;
  // A file where the history folder should be: no entry can be written,
  // whatever the user's rights.
  xav::writeWholeFile(dir.filePath(QStringLiteral("history")), "in the way");
  HistoryStore store(dir.path());
  QSignalSpy told(&store, &HistoryStore::storageProblem);
  const QByteArray config = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("A"));
  const gw::RecordResult r1 = store.record(saveEntry(QStringLiteral("192.168.1.20"), config));
  const gw::RecordResult r2 = store.record(saveEntry(QStringLiteral("192.168.1.20"), config));
  EXPECT_FALSE(r1.stored);
  EXPECT_FALSE(r2.stored);
  EXPECT_FALSE(r1.error.isEmpty());
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told.at(0).at(0).toString().contains(QStringLiteral("goes on")));

  // Once the folder is usable again, a later failure is told again.
  QFile::remove(dir.filePath(QStringLiteral("history")));
  EXPECT_TRUE(store.record(saveEntry(QStringLiteral("192.168.1.20"), config)).stored);
  QDir(dir.filePath(QStringLiteral("history"))).removeRecursively();
  xav::writeWholeFile(dir.filePath(QStringLiteral("history")), "in the way");
  store.record(saveEntry(QStringLiteral("192.168.1.20"), config));
  EXPECT_EQ(told.size(), 2);
}

TEST(History, IpChangeKeepsBothNetworkFiles) {
  QTemporaryDir dir;
  HistoryStore store(dir.path());
  HistoryEntry e;
  e.tool = QStringLiteral("XAVE");
  e.operation = HistoryOperation::IpChange;
  e.moduleAddress = QStringLiteral("192.168.1.20");
  e.networkBefore = "a\r\nb\r\nc\r\nd\r\nN1_IP = 192.168.1.20\nN1_NETMASK = 255.255.255.0\n";
  e.networkAfter = "a\r\nb\r\nc\r\nd\r\nN1_IP = 192.168.1.50\r\nN1_NETMASK = 255.255.255.0\r\n\r\n";
  const auto back = store.entry(store.record(e).id);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->networkBefore, e.networkBefore);
  EXPECT_EQ(back->networkAfter, e.networkAfter);
  EXPECT_TRUE(back->config.isEmpty());
  EXPECT_EQ(back->operation, HistoryOperation::IpChange);
}

QStringList marked(const QList<gw::DiffLine>& lines) {
  QStringList out;
  for (const gw::DiffLine& l : lines) {
    if (l.kind == gw::DiffLine::Kind::Same) continue;
    out << (l.kind == gw::DiffLine::Kind::OnlyFirst ? QStringLiteral("- ") : QStringLiteral("+ ")) + l.text;
  }
  return out;
}

TEST(ConfigDiff, ShowsExactlyTheChangedLinesWithTheKeyRowsFirst) {
  const QByteArray a = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("Press 4"),
                                    QStringLiteral("//RVSIM_Captions\r\nNodes\r\nDrive A"));
  const QByteArray b = modbusConfig(QStringLiteral("10.1.2.9"), QStringLiteral("Press 5"),
                                    QStringLiteral("//RVSIM_Captions\r\nNodes\r\nDrive B"));
  const gw::ConfigDiff d = gw::diffConfigs(a, b);
  EXPECT_EQ(marked(d.key),
            (QStringList{QStringLiteral("- //3-MODBUS/TCP, 10.1.2.3, 40001"), QStringLiteral("+ //3-MODBUS/TCP, 10.1.2.9, 40001"),
                         QStringLiteral("- PLC_01   , 01     , Modbus/TCP, N1     , 10.1.2.3  , 15.000s"),
                         QStringLiteral("+ PLC_01   , 01     , Modbus/TCP, N1     , 10.1.2.9  , 15.000s")}));
  // The title rows and the captions (whose "Nodes" is no section) come after.
  EXPECT_EQ(marked(d.rest), (QStringList{QStringLiteral("- Press 4 , 11"), QStringLiteral("+ Press 5 , 11"),
                                         QStringLiteral("- DA_Title , Press 4 , string              , 0                  , 1"),
                                         QStringLiteral("+ DA_Title , Press 5 , string              , 0                  , 1"),
                                         QStringLiteral("- Drive A"), QStringLiteral("+ Drive B")}));
  EXPECT_EQ(d.changedLines(), 10);
  // Every line of both files is there once, with its line number.
  const int total = static_cast<int>(d.key.size() + d.rest.size());
  EXPECT_EQ(total, gw::configLines(a).size() + 5);
  EXPECT_EQ(d.key.first().firstLine, 1);

  const QString text = d.text(QStringLiteral("old"), QStringLiteral("new"), true);
  EXPECT_TRUE(text.startsWith(QStringLiteral("--- old\n+++ new\n== Summary, Nodes and Map_Descriptors\n- //3-MODBUS/TCP, 10.1.2.3")));
  EXPECT_LT(text.indexOf(QStringLiteral("+ PLC_01")), text.indexOf(QStringLiteral("== Rest of the file")));
  EXPECT_FALSE(text.contains(QStringLiteral("  Bridge")));  // changed lines only
  EXPECT_TRUE(d.text({}, {}).contains(QStringLiteral("\n  Bridge\n")));

  EXPECT_TRUE(gw::diffConfigs(a, a).identical());
  EXPECT_TRUE(gw::diffConfigs(a, a).text(QStringLiteral("x"), QStringLiteral("y")).contains(QStringLiteral("identical")));
}

TEST(ConfigDiff, OtherProtocolAndEmptyFilesCompareWithoutLoss) {
  gw::ConfigEntries e;
  e.protocol = gw::kPccc;
  e.plcAddress = QStringLiteral("10.1.2.3");
  e.plcAddressValid = true;
  const QByteArray pccc = gw::generateConfig(e, QString()).bytes;
  const QByteArray modbus = modbusConfig(QStringLiteral("10.1.2.3"), QStringLiteral("A"));
  const gw::ConfigDiff d = gw::diffConfigs(modbus, pccc);
  // 40 PCCC map rows replace the two Modbus ones: all of them key rows.
  int addedMapRows = 0;
  for (const gw::DiffLine& l : d.key) addedMapRows += l.text.startsWith(QLatin1String("CMD_TVR_")) && l.kind == gw::DiffLine::Kind::OnlySecond;
  EXPECT_EQ(addedMapRows, 40);
  const gw::ConfigDiff fromNothing = gw::diffConfigs({}, modbus);
  EXPECT_EQ(fromNothing.changedLines(), gw::configLines(modbus).size());
}

TEST(ServiceLog, LinesComeBackFieldForFieldAndFilter) {
  QTemporaryDir dir;
  gw::ServiceLog log(dir.path());
  Clock clock;
  log.setClock(clock.fn());
  gw::ServiceLogLine l;
  l.tool = QStringLiteral("XAVE");
  l.operation = QStringLiteral("save");
  l.moduleAddress = QStringLiteral("192.168.001.020");
  l.name = QStringLiteral("BRIDGE1");
  l.protocol = QStringLiteral("Modbus/TCP");
  l.plcAddress = QStringLiteral("10.1.2.3");
  l.title = QStringLiteral("Press \"4\", line 2\r\nnext ");  // every character CSV must guard
  l.succeeded = false;
  l.reason = QStringLiteral("Line 4 differs");
  ASSERT_TRUE(log.append(l));
  clock.now = clock.now.addDays(2);
  gw::ServiceLogLine serial;
  serial.tool = QStringLiteral("XAV_Cfg");
  serial.operation = QStringLiteral("serial-record");
  serial.comPort = QStringLiteral("COM 5");
  ASSERT_TRUE(log.append(serial));

  QByteArray raw;
  xav::readWholeFile(log.path(), &raw);
  EXPECT_TRUE(raw.startsWith("time,tool,operation,module,name,com_port,protocol,plc_address,title,outcome,reason\r\n"
                             "2026-12-09T14:00:00+01:00,XAVE,save,192.168.1.20,BRIDGE1,,Modbus/TCP,10.1.2.3,"
                             "\"Press \"\"4\"\", line 2\r\nnext \",failed,Line 4 differs\r\n"))
      << raw.constData();
  EXPECT_TRUE(raw.endsWith("2026-12-11T14:00:00+01:00,XAV_Cfg,serial-record,,,COM 5,,,,ok,\r\n"));

  const auto all = log.read();
  ASSERT_EQ(all.size(), 2);
  EXPECT_EQ(all[0].fields(), [&] {
    l.moduleAddress = QStringLiteral("192.168.1.20");
    l.time = QDateTime(QDate(2026, 12, 9), QTime(14, 0), QTimeZone(3600));
    return l.fields();
  }());
  EXPECT_EQ(log.read({gw::parseSinceDate(QStringLiteral("2026-12-10")), {}}).size(), 1);
  EXPECT_EQ(log.read({{}, QStringLiteral("192.168.1.20")}).size(), 1);
  EXPECT_EQ(log.read({gw::parseSinceDate(QStringLiteral("2026-12-10")), QStringLiteral("192.168.1.20")}).size(), 0);
  EXPECT_FALSE(gw::parseSinceDate(QStringLiteral("yesterday")).isValid());
}

TEST(ServiceLog, UnwritableLogIsToldOnce) {
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath(QStringLiteral("service-log.csv")));  // a folder in the file's place
  gw::ServiceLog log(dir.path());
  QSignalSpy told(&log, &gw::ServiceLog::problem);
  QString error;
  EXPECT_FALSE(log.append({}, &error));
  EXPECT_FALSE(log.append({}));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(told.size(), 1);
}

}  // namespace
