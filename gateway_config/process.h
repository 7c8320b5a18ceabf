#pragma once
// Starting the gateway platform's utilities and waiting for them
// (modShellAndWait, modKillProcess) and the start-up checks.
//
// On Windows a command text is started as the original did. On POSIX the
// text runs through /bin/sh, one line after the other, each waited for; the
// first word of a line that names a program is looked up in the working
// directory without regard to case and with or without ".exe", so the texts
// stay exactly as written ("ruinet", "RuiNet.exe" and "ruinet.exe" all find
// the same file).

#include <QObject>
#include <QString>

class QWidget;
class QProcess;

namespace gw {

// Window styles of a started process.
enum WindowStyle { kHidden = 0, kNormalFocus = 1, kNormalNoFocus = 4, kMinimizedNoFocus = 6 };

// Starts the command text and returns when it has ended. Meanwhile the
// event loop runs so the window stays painted, but every top-level window
// refuses input (disabled) until the command ends. A command that cannot be
// started shows the exclamation box "Error starting task " CR LF + text +
// CR LF + the system's description, then returns.
void ShellAndWait(const QString& commandText, int windowStyle);

// Ends every running process whose executable file name ends with name,
// compared without regard to case. An empty name does nothing.
void KillProcess(const QString& name);

// Start-up checks. Each shows its message box and returns false when the
// program must end; the caller then ends it.
bool CheckForRuiFiles();
bool CheckReadWriteAccesss();

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
 signals:
  void finished();

 private:
  QProcess* process_ = nullptr;
};

}  // namespace gw
