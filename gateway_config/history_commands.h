#pragma once
// The history, restore and log commands of xav-config, apart from the
// program: each takes its parsed arguments and a context (stores, output
// streams, the module access) and returns the exit status. Widget-free.
//
//   history [ADDRESS]                    entries, newest first, each with its id
//   history show ID [--config]           one entry; --config prints only its
//                                        Config.csv, byte for byte
//   history diff ID ID2                  two entries' Config.csv, line by line
//   history diff ID --current ADDRESS    an entry against the module's file now
//   restore ADDRESS ID                   uploads the entry's Config.csv as kept,
//                                        then fetches it back and compares
//   log [--since DATE] [--module ADDRESS] [--json]
//
// Exit status: 0 done, 1 failed (module not reached, verify mismatch), 2 bad
// arguments (unknown or ambiguous id, no address, unknown option).
//
// Fetch and upload come through ModuleAccess, so that the commands run on
// whatever performs them (the configuration sessions in xav-config, fakes in
// tests). A fetch for diff --current is kept as a read-back; a restore is
// kept as one restore entry and one log line with the verify's outcome.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>

#include "history.h"
#include "service_log.h"

namespace gw {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitBadArguments = 2 };

struct FetchedConfig {
  bool ok = false;
  QByteArray bytes;  // the module's Config.csv, exactly
  QString error;     // why it could not be fetched
};
struct UploadOutcome {
  bool ok = false;
  QString error;
};

// What the commands need of a module. Each call returns when the operation
// has ended.
struct ModuleAccess {
  std::function<FetchedConfig(const QString& address)> fetch;
  std::function<UploadOutcome(const QString& address, const QByteArray& config)> upload;
};

struct CommandContext {
  HistoryStore& history;
  ServiceLog& log;
  QIODevice& out;
  QIODevice& err;
  ModuleAccess module;
  QString tool = QStringLiteral("xav-config");
};

int listHistory(CommandContext& c, const QString& address);
int showHistoryEntry(CommandContext& c, const QString& id, bool configOnly);
int diffHistoryEntries(CommandContext& c, const QString& id, const QString& id2);
int diffHistoryWithModule(CommandContext& c, const QString& id, const QString& address);
int restoreFromHistory(CommandContext& c, const QString& address, const QString& id);
// The same for an entry in hand (a window's History list).
int restoreEntry(CommandContext& c, const QString& address, const HistoryEntry& entry);

struct LogOptions {
  QString since;   // "2026-12-01" or an ISO date and time; empty: all
  QString module;  // empty: every module
  bool json = false;
};
int printServiceLog(CommandContext& c, const LogOptions& options);

// Runs "history ...", "restore ..." or "log ..." from the words after the
// program name (the command word first); 2 for anything it cannot take.
int runHistoryCommand(CommandContext& c, const QStringList& words);

// What a restore says before it uploads: the module, the entry's time and
// title, and any difference in protocol or PLC address from the module's
// current file (currentSummary empty: not known).
QString restoreNotice(const HistoryEntry& entry, const QString& address, const QString& currentSummary,
                      bool currentKnown);

// One line of the history listing:
// id  time  operation  module (name)  protocol PLC  "title"  outcome
QString historyListLine(const HistoryEntry& e);

}  // namespace gw
