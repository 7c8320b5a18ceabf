#pragma once
// Ending a utility together with everything it started, and the pieces of
// starting a command line shared by the runner and the background command.
// process_tree_posix.cpp and process_tree_win.cpp implement the platform part.

#include <QString>
#include <QStringList>

class QProcess;

namespace gw::detail {

// The non-blank lines of a command text, without their line ends.
QStringList commandLines(const QString& text);

// Working directory, standard channels forwarded, standard input empty.
void prepareProcess(QProcess& process, const QString& workDir);

// Before start: the process becomes the head of its own tree (POSIX: a new
// process group), so endProcessTree reaches whatever it starts.
void prepareProcessTree(QProcess& process);
// Once started (Windows: the process joins a job object).
void processTreeStarted(QProcess& process);
// Ends the process and everything it started; the QProcess reports its end
// as usual.
void endProcessTree(QProcess& process);
// Once it has ended (Windows: the job's handle is closed).
void processTreeFinished(QProcess& process);

}  // namespace gw::detail
