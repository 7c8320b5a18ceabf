#include "history_cli.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#include "app_info.h"
#include "commands.h"
#include "history_commands.h"
#include "profiles.h"

namespace xavconfig {

namespace {

enum Exit { kOk = 0, kFailed = 1, kBadUsage = 2 };

// Standard output and error as the history commands write them.
struct Streams {
  Streams() {
    out.open(resultsStream(), QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  QFile out, err;
};

int badUsage(const QString& text) {
  std::fprintf(stderr, "xav-config: %s\nTry 'xav-config --help' for more information.\n", qPrintable(text));
  return kBadUsage;
}

void printLine(const QString& line) {
  std::fputs(line.toLocal8Bit().constData(), resultsStream());
  std::fputc('\n', resultsStream());
  std::fflush(resultsStream());
}

QJsonObject entryJson(const gw::HistoryEntry& e) {
  return {{QStringLiteral("id"), e.id},
          {QStringLiteral("time"), gw::isoTimeWithOffset(e.time)},
          {QStringLiteral("tool"), e.tool},
          {QStringLiteral("operation"), gw::operationName(e.operation)},
          {QStringLiteral("address"), e.moduleAddress},
          {QStringLiteral("bridge"), e.bridgeName},
          {QStringLiteral("hardwareAddress"), e.hardwareAddress},
          {QStringLiteral("protocol"), gw::protocolNameOfSummary(e.summaryLine)},
          {QStringLiteral("plc"), e.plcAddress()},
          {QStringLiteral("title"), e.title},
          {QStringLiteral("summary"), e.summaryLine},
          {QStringLiteral("ok"), e.succeeded},
          {QStringLiteral("outcome"), e.outcome}};
}

void emitJson(const QJsonObject& j) { printLine(QString::fromUtf8(QJsonDocument(j).toJson(QJsonDocument::Compact))); }

// The entry an id names, or the reason on standard error.
std::optional<gw::HistoryEntry> findEntry(const QString& id) {
  auto e = recorder().history().entry(id);
  if (!e)
    std::fprintf(stderr, "xav-config: no history entry %s (or more than one starts with it)\n", qPrintable(id));
  return e;
}

// Reads the module's Config.csv back (ping first, as a window's pick does);
// the read is recorded like any other.
gw::SessionOutcome readModule(const ModuleSide& side, const QString& address) {
  gw::ModulePickSession pick(*side.runner, QDir::currentPath());
  gw::SessionOutcome o = side.runSession(pick, [&] { return pick.start(address); });
  gw::deleteConfigCsv(QDir::currentPath());
  return o;
}

int diffWithModule(const ModuleSide& side, const gw::HistoryEntry& e, const QString& address) {
  if (gw::normalAddress(address).isEmpty()) return badUsage(gw::notAnAddressMessage(address));
  if (const int rc = side.enterUtilities()) return rc;
  const gw::SessionOutcome now = readModule(side, address);
  // A corrupt file is still a file to compare with.
  if (!now.succeeded() && now.failure != gw::SessionFailure::CorruptFile) {
    side.report(now);
    return kFailed;
  }
  const gw::ConfigDiff d = gw::diffConfigs(e.config, now.configRead);
  const QString first = e.id + u' ' + gw::isoTimeWithOffset(e.time);
  const QString second = now.moduleAddress + QStringLiteral(" now");
  if (side.json)
    emitJson({{QStringLiteral("first"), first},
              {QStringLiteral("second"), second},
              {QStringLiteral("identical"), d.identical()},
              {QStringLiteral("changedLines"), d.changedLines()},
              {QStringLiteral("diff"), d.text(first, second, true)}});
  else
    std::fputs(d.text(first, second).toLocal8Bit().constData(), resultsStream());
  std::fflush(resultsStream());
  return kOk;
}

}  // namespace

gw::OperationRecorder& recorder() {
  static gw::OperationRecorder* r = [] {
    auto* rec = new gw::OperationRecorder(QStringLiteral("xav-config"));
    QObject::connect(rec, &gw::OperationRecorder::problem, [](const QString& m) {
      std::fprintf(stderr, "xav-config: %s\n", qPrintable(m));
    });
    return rec;
  }();
  return *r;
}

void historyOptions(QCommandLineParser& p) {
  xav::addOption(p, "config", "history show: print only the entry's Config.csv, byte for byte.");
  xav::addOption(p, "current", "history diff: compare with the Config.csv the module holds now.", "ADDRESS");
}

void logOptions(QCommandLineParser& p) {
  xav::addOption(p, "since", "Only lines from this date (2026-12-01) or ISO date and time on.", "DATE");
  xav::addOption(p, "module", "Only lines of this module.", "ADDRESS");
}

int runHistory(const ModuleSide& side, QCommandLineParser& p) {
  const QStringList args = p.positionalArguments();
  const QString sub = args.value(0);
  if (p.isSet(QStringLiteral("current"))) {
    if (sub != QLatin1String("diff") || args.size() != 2)
      return badUsage(QStringLiteral("usage: history diff ID --current ADDRESS"));
    const auto e = findEntry(args[1]);
    if (!e) return kBadUsage;
    return diffWithModule(side, *e, p.value(QStringLiteral("current")));
  }
  if (side.json && sub == QLatin1String("show") && args.size() == 2 && !p.isSet(QStringLiteral("config"))) {
    const auto e = findEntry(args[1]);
    if (!e) return kBadUsage;
    QJsonObject j = entryJson(*e);
    j[QStringLiteral("config")] = QString::fromLatin1(e->config);
    emitJson(j);
    return kOk;
  }
  if (side.json && args.size() <= 1 && sub != QLatin1String("show") && sub != QLatin1String("diff")) {
    if (!sub.isEmpty() && gw::normalAddress(sub).isEmpty()) return badUsage(gw::notAnAddressMessage(sub));
    for (const gw::HistoryEntry& e : recorder().history().entries(sub)) emitJson(entryJson(e));
    return kOk;
  }
  QStringList words{QStringLiteral("history")};
  words << args;
  if (p.isSet(QStringLiteral("config"))) words << QStringLiteral("--config");
  Streams s;
  gw::CommandContext c{recorder().history(), recorder().log(), s.out, s.err, QStringLiteral("xav-config")};
  return gw::runHistoryCommand(c, words);
}

int runRestore(const ModuleSide& side, QCommandLineParser& p) {
  const QString address = p.positionalArguments().value(0);
  const QString id = p.positionalArguments().value(1);
  if (gw::normalAddress(address).isEmpty()) return badUsage(gw::notAnAddressMessage(address));
  const auto e = findEntry(id);
  if (!e) return kBadUsage;
  if (e->config.isEmpty()) return badUsage(QStringLiteral("entry %1 holds no Config.csv to restore").arg(e->id));
  if (const int rc = side.enterUtilities()) return rc;

  // What is about to change is told before anything is sent.
  const gw::SessionOutcome before = readModule(side, address);
  if (before.failure == gw::SessionFailure::NotAnswering || before.interrupted() ||
      before.failure == gw::SessionFailure::UtilityNotStarted) {
    side.report(before);
    return kFailed;
  }
  const bool known = before.succeeded() || before.failure == gw::SessionFailure::CorruptFile;
  const QString notice = gw::restoreNotice(*e, gw::normalAddress(address), before.summaryLine, known);
  if (side.json) emitJson({{QStringLiteral("notice"), notice}, {QStringLiteral("entry"), e->id}});
  else printLine(notice);

  gw::RestoreSession restore(*side.runner, QDir::currentPath());
  const gw::SessionOutcome o = side.runSession(restore, [&] { return restore.start(address, e->config); });
  side.report(o);
  return o.succeeded() ? kOk : kFailed;
}

int runLog(const ModuleSide& side, QCommandLineParser& p) {
  QStringList words{QStringLiteral("log")};
  for (const char* option : {"since", "module"})
    if (p.isSet(QLatin1String(option)))
      words << QStringLiteral("--") + QLatin1String(option) << p.value(QLatin1String(option));
  if (side.json) words << QStringLiteral("--json");
  Streams s;
  gw::CommandContext c{recorder().history(), recorder().log(), s.out, s.err, QStringLiteral("xav-config")};
  return gw::runHistoryCommand(c, words);
}

}  // namespace xavconfig
