// xav-config: the configuration operations of XAV_Cfg and XAVE from a
// script, over the same sessions of the configuration core.
//
// Each command is one entry of the table in main(): a name, a line for
// --help and a handler that gets its own arguments and returns the exit
// status (0 all succeeded, 1 an operation failed, 2 bad command line or plan).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

#include "app_info.h"
#include "batch_plan.h"
#include "commands.h"
#include "files.h"
#include "history_cli.h"
#include "module_discovery.h"
#include "processes.h"
#include "sessions.h"
#include "utility_runner.h"

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fdopen _fdopen
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

enum Exit { kOk = 0, kFailed = 1, kBadUsage = 2 };

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void onInterrupt(int) { g_interrupted = 1; }

// Where results go: standard output as the tool was started with it.
std::FILE* g_results = stdout;

// The utilities inherit the tool's standard output and talk on it; a script
// reading results (one JSON object per line with --json) must see only
// those. The results keep the original standard output, and from here on
// the tool's (and so every utility's) standard output is standard error.
void keepStandardOutputForResults() {
  std::fflush(stdout);
  const int kept = dup(fileno(stdout));
  if (kept < 0) return;
  std::FILE* results = fdopen(kept, "w");
  if (!results) return;
  if (dup2(fileno(stderr), fileno(stdout)) < 0) {
    std::fclose(results);
    return;
  }
  g_results = results;
}

void out(const QString& line) {
  std::fputs(line.toLocal8Bit().constData(), g_results);
  std::fputc('\n', g_results);
  std::fflush(g_results);
}
void err(const QString& line) {
  std::fputs(("xav-config: " + line).toLocal8Bit().constData(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// What every command shares: its options, the runner and how results are told.
struct Context {
  bool json = false;
  int timeoutS = 60;
  QString utilities;  // absolute
  QString startDir;   // where relative paths of the command line lie
  gw::UtilityRunner* runner = nullptr;

  QString path(const QString& p) const { return QFileInfo(QDir(startDir), p).absoluteFilePath(); }

  // Called by a command once its own arguments are sound, before it touches
  // a module: the utilities are found in the working directory, as for XAVE.
  // kOk, or kFailed with the reason told.
  int enterUtilities() const {
    for (const char* util : {"RuiNet.exe", "RuiPing.exe"}) {
      if (gw::findProgramInDir(utilities, QString::fromLatin1(util).toLower()).isEmpty()) {
        err(QString::fromLatin1(util) + QStringLiteral(" not found in ") + utilities +
            QStringLiteral(". Correct and try again."));
        return 1;
      }
    }
    if (!QDir::setCurrent(utilities)) {
      err(QStringLiteral("cannot work in ") + utilities);
      return 1;
    }
    return 0;
  }
};

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  std::function<int(Context&, QCommandLineParser&)> run;
  std::function<void(QCommandLineParser&)> options;
  int arguments = 1;  // positional arguments the command takes
  bool needsUtilities = true;
};

QJsonObject outcomeJson(const gw::SessionOutcome& o) {
  QJsonObject j;
  j[QStringLiteral("operation")] = o.operation;
  j[QStringLiteral("ok")] = o.succeeded();
  j[QStringLiteral("outcome")] = gw::failureName(o.failure);
  j[QStringLiteral("message")] = o.message;
  if (!o.moduleAddress.isEmpty()) j[QStringLiteral("address")] = o.moduleAddress;
  if (!o.title.isEmpty()) j[QStringLiteral("title")] = o.title;
  if (!o.summaryLine.isEmpty()) j[QStringLiteral("summary")] = o.summaryLine;
  if (o.configurationUnknown()) j[QStringLiteral("configurationUnknown")] = true;
  j[QStringLiteral("started")] = o.startedAt.toString(Qt::ISODateWithMs);
  j[QStringLiteral("finished")] = o.finishedAt.toString(Qt::ISODateWithMs);
  return j;
}

void emitJson(const QJsonObject& j) { out(QString::fromUtf8(QJsonDocument(j).toJson(QJsonDocument::Compact))); }

// Runs one session to its end on this program's only event loop; Ctrl-C
// cancels it (the runner ends the utility and all it started).
gw::SessionOutcome runSession(gw::Session& session, const std::function<bool()>& start) {
  QEventLoop loop;
  QObject::connect(&session, &gw::Session::finished, &loop, &QEventLoop::quit);
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &session, [&session] {
    if (g_interrupted) session.cancel();
  });
  watch.start(100);
  if (!start()) {
    gw::SessionOutcome o = session.outcome();
    o.failure = gw::SessionFailure::Busy;
    o.message = QStringLiteral("another utility is still running");
    return o;
  }
  loop.exec();
  // Every operation is kept in the module history and the service log.
  xavconfig::recorder().record(session.outcome());
  return session.outcome();
}

// How an operation that did not succeed is told on standard error.
void tellFailure(const gw::SessionOutcome& o) {
  QString who = o.moduleAddress.isEmpty() ? QString() : o.moduleAddress + QStringLiteral(": ");
  err(who + o.message);
  if (o.interrupted()) {
    const QString why = o.failure == gw::SessionFailure::TimedOut ? QStringLiteral("timed out")
                                                                  : QStringLiteral("was interrupted");
    err(who + QStringLiteral("the utility ") + why + QStringLiteral(" and was ended with everything it started. ") +
        QStringLiteral("The module's configuration is unknown: read it back (xav-config read ") + o.moduleAddress +
        QStringLiteral(")."));
  }
}

QString protocolLine(const gw::Entries& e) {
  QString line = QStringLiteral("protocol %1, PLC %2").arg(gw::protocolName(e.protocol), e.plcAddress);
  if (e.protocol == gw::kPccc) line += QStringLiteral(", file %1, base %2").arg(e.fileNumber, e.baseElement);
  if (e.protocol == gw::kCip) line += QStringLiteral(", slot %1").arg(e.slot);
  if (e.protocol == gw::kModbusTcp) line += QStringLiteral(", register %1").arg(e.startRegister);
  return line;
}

QJsonObject entriesJson(const gw::Entries& e) {
  QJsonObject j;
  j[QStringLiteral("protocol")] = gw::protocolName(e.protocol);
  j[QStringLiteral("plc")] = e.plcAddress;
  if (e.protocol == gw::kPccc) {
    j[QStringLiteral("file")] = e.fileNumber;
    j[QStringLiteral("base")] = e.baseElement;
  }
  if (e.protocol == gw::kCip) j[QStringLiteral("slot")] = e.slot;
  if (e.protocol == gw::kModbusTcp) j[QStringLiteral("register")] = e.startRegister;
  j[QStringLiteral("title")] = e.title;
  return j;
}

// ---------------------------------------------------------------- commands

int runDiscover(Context& ctx, QCommandLineParser&) {
  if (const int rc = ctx.enterUtilities()) return rc;
  gw::ModuleScanSession scan(*ctx.runner, QDir::currentPath());
  const gw::SessionOutcome found = runSession(scan, [&] { return scan.start(); });
  QFile::remove(QStringLiteral("C.txt"));
  if (!found.succeeded()) {
    tellFailure(found);
    if (ctx.json) emitJson(outcomeJson(found));
    return kFailed;
  }
  int status = kOk;
  for (gw::ModuleEntry m : found.modules) {
    // The title is the module's Config.csv's; one that cannot be fetched stays empty.
    gw::ModulePickSession pick(*ctx.runner, QDir::currentPath());
    const gw::SessionOutcome read = runSession(pick, [&] { return pick.start(m.address, false); });
    m.title = read.title;
    if (read.interrupted()) {
      tellFailure(read);
      status = kFailed;
    }
    if (ctx.json) {
      QJsonObject j;
      j[QStringLiteral("address")] = m.address;
      j[QStringLiteral("bridge")] = m.bridgeName;
      j[QStringLiteral("title")] = m.title;
      emitJson(j);
    } else {
      out(m.address + u'\t' + m.bridgeName + u'\t' + m.title);
    }
    if (read.interrupted()) break;
  }
  gw::deleteConfigCsv(QDir::currentPath());
  return status;
}

int runRead(Context& ctx, QCommandLineParser& p) {
  if (const int rc = ctx.enterUtilities()) return rc;
  gw::ModulePickSession pick(*ctx.runner, QDir::currentPath());
  const QString address = p.positionalArguments().value(0);
  const gw::SessionOutcome o = runSession(pick, [&] { return pick.start(address); });
  gw::deleteConfigCsv(QDir::currentPath());
  // A corrupt file still gives its title and PLC address.
  const bool shown = o.succeeded() || o.failure == gw::SessionFailure::CorruptFile;
  if (ctx.json) {
    QJsonObject j = outcomeJson(o);
    if (shown) {
      const QJsonObject e = entriesJson(o.entries);
      for (auto it = e.begin(); it != e.end(); ++it) j[it.key()] = it.value();
      j[QStringLiteral("captionsTail")] = o.current.hasCaptions;
    }
    emitJson(j);
  } else if (shown) {
    out(o.moduleAddress + QStringLiteral(": ") + protocolLine(o.entries) + QStringLiteral(", title \"") +
        o.entries.title + QStringLiteral("\", captions tail ") +
        (o.current.hasCaptions ? QStringLiteral("present") : QStringLiteral("none")));
  }
  if (!o.succeeded()) tellFailure(o);
  return o.succeeded() ? kOk : kFailed;
}

// Save with the read-back first (for the module's captions tail and, when
// no title is given, its title), then Verify unless skipped.
gw::SessionOutcome saveModule(Context& ctx, const QString& address, gw::Entries entries, bool titleGiven,
                              bool verify) {
  gw::ModulePickSession pick(*ctx.runner, QDir::currentPath());
  const gw::SessionOutcome before = runSession(pick, [&] { return pick.start(address); });
  gw::deleteConfigCsv(QDir::currentPath());
  const bool fetched = before.succeeded() || before.failure == gw::SessionFailure::CorruptFile;
  if (!fetched && before.failure != gw::SessionFailure::FetchFailed) return before;
  if (!fetched) err(address + QStringLiteral(": no Config.csv read back; the file sent carries no captions tail"));
  if (!titleGiven && fetched) entries.title = before.current.title;
  gw::SaveSession save(*ctx.runner, QDir::currentPath());
  gw::SaveSession::Options options;
  options.verify = verify;
  options.strict = true;
  return runSession(save, [&] { return save.start(address, entries, before.captionsTail, options); });
}

bool entriesFromOptions(QCommandLineParser& p, gw::Entries* e) {
  e->protocol = gw::protocolFromName(p.value(QStringLiteral("protocol")));
  if (e->protocol == gw::kNoProtocol) {
    xav::commandLineError(QStringLiteral("--protocol must be pccc, cip or modbus"));
    return false;
  }
  if (!p.isSet(QStringLiteral("plc"))) {
    xav::commandLineError(QStringLiteral("--plc is required"));
    return false;
  }
  const bool pccc = p.isSet(QStringLiteral("file")) || p.isSet(QStringLiteral("base"));
  if ((pccc && e->protocol != gw::kPccc) || (p.isSet(QStringLiteral("slot")) && e->protocol != gw::kCip) ||
      (p.isSet(QStringLiteral("register")) && e->protocol != gw::kModbusTcp)) {
    xav::commandLineError(QStringLiteral("--file/--base go with pccc, --slot with cip, --register with modbus"));
    return false;
  }
  e->plcAddress = p.value(QStringLiteral("plc"));
  if (p.isSet(QStringLiteral("file"))) e->fileNumber = p.value(QStringLiteral("file"));
  if (p.isSet(QStringLiteral("base"))) e->baseElement = p.value(QStringLiteral("base"));
  if (p.isSet(QStringLiteral("slot"))) e->slot = p.value(QStringLiteral("slot"));
  if (p.isSet(QStringLiteral("register"))) e->startRegister = p.value(QStringLiteral("register"));
  e->title = p.value(QStringLiteral("title"));
  gw::Entries::Field bad{};
  if (e->firstInvalidField(&bad)) {
    xav::commandLineError(gw::Entries::invalidFieldMessage(bad) + QStringLiteral(" (\"") + e->text(bad) +
                          QStringLiteral("\")"));
    return false;
  }
  return true;
}

void tellSaved(Context& ctx, const gw::SessionOutcome& o, int row = 0) {
  if (ctx.json) {
    QJsonObject j = outcomeJson(o);
    if (row) j[QStringLiteral("line")] = row;
    j[QStringLiteral("verified")] = o.verified;
    emitJson(j);
  } else {
    const QString prefix = row ? QStringLiteral("line %1: ").arg(row) : QString();
    out(prefix + o.moduleAddress + QStringLiteral(": ") + (o.succeeded() ? QStringLiteral("ok") : QStringLiteral("FAILED")) +
        QStringLiteral(" - ") + o.message);
  }
  if (!o.succeeded()) tellFailure(o);
}

int runSave(Context& ctx, QCommandLineParser& p) {
  gw::Entries e;
  if (!entriesFromOptions(p, &e)) return kBadUsage;
  const QString address = p.positionalArguments().value(0);
  if (gw::normalAddress(address).isEmpty()) return xav::commandLineError(gw::notAnAddressMessage(address));
  if (const int rc = ctx.enterUtilities()) return rc;
  const gw::SessionOutcome o =
      saveModule(ctx, address, e, p.isSet(QStringLiteral("title")), !p.isSet(QStringLiteral("no-verify")));
  tellSaved(ctx, o);
  return o.succeeded() ? kOk : kFailed;
}

int runVerify(Context& ctx, QCommandLineParser& p) {
  if (!p.isSet(QStringLiteral("file"))) return xav::commandLineError(QStringLiteral("--file is required"));
  QByteArray sent;
  QString error;
  if (!xav::readWholeFile(ctx.path(p.value(QStringLiteral("file"))), &sent, &error))
    return xav::commandLineError(QStringLiteral("cannot read ") + p.value(QStringLiteral("file")) + QStringLiteral(": ") + error);
  if (const int rc = ctx.enterUtilities()) return rc;
  gw::VerifySession v(*ctx.runner, QDir::currentPath());
  const QString address = p.positionalArguments().value(0);
  const gw::SessionOutcome o = runSession(v, [&] { return v.start(address, sent); });
  if (ctx.json) emitJson(outcomeJson(o));
  else out(o.moduleAddress + QStringLiteral(": ") + o.message);
  if (!o.succeeded()) tellFailure(o);
  return o.succeeded() ? kOk : kFailed;
}

int runSetIp(Context& ctx, QCommandLineParser& p) {
  if (!p.isSet(QStringLiteral("ip"))) return xav::commandLineError(QStringLiteral("--ip is required"));
  for (const char* o : {"ip", "mask"})
    if (p.isSet(QLatin1String(o)) && gw::normalAddress(p.value(QLatin1String(o))).isEmpty())
      return xav::commandLineError(QStringLiteral("--%1 must be four numbers from 0 to 255 separated by dots")
                                       .arg(QLatin1String(o)));
  if (const int rc = ctx.enterUtilities()) return rc;
  gw::IpChangeSession change(*ctx.runner, QDir::currentPath());
  const QString address = p.positionalArguments().value(0);
  const gw::SessionOutcome o = runSession(change, [&] {
    return change.start(address, p.value(QStringLiteral("ip")), p.value(QStringLiteral("mask")));
  });
  if (o.failure == gw::SessionFailure::InvalidEntries) {
    xav::commandLineError(o.message);
    return kBadUsage;
  }
  if (ctx.json) {
    QJsonObject j = outcomeJson(o);
    if (o.succeeded()) {
      j[QStringLiteral("ip")] = o.newAddress;
      j[QStringLiteral("mask")] = o.newMask;
    }
    emitJson(j);
  } else {
    out(o.moduleAddress + QStringLiteral(": ") + o.message);
  }
  if (!o.succeeded()) tellFailure(o);
  return o.succeeded() ? kOk : kFailed;
}

int runBatch(Context& ctx, QCommandLineParser& p) {
  QByteArray text;
  QString error;
  const QString planFile = p.positionalArguments().value(0);
  if (!xav::readWholeFile(ctx.path(planFile), &text, &error))
    return xav::commandLineError(QStringLiteral("cannot read ") + planFile + QStringLiteral(": ") + error);
  const xavconfig::Plan plan = xavconfig::parsePlan(text);
  if (!plan.ok()) {
    for (const QString& e : plan.errors) err(planFile + QStringLiteral(": ") + e);
    err(QStringLiteral("plan refused; no module was touched"));
    return kBadUsage;
  }
  if (p.isSet(QStringLiteral("dry-run"))) {
    const QString dir = ctx.path(p.value(QStringLiteral("dry-run")));
    for (const xavconfig::PlanRow& row : plan.rows) {
      const gw::GeneratedConfig gen = gw::generateConfig(row.entries.toConfigEntries(), QString());
      const QString folder = QDir(dir).filePath(row.address);
      const bool ok = QDir().mkpath(folder) && gw::writeConfigFile(folder, gen.bytes, &error);
      if (ctx.json) {
        QJsonObject j{{QStringLiteral("line"), row.line}, {QStringLiteral("address"), row.address},
                      {QStringLiteral("ok"), ok}, {QStringLiteral("summary"), gen.summaryLine},
                      {QStringLiteral("file"), QDir(folder).filePath(QStringLiteral("Config.csv"))}};
        emitJson(j);
      } else {
        out(QStringLiteral("line %1: %2: %3").arg(row.line).arg(row.address, ok ? QDir(folder).filePath(QStringLiteral("Config.csv")) : error));
      }
      if (!ok) return kFailed;
    }
    return kOk;
  }
  if (const int rc = ctx.enterUtilities()) return rc;
  int failed = 0, done = 0;
  for (const xavconfig::PlanRow& row : plan.rows) {
    if (g_interrupted) break;
    const gw::SessionOutcome o = saveModule(ctx, row.address, row.entries, !row.entries.title.isEmpty(), true);
    tellSaved(ctx, o, row.line);
    ++done;
    if (!o.succeeded()) ++failed;
    if (o.interrupted() && g_interrupted) break;  // Ctrl-C stops the batch
  }
  const int skipped = plan.rows.size() - done;
  const QString summary = QStringLiteral("%1 of %2 modules configured and verified, %3 failed%4")
                              .arg(done - failed)
                              .arg(plan.rows.size())
                              .arg(failed)
                              .arg(skipped ? QStringLiteral(", %1 not started").arg(skipped) : QString());
  if (ctx.json)
    emitJson(QJsonObject{{QStringLiteral("summary"), summary}, {QStringLiteral("rows"), int(plan.rows.size())},
                         {QStringLiteral("succeeded"), done - failed}, {QStringLiteral("failed"), failed},
                         {QStringLiteral("notStarted"), skipped}});
  else
    out(summary);
  return failed || skipped ? kFailed : kOk;
}

void entryOptions(QCommandLineParser& p) {
  xav::addOption(p, "protocol", "pccc, cip or modbus.", "P");
  xav::addOption(p, "plc", "The PLC's IP address.", "A");
  xav::addOption(p, "file", "PCCC integer file number (7..255, default 7).", "F");
  xav::addOption(p, "base", "PCCC base element (0..214, default 0).", "B");
  xav::addOption(p, "slot", "CIP processor slot (default 0).", "S");
  xav::addOption(p, "register", "Modbus/TCP starting register (40001..465514, default 40001).", "R");
  xav::addOption(p, "title", "Configuration title (no comma; default: the module's own).", "T");
  xav::addOption(p, "no-verify", "Do not fetch the file back and compare it.");
}

// What the history commands borrow from this program to reach a module.
xavconfig::ModuleSide moduleSide(Context& ctx) {
  return {ctx.runner, ctx.json, [&ctx] { return ctx.enterUtilities(); }, runSession,
          [&ctx](const gw::SessionOutcome& o) {
            if (ctx.json) emitJson(outcomeJson(o));
            else out(o.moduleAddress + QStringLiteral(": ") + o.message);
            if (!o.succeeded()) tellFailure(o);
          }};
}

}  // namespace

std::FILE* xavconfig::resultsStream() { return g_results; }

int main(int argc, char** argv) {
  const std::vector<Command> table{
      {"discover", "discover", "run the discovery utility once; print each module's address, bridge name and title",
       runDiscover, nullptr, 0},
      {"read", "read ADDRESS", "ping, fetch and read back; print protocol, PLC address, numbers, title, captions tail",
       runRead, nullptr},
      {"save", "save ADDRESS --protocol pccc|cip|modbus --plc A [--file F --base B | --slot S | --register R] [--title T]",
       "read back, save a new Config.csv keeping the captions tail, load it, verify it (--no-verify skips)", runSave,
       entryOptions},
      {"verify", "verify ADDRESS --file F", "fetch the module's Config.csv and compare it byte for byte with F",
       runVerify, [](QCommandLineParser& p) { xav::addOption(p, "file", "The Config.csv that was sent.", "F"); }},
      {"set-ip", "set-ip ADDRESS --ip NEW [--mask M]", "change the module's IP address (and mask) in fs_tcp.ini",
       runSetIp,
       [](QCommandLineParser& p) {
         xav::addOption(p, "ip", "The module's new IP address.", "NEW");
         xav::addOption(p, "mask", "The new subnet mask (default: the module's own).", "M");
       }},
      {"batch", "batch PLAN.csv [--dry-run DIR]",
       "save and verify one module per row (columns address,protocol,plc,file,base,slot,register,title)", runBatch,
       [](QCommandLineParser& p) {
         xav::addOption(p, "dry-run", "Write each row's Config.csv into DIR/ADDRESS/ and load nothing.", "DIR");
       }},
      {"history", "history [ADDRESS] | history show ID [--config] | history diff ID [ID2 | --current ADDRESS]",
       "list the module history (each entry with its id), show one entry, compare two or one with the module now",
       [](Context& c, QCommandLineParser& p) { return xavconfig::runHistory(moduleSide(c), p); },
       xavconfig::historyOptions, -1},
      {"restore", "restore ADDRESS ID",
       "upload a history entry's Config.csv exactly as kept, then verify it (exit status 1 on a mismatch)",
       [](Context& c, QCommandLineParser& p) { return xavconfig::runRestore(moduleSide(c), p); }, nullptr, 2},
      {"log", "log [--since DATE] [--module ADDRESS]", "print the service log (CSV; --json: one array)",
       [](Context& c, QCommandLineParser& p) { return xavconfig::runLog(moduleSide(c), p); }, xavconfig::logOptions, 0},
  };

  QString description = QStringLiteral(
      "The configuration operations of XAV_Cfg and XAVE from a script.\n\nCommands:\n");
  for (const Command& c : table)
    description += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(c.usage), QLatin1String(c.summary));
  description += QStringLiteral(
      "\nEvery command takes --json (one JSON object per result on standard output),\n"
      "--utilities DIR (the folder holding ruinet.exe and ruiping.exe; default the\n"
      "current folder) and --timeout S (bound of each utility run, default 60 s).\n"
      "On a timeout or Ctrl-C the utility and all it started are ended and the\n"
      "module's configuration is unknown: read it back.\n"
      "Exit status: 0 all succeeded, 1 an operation failed, 2 bad command line or plan.\n"
      "\"xav-config COMMAND --help\" lists a command's options.");

  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString name = args.value(1);
  const Command* command = nullptr;
  for (const Command& c : table)
    if (name == QLatin1String(c.name)) command = &c;

  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-config"), description);
  if (!command) {
    // No command: --help, --version, or a usage error.
    if (const auto end = xav::parseCommandLine(parser, args, {kBadUsage, true})) return *end;
    return xav::commandLineError(name.isEmpty() ? QStringLiteral("no command given")
                                                : QStringLiteral("unknown command \"%1\"").arg(name));
  }
  parser.setApplicationDescription(QStringLiteral("xav-config ") + QLatin1String(command->usage) + QStringLiteral("\n") +
                                   QLatin1String(command->summary));
  const QCommandLineOption json = xav::addOption(parser, "json", "One JSON object per result on standard output.");
  const QCommandLineOption utilities =
      xav::addOption(parser, "utilities", "Folder holding ruinet.exe and ruiping.exe (default: the current one).", "DIR");
  const QCommandLineOption timeout =
      xav::addOption(parser, "timeout", "Seconds each utility run may take (default 60).", "S");
  if (command->options) command->options(parser);
  QStringList commandArgs = args;
  commandArgs.removeAt(1);
  // arguments -1: the command checks its own (history takes 0 to 3).
  if (const auto end = xav::parseCommandLine(parser, commandArgs, {kBadUsage, command->arguments != 0})) return *end;
  if (command->arguments >= 0 && parser.positionalArguments().size() != command->arguments)
    return xav::commandLineError(QStringLiteral("usage: xav-config ") + QLatin1String(command->usage));

  Context ctx;
  ctx.json = parser.isSet(json);
  ctx.startDir = QDir::currentPath();
  if (parser.isSet(timeout)) {
    bool ok = false;
    ctx.timeoutS = parser.value(timeout).toInt(&ok);
    if (!ok || ctx.timeoutS <= 0) return xav::commandLineError(QStringLiteral("--timeout takes a number of seconds above 0"));
  }
  ctx.utilities = ctx.path(parser.isSet(utilities) ? parser.value(utilities) : QStringLiteral("."));
  gw::UtilityRunner runner;
  runner.setTellsStartErrors(false);
  runner.setTimeLimit(ctx.timeoutS * 1000);
  ctx.runner = &runner;
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  keepStandardOutputForResults();
  return command->run(ctx, parser);
}
