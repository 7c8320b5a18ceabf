#include "history_commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "commands.h"

namespace gw {

namespace {

void say(QIODevice& d, const QString& text) { d.write(text.toUtf8()); }
void sayLine(QIODevice& d, const QString& text) { say(d, text + u'\n'); }

int badArguments(CommandContext& c, const QString& text) {
  sayLine(c.err, c.tool + QStringLiteral(": ") + text);
  return kExitBadArguments;
}

std::optional<HistoryEntry> findEntry(CommandContext& c, const QString& id) {
  auto e = c.history.entry(id);
  if (!e) sayLine(c.err, QStringLiteral("%1: no history entry %2 (or more than one starts with it).").arg(c.tool, id));
  return e;
}

}  // namespace

QString historyListLine(const HistoryEntry& e) {
  QString module = e.moduleAddress;
  const QString name = !e.bridgeName.isEmpty() ? e.bridgeName : e.hardwareAddress;
  if (!name.isEmpty()) module += QStringLiteral(" (") + name + u')';
  const QString outcome = e.outcome.isEmpty() ? (e.succeeded ? QStringLiteral("ok") : QStringLiteral("failed"))
                                              : e.outcome;
  return QStringList{e.id, isoTimeWithOffset(e.time), operationName(e.operation), module,
                     e.protocolAndPlc().isEmpty() ? QStringLiteral("-") : e.protocolAndPlc(),
                     u'"' + e.title + u'"', outcome}
      .join(QStringLiteral("  "));
}

int listHistory(CommandContext& c, const QString& address) {
  if (!address.isEmpty() && normalAddress(address).isEmpty()) return badArguments(c, notAnAddressMessage(address));
  const QList<HistoryEntry> list = c.history.entries(address);
  if (list.isEmpty()) {
    sayLine(c.err, address.isEmpty() ? QStringLiteral("No history entries in %1.").arg(c.history.historyFolder())
                                     : QStringLiteral("No history entries for %1.").arg(normalAddress(address)));
    return kExitOk;
  }
  for (const HistoryEntry& e : list) sayLine(c.out, historyListLine(e));
  return kExitOk;
}

int showHistoryEntry(CommandContext& c, const QString& id, bool configOnly) {
  const auto e = findEntry(c, id);
  if (!e) return kExitBadArguments;
  if (configOnly) {
    if (e->config.isEmpty()) return badArguments(c, QStringLiteral("entry %1 holds no Config.csv.").arg(e->id));
    c.out.write(e->config);
    return kExitOk;
  }
  const QList<std::pair<const char*, QString>> rows = {
      {"Id", e->id},
      {"Time", isoTimeWithOffset(e->time)},
      {"Tool", e->tool},
      {"Operation", operationName(e->operation)},
      {"Module", e->moduleAddress},
      {"Bridge name", e->bridgeName},
      {"Hardware address", e->hardwareAddress},
      {"Title", e->title},
      {"Summary", e->summaryLine},
      {"Outcome", (e->succeeded ? QStringLiteral("ok") : QStringLiteral("failed")) +
                      (e->outcome.isEmpty() ? QString() : QStringLiteral(": ") + e->outcome)},
  };
  for (const auto& [label, value] : rows)
    if (!value.isEmpty()) sayLine(c.out, QLatin1String(label) + QStringLiteral(": ") + value);
  auto block = [&](const char* heading, const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    sayLine(c.out, QStringLiteral("\n%1 (%2 bytes):").arg(QLatin1String(heading)).arg(bytes.size()));
    say(c.out, QString::fromLatin1(bytes));
  };
  block("Config.csv", e->config);
  block("fs_tcp.ini before", e->networkBefore);
  block("fs_tcp.ini after", e->networkAfter);
  return kExitOk;
}

int diffHistoryEntries(CommandContext& c, const QString& id, const QString& id2) {
  const auto a = findEntry(c, id);
  const auto b = a ? findEntry(c, id2) : std::nullopt;
  if (!a || !b) return kExitBadArguments;
  const ConfigDiff d = diffConfigs(a->config, b->config);
  say(c.out, d.text(a->id + u' ' + isoTimeWithOffset(a->time), b->id + u' ' + isoTimeWithOffset(b->time)));
  return kExitOk;
}

QString restoreNotice(const HistoryEntry& entry, const QString& address, const QString& currentSummary,
                      bool currentKnown) {
  QString text = QStringLiteral("Restoring %1 with the Config.csv kept at %2 from %3, title \"%4\".")
                     .arg(address, isoTimeWithOffset(entry.time), entry.moduleAddress, entry.title);
  if (!currentKnown) return text + QStringLiteral("\nThe module's current Config.csv could not be read.");
  const QString protocolThen = protocolNameOfSummary(entry.summaryLine);
  const QString protocolNow = protocolNameOfSummary(currentSummary);
  if (protocolThen != protocolNow)
    text += QStringLiteral("\nProtocol changes from %1 to %2.")
                .arg(protocolNow.isEmpty() ? QStringLiteral("(none)") : protocolNow,
                     protocolThen.isEmpty() ? QStringLiteral("(none)") : protocolThen);
  const QString plcThen = entry.plcAddress();
  const QString plcNow = currentSummary.section(u',', 1, 1).trimmed();
  if (plcThen != plcNow)
    text += QStringLiteral("\nPLC address changes from %1 to %2.")
                .arg(plcNow.isEmpty() ? QStringLiteral("(none)") : plcNow, plcThen.isEmpty() ? QStringLiteral("(none)") : plcThen);
  return text;
}

int printServiceLog(CommandContext& c, const LogOptions& o) {
  ServiceLogFilter f;
  if (!o.since.isEmpty()) {
    f.since = parseSinceDate(o.since);
    if (!f.since.isValid()) return badArguments(c, QStringLiteral("--since takes a date such as 2026-12-01, not \"%1\".").arg(o.since));
  }
  if (!o.module.isEmpty() && normalAddress(o.module).isEmpty()) return badArguments(c, notAnAddressMessage(o.module));
  f.moduleAddress = o.module;
  QString error;
  const QList<ServiceLogLine> lines = c.log.read(f, &error);
  if (!error.isEmpty()) {
    sayLine(c.err, QStringLiteral("The service log %1 could not be read: %2").arg(c.log.path(), error));
    return kExitFailed;
  }
  if (o.json) {
    QJsonArray all;
    for (const ServiceLogLine& l : lines) {
      QJsonObject obj;
      const QStringList names = ServiceLog::columns();
      const QStringList values = l.fields();
      for (qsizetype i = 0; i < names.size(); ++i) obj[names[i]] = values.value(i);
      all.append(obj);
    }
    c.out.write(QJsonDocument(all).toJson(QJsonDocument::Indented));
    return kExitOk;
  }
  c.out.write(csvRecord(ServiceLog::columns()));
  for (const ServiceLogLine& l : lines) c.out.write(csvRecord(l.fields()));
  return kExitOk;
}

int runHistoryCommand(CommandContext& c, const QStringList& words) {
  const QString command = words.value(0);
  const QStringList args = words.mid(1);
  if (command == QLatin1String("history")) {
    const QString sub = args.value(0);
    if (sub == QLatin1String("show")) {
      if (args.size() == 2) return showHistoryEntry(c, args[1], false);
      if (args.size() == 3 && args[2] == QLatin1String("--config")) return showHistoryEntry(c, args[1], true);
      return badArguments(c, QStringLiteral("usage: history show ID [--config]"));
    }
    if (sub == QLatin1String("diff")) {
      if (args.size() == 3 && !args[2].startsWith(u'-')) return diffHistoryEntries(c, args[1], args[2]);
      return badArguments(c, QStringLiteral("usage: history diff ID ID2 | history diff ID --current ADDRESS"));
    }
    if (args.size() <= 1 && !sub.startsWith(u'-')) return listHistory(c, sub);
    return badArguments(c, QStringLiteral("usage: history [ADDRESS] | history show ID | history diff ..."));
  }
  if (command == QLatin1String("log")) {
    LogOptions o;
    for (qsizetype i = 0; i < args.size(); ++i) {
      const QString& a = args[i];
      if (a == QLatin1String("--json")) o.json = true;
      else if (a == QLatin1String("--since") && i + 1 < args.size()) o.since = args[++i];
      else if (a == QLatin1String("--module") && i + 1 < args.size()) o.module = args[++i];
      else return badArguments(c, QStringLiteral("usage: log [--since DATE] [--module ADDRESS] [--json]"));
    }
    return printServiceLog(c, o);
  }
  return badArguments(c, QStringLiteral("unknown command \"%1\"").arg(command));
}

}  // namespace gw
