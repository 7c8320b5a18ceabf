#pragma once
// Running the gateway platform's utilities (and ping, arp) without freezing
// the window: an event-driven runner on the Qt event loop that tells its
// observers what it is doing and can be cancelled. It touches no widget; the
// windows disable their own input and show the wait.
//
// A command text runs one line after the other, each waited for, as
// described in processes.h (how a line finds its program). Every line of a
// text is checked before anything runs: when a program is missing or not
// executable, nothing runs and the run ends as NotStarted.
//
// What an observer sees for one run:
//
//   busyChanged(true)
//   waitingFor(wait)          at the start of each line
//   longWait(wait)            once, when the run has lasted the long-wait
//                             threshold (5 s): show the wait and a Cancel
//   stillWaiting(wait)        then every second, elapsedSeconds updated
//   busyChanged(false)
//   finished(result)          how it ended (see RunResult); a handler may
//                             start the next run from here
//
// A run that ends before the threshold shows nothing but busy and finished,
// so short utilities look exactly as before.
//
// cancel() ends the running utility and everything it started (its process
// group on POSIX, its job object on Windows), runs none of the remaining
// lines and finishes the run as Cancelled. The caller must then tell the
// operator that what the utility was doing to the module is unknown
// (cancelledOperationMessage).
//
// A caller connects to the signals, calls start() and goes on in
// finished(); it never waits in a local event loop (the sessions build on
// this). Input is not blocked by the runner: observe busyChanged and disable
// your own input meanwhile. Tests wait with runAndWait (testing/utility_wait.h).
//
// sharedUtilityRunner() is the process-wide runner a window observes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;
class QTimer;

namespace gw {

// Window styles of a started process.
enum WindowStyle { kHidden = 0, kNormalFocus = 1, kNormalNoFocus = 4, kMinimizedNoFocus = 6 };

// What a run is waiting for, for a window to show.
struct UtilityWait {
  QString commandText;    // the whole text as given
  QString program;        // program named by the running line as written, without folder ("ruinet", "ping")
  QString moduleAddress;  // address the running line names (behind -i, or the ping target); empty when none
  int lineIndex = 0;      // running line, from 0
  int lineCount = 0;
  int elapsedSeconds = 0;  // whole seconds since the run started (monotonic clock)
};

// One line of a command text and how it ended.
struct LineResult {
  QString line;           // the line as written, without its line end
  bool started = false;   // the process was started
  bool exited = false;    // it ended by itself (not killed, not crashed)
  int exitCode = -1;      // exit status when exited
  bool succeeded() const { return started && exited && exitCode == 0; }
};

enum class RunOutcome {
  Succeeded,   // every line ran and ended with exit status 0 (also for an empty text)
  Failed,      // a line ended with a non-zero status or crashed; later lines did not run
  NotStarted,  // a line could not be started; startError says why (and the box was told)
  Cancelled,   // cancel() ended it; later lines did not run
  TimedOut,    // the runner's time limit ended it, as a cancel would
  Busy,        // the runner was running another text; nothing was started
};

struct RunResult {
  RunOutcome outcome = RunOutcome::Succeeded;
  QString commandText;
  QString startError;      // the system's description, for NotStarted
  QList<LineResult> lines;  // one per non-empty line of the text, in order
  qint64 elapsedMs = 0;

  bool succeeded() const { return outcome == RunOutcome::Succeeded; }
  // Ended by the operator or the time limit: the module's state is unknown.
  bool interrupted() const { return outcome == RunOutcome::Cancelled || outcome == RunOutcome::TimedOut; }
  // The first line that did not succeed; nullptr when all did.
  const LineResult* firstFailure() const;
  // One sentence for a status line or box, e.g. "ruinet ended with exit status 1."
  QString describe() const;
};

// Text of the described start-failure box: "Error starting task " CR LF
// text CR LF description.
QString startErrorMessage(const QString& commandText, const QString& description);

// What a window tells the operator after a cancelled or timed-out run on the
// module at moduleAddress (any address form): the operation stopped, the
// module's configuration is unknown and should be read back.
QString cancelledOperationMessage(const QString& moduleAddress);

// The program and module address a command line names (see UtilityWait).
QString programOfLine(const QString& line, const QString& workDir);
QString moduleAddressOfLine(const QString& line);

class UtilityRunner : public QObject {
  Q_OBJECT
 public:
  static constexpr int kDefaultLongWaitMs = 5000;

  explicit UtilityRunner(QObject* parent = nullptr);
  // A run still going is cancelled: nothing it started outlives the runner.
  ~UtilityRunner() override;

  // When longWait fires (default 5000 ms); tests shorten it.
  void setLongWaitThreshold(int ms);
  int longWaitThreshold() const { return longWaitMs_; }
  // A run lasting longer ends as TimedOut. 0 (the default): no limit, the
  // operator's Cancel is the bound.
  void setTimeLimit(int ms);
  int timeLimit() const { return timeLimitMs_; }
  // Whether a start failure is told to the operator through the message
  // interface (the "Error starting task" box, exclamation icon, title
  // "Error"). Default true.
  void setTellsStartErrors(bool on) { tellsStartErrors_ = on; }

  // Starts the text from the current working directory (style: WindowStyle,
  // only meaningful on Windows). False when the runner is busy (nothing
  // started). Otherwise true; finished() always follows, also for a text that
  // cannot start or is empty (then from the event loop, never inside start).
  bool start(const QString& commandText, int windowStyle);
  // Ends the run as Cancelled (see above). Nothing when idle.
  void cancel();

  bool isBusy() const { return busy_; }
  // What the running line waits for (elapsedSeconds current); empty when idle.
  UtilityWait currentWait() const;
  // The result of the last finished run.
  const RunResult& lastResult() const { return last_; }

 signals:
  void busyChanged(bool busy);
  void waitingFor(const gw::UtilityWait& wait);
  void longWait(const gw::UtilityWait& wait);
  void stillWaiting(const gw::UtilityWait& wait);
  void finished(const gw::RunResult& result);

 private:
  struct Run;
  void startLine();
  void lineEnded(bool exited, int exitCode);
  void interrupt(RunOutcome why);
  void finish(RunOutcome outcome);
  void onTick(quint64 serial);

  int longWaitMs_ = kDefaultLongWaitMs;
  int timeLimitMs_ = 0;
  bool tellsStartErrors_ = true;
  bool busy_ = false;
  std::unique_ptr<Run> run_;
  QProcess* process_ = nullptr;
  QTimer* tick_ = nullptr;
  RunResult last_;
};

// The process-wide runner a window observes (created on first use, owned by
// the application object).
UtilityRunner& sharedUtilityRunner();

}  // namespace gw

Q_DECLARE_METATYPE(gw::UtilityWait)
Q_DECLARE_METATYPE(gw::RunResult)
