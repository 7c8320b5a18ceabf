#pragma once
// How a line of a command text splits into the program it starts and the
// text after it, by each platform's rule. Both process layers use it, and
// one table of cases tests both rules on any host.
//
// POSIX: a first word in double quotes is the program (a working folder
// whose name holds a double quote is skipped over before the closing quote
// is looked for); otherwise the first word up to a blank, where a path into
// the working folder keeps the blanks of the folder's own name.
//
// Windows, as the system starts a line: a first word in double quotes is the
// program. Otherwise each prefix of the line that ends before a blank is
// tried in turn, then the whole line, and the first that names a program
// wins; so "C:\XAV tools\RuiNet.exe -m1 " starts RuiNet.exe in "C:\XAV tools"
// (unless a program "C:\XAV" exists). When none names a program, the first
// word is taken, and starting it fails as the system's would.
//
// Blanks are spaces and tabs; the line is trimmed first.

#include <QString>

#include <functional>

#include "commands.h"

namespace gw {

struct CommandLineSplit {
  QString program;  // as written, without its quotes
  QString rest;     // what follows the program (and its closing quote), as written
};

// Whether a prefix of a line names a program that can be started (asked by
// the Windows rule only).
using ProgramExists = std::function<bool(const QString& candidate)>;

CommandLineSplit splitCommandLine(const QString& line, const QString& workDir, Flavour flavour,
                                  const ProgramExists& programExists = {});

// The system's test of a candidate on Windows: a file by that name, or by
// that name with ".exe" added when it has no extension; a name without a
// folder is looked for in workDir, then on the PATH.
bool windowsProgramExists(const QString& candidate, const QString& workDir);

}  // namespace gw
