#pragma once
// xav-config's history, restore and log commands over the module history
// and the service log of the data folder (history.h says where):
//
//   history [ADDRESS]                  entries, newest first, each with its id
//   history show ID [--config]         one entry (--config: its Config.csv only)
//   history diff ID ID2                two entries' Config.csv, line by line
//   history diff ID --current ADDRESS  an entry against the module's file now
//   restore ADDRESS ID                 the entry's Config.csv uploaded as kept,
//                                      then verified; exit 1 on a mismatch
//   log [--since DATE] [--module ADDRESS] [--json]
//
// The commands that reach a module run the configuration sessions through
// the program's own runner and session loop (ModuleSide), so Ctrl-C, the
// time limit and the recording of every operation are the program's.

#include <QCommandLineParser>
#include <QString>
#include <cstdio>
#include <functional>

#include "operation_record.h"
#include "sessions.h"

namespace xavconfig {

// Where results go: the tool's standard output as it was started (the
// utilities' own output is sent to standard error).
std::FILE* resultsStream();

// What the commands that reach a module borrow from the program.
struct ModuleSide {
  gw::UtilityRunner* runner = nullptr;
  bool json = false;
  // Checks the utilities and enters their folder: 0, or the exit status.
  std::function<int()> enterUtilities;
  // Runs a session to its end (Ctrl-C cancels it) and records it.
  std::function<gw::SessionOutcome(gw::Session&, const std::function<bool()>&)> runSession;
  // Tells an outcome: a line on standard output (or a JSON object), and
  // for a failure why on standard error.
  std::function<void(const gw::SessionOutcome&)> report;
};

// The one recorder of this run ("xav-config"); its problems go to
// standard error, once.
gw::OperationRecorder& recorder();

void historyOptions(QCommandLineParser& parser);
void logOptions(QCommandLineParser& parser);

int runHistory(const ModuleSide& side, QCommandLineParser& parser);
int runRestore(const ModuleSide& side, QCommandLineParser& parser);
int runLog(const ModuleSide& side, QCommandLineParser& parser);

}  // namespace xavconfig
