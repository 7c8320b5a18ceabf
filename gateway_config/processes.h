#pragma once
// How the gateway platform's utilities are started (the runner runs them,
// utility_runner.h), ending them by name (modKillProcess) and the start-up
// checks. Not named "process.h": on Windows that would hide the system header of that name,
// which the C++ runtime includes.
//
// A command text runs one line after the other, each waited for. On Windows
// a line is started as written. On POSIX a line runs through /bin/sh -c (a
// leading "/bin/sh /c " is dropped); the first word names the program and is
// looked up in the working directory without regard to case and with or
// without ".exe", so the texts stay exactly as written ("ruinet",
// "RuiNet.exe" and "ruinet.exe" all find the same file); names not found
// there go to the PATH search. Paths into the working directory are quoted
// for the shell, so any directory name works. The window style only matters
// on Windows. Children inherit the tool's standard output and error; their
// standard input is empty.

#include <QObject>
#include <QString>
#include <QStringList>

#include "utility_runner.h"

class QProcess;

namespace gw {

// The file in dir named name without regard to case, with or without
// ".exe" (an exact match first); its absolute path, empty when none.
QString findProgramInDir(const QString& dir, const QString& name);

// Ends every running process of the current user whose executable file
// name ends with name, compared without regard to case. An empty name does
// nothing. Other users' processes are never touched.
// When the environment variable XAV_KILL_TREE_PID names a process, only
// processes descended from it are ended: the test programs set it to
// themselves, so that tests running side by side never end each other's
// utilities.
void KillProcess(const QString& name);

// Start-up checks on the working directory. Each shows its message box and
// returns false when the program must end; the caller then ends it.
bool CheckForRuiFiles();
bool CheckReadWriteAccesss();

// Where the installed bench stand-ins of the utilities lie: libexec/xav-tools/bench
// beside the program's bin folder, or the package's place when the program
// runs from elsewhere (a build tree).
QString benchUtilityDir();

// The detail text of a start-up refusal, for someone who has never set the
// tools up: what the missing utilities are (none: the folder is the
// problem), where their bench stand-ins lie, and how to start the tool in a
// working folder.
QString startupAdvice(const QStringList& missingUtilities);

// A command started without waiting (the scan timer's discovery run) whose
// completion is known, so its output file is read only once it is whole.
class BackgroundCommand : public QObject {
  Q_OBJECT
 public:
  explicit BackgroundCommand(QObject* parent = nullptr);
  ~BackgroundCommand() override;
  // Starts the text with window style 0; false when it could not start or
  // the previous run is still going.
  bool start(const QString& commandText);
  bool isRunning() const;
  // Why the last start() returned false for a text that cannot start (the
  // system's description); empty when it started or was merely busy.
  QString lastStartError() const { return startError_; }
 signals:
  void finished();

 private:
  void startNext();

  QProcess* process_ = nullptr;
  QStringList pending_;  // lines still to run
  QString workDir_;
  QString startError_;
};

}  // namespace gw
