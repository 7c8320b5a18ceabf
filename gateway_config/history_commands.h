#pragma once
// The history and log commands of xav-config, apart from the program: each
// takes its parsed arguments and a context (stores, output streams) and
// returns the exit status. Also the restore confirmation's text. Widget-free.
//
//   history [ADDRESS]                    entries, newest first, each with its id
//   history show ID [--config]           one entry; --config prints only its
//                                        Config.csv, byte for byte
//   history diff ID ID2                  two entries' Config.csv, line by line
//   log [--since DATE] [--module ADDRESS] [--json]
//
// Exit status: 0 done, 1 failed (the log unreadable), 2 bad arguments
// (unknown or ambiguous id, no address, unknown option).
//
// The commands that reach a module (history diff --current, restore) run
// the configuration sessions and live with the program (xav-config's
// history_cli); these work on the history and the log alone.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include "history.h"
#include "service_log.h"

namespace gw {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitBadArguments = 2 };

struct CommandContext {
  HistoryStore& history;
  ServiceLog& log;
  QIODevice& out;
  QIODevice& err;
  QString tool = QStringLiteral("xav-config");
};

int listHistory(CommandContext& c, const QString& address);
int showHistoryEntry(CommandContext& c, const QString& id, bool configOnly);
int diffHistoryEntries(CommandContext& c, const QString& id, const QString& id2);

struct LogOptions {
  QString since;   // "2026-12-01" or an ISO date and time; empty: all
  QString module;  // empty: every module
  bool json = false;
};
int printServiceLog(CommandContext& c, const LogOptions& options);

// Runs "history ..." (but diff --current) or "log ..." from the words after
// the program name (the command word first); 2 for anything it cannot take.
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
