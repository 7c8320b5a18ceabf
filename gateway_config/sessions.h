#pragma once
// The configuration operations as sessions: one widget-free object per
// operation, each a state machine on the event loop over a UtilityRunner.
// A session shows nothing; a window maps its states and outcome to
// captions and boxes, xav-config to lines on standard output and error.
//
//   ModuleScanSession      discovery by the discovery utility (C.txt)
//   AddressTableSession    discovery by broadcast ping, address table, ping
//                          and title fetch per module
//   ModulePickSession      picking a module: ping, fetch, read-back
//   SaveSession            the Ethernet save: generate, write, load, report
//                          (and, when asked, Verify)
//   VerifySession          fetch the module's Config.csv, compare
//   IpChangeSession        ping, fetch fs_tcp.ini, rewrite, upload
//
// Every session:
//   start(...)      false when it cannot start (already active, or its
//                   runner is busy); otherwise finished() always follows,
//                   never from inside start()
//   stateChanged(state)         each step (Session::State)
//   waitingFor(wait)            the utility a step waits for (the runner's)
//   finished(outcome)           how it ended (SessionOutcome); a handler may
//                               start the next session from here
//   cancel()        ends the running utility and all it started, and
//                   finishes as Cancelled; a cancel or time limit while
//                   something was being sent leaves the module's state
//                   unknown (outcome.configurationUnknown())
//
// The runner's time limit bounds each utility run (TimedOut). Files pass
// through the working directory given at construction (the current one for
// command texts that name their files relatively).

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "entries.h"
#include "module_discovery.h"
#include "readback.h"
#include "utility_runner.h"
#include "verify.h"

namespace gw {

// Why a session did not succeed.
enum class SessionFailure {
  None,
  NotAnAddress,       // the module address is no dotted IPv4 address
  NotAnswering,       // the module did not answer the ping
  UtilityNotStarted,  // a utility could not be started (run.startError)
  UtilityFailed,      // a utility ended with a non-zero status (fetch, discovery)
  FetchFailed,        // the fetch left no file
  CorruptFile,        // the fetched Config.csv is unreadable or names no known protocol
  InvalidEntries,     // the entries break a rule (message: the window's own)
  WriteFailed,        // a file could not be written into the working directory
  LoaderFailed,       // the loader ended with a non-zero exit status while sending
  VerifyMismatch,     // the module holds other bytes than those sent
  SettingsUnreadable, // fs_tcp.ini missing or shorter than six lines
  Busy,               // another utility was running on the runner
  Cancelled,          // cancel()
  TimedOut,           // the runner's time limit
};

// "not-answering", "loader-failed", ... for scripts; "ok" for None.
QString failureName(SessionFailure f);

// Everything an operation learnt, also what a record of it needs.
struct SessionOutcome {
  QString operation;  // "scan", "discover", "read", "save", "verify", "set-ip", "restore"
  SessionFailure failure = SessionFailure::None;
  QString message;  // one sentence: what went wrong, or what was done
  QString moduleAddress;  // normal form (as given when it is none)
  QString bridgeName;       // when known (discovery)
  QString hardwareAddress;  // when known (address table)
  QString title;            // read back, or sent
  QString summaryLine;      // of the file read back, or sent
  QByteArray configRead;    // the Config.csv bytes fetched (read-back, verify)
  QByteArray configSent;    // the Config.csv bytes loaded (save)
  QByteArray networkSettingsBefore;  // fs_tcp.ini as fetched
  QByteArray networkSettingsAfter;   // fs_tcp.ini as uploaded
  RunResult lastRun;        // the utility run that ended the session (or its last)
  QDateTime startedAt, finishedAt;
  // Sent or about to be sent when interrupted: what the module now holds is unknown.
  bool sending = false;

  // What each kind also carries:
  QList<ModuleEntry> modules;    // discovery: the modules found, in order
  CurrentConfig current;         // read-back: the parsed file
  Entries entries;               // read-back: the restored entries; save: those sent
  QString captionsTail;          // read-back: the tail a save must keep
  bool verified = false;         // save with verify, verify: the module holds the bytes sent
  VerifyResult verify;           // save with verify, verify
  QString newAddress, newMask;   // IP change

  bool succeeded() const { return failure == SessionFailure::None; }
  bool interrupted() const { return failure == SessionFailure::Cancelled || failure == SessionFailure::TimedOut; }
  // Interrupted while sending: the module's configuration should be read back.
  bool configurationUnknown() const { return interrupted() && sending; }
};

class Session : public QObject {
  Q_OBJECT
 public:
  enum class State {
    Idle,
    Scanning,         // discovery utility
    BroadcastPing,    // address table discovery
    ReadingTable,
    Pinging,
    FetchingTitle,
    Fetching,         // Config.csv or fs_tcp.ini
    Writing,
    Loading,          // the loader sends
    Verifying,
    Finished,
  };
  Q_ENUM(State)

  Session(UtilityRunner& runner, const QString& workDir, QObject* parent = nullptr);
  ~Session() override;

  State state() const { return state_; }
  bool isActive() const { return state_ != State::Idle && state_ != State::Finished; }
  const SessionOutcome& outcome() const { return outcome_; }
  UtilityRunner& runner() const { return runner_; }
  const QString& workDir() const { return workDir_; }

  void cancel();

 signals:
  void stateChanged(gw::Session::State state);
  void waitingFor(const gw::UtilityWait& wait);
  void finished(const gw::SessionOutcome& outcome);

 protected:
  // Begins an operation: false when active or the runner is busy.
  bool begin(const QString& operation, const QString& moduleAddress);
  void setState(State s);
  // Runs one utility; next gets its result (never called for an
  // interrupted run: the session then finishes as Cancelled or TimedOut).
  void run(State s, const QString& commandText, int windowStyle, std::function<void(const RunResult&)> next);
  // Ends the session with the outcome as it stands, from the event loop.
  void finish(SessionFailure failure, const QString& message);
  // The ping step: the answer goes to next (interrupted runs end the session).
  void ping(const QString& address, std::function<void(bool answered)> next);
  // Judges a run that was not interrupted: false (and the session finished
  // with failure) when it did not succeed.
  bool ranOk(const RunResult& run, SessionFailure whenFailed, const QString& what);
  // The send shared by Save and Restore: outcome_.configSent written whole
  // as Config.csv, loaded with upload, deleted again; then, when verify,
  // fetched back and compared.
  void sendConfig(const QString& upload, bool verify);
  void verifySent();

  SessionOutcome outcome_;

 private:
  void onRunFinished(const RunResult& result);

  UtilityRunner& runner_;
  QString workDir_;
  State state_ = State::Idle;
  std::function<void(const RunResult&)> next_;
  bool running_ = false;
  bool finishing_ = false;
};

// Discovery by the discovery utility: runs it once into C.txt (waited for),
// parses the listing. C.txt stays for the caller (XAVE's scan reads it).
class ModuleScanSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  bool start();
};

// Discovery by broadcast ping and the address table: every table entry with
// a maker prefix that answers one ping is listed with its hardware address
// and the title of its Config.csv (fetched; the file is left in place).
class AddressTableSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  bool start();

 signals:
  // A module that answered, once its title has been fetched, in list order
  // (a window lists it at once).
  void moduleListed(const gw::ModuleEntry& module);

 private:
  void pingNext(int index);
  void fetchTitle(int index);
  QList<ModuleEntry> candidates_;
};

// Picking a module: ping (unless skipped), fetch Config.csv, read back. The
// fetched file stays in the working directory as after a window's read-back.
// A corrupt file still gives the title and PLC address in outcome.entries.
class ModulePickSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  // base: the entries before the read-back (fields the file does not carry keep them).
  bool start(const QString& moduleAddress, bool pingFirst = true, const Entries& base = {});

 private:
  void fetch();
  Entries base_;
};

// The Ethernet save: the generator's file from the entries (refused by the
// window's rules and messages, or by every rule when strict), written whole
// as Config.csv, loaded with the upload command (two lines), config.csv
// deleted again; then, when asked, Verify.
class SaveSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  struct Options {
    bool verify = false;
    bool strict = false;  // also refuse a bad register, slot or title (scripts)
  };
  bool start(const QString& moduleAddress, const Entries& entries, const QString& captionsTail, Options options);
  bool start(const QString& moduleAddress, const Entries& entries, const QString& captionsTail) {
    return start(moduleAddress, entries, captionsTail, Options{});
  }
};

// Fetches the module's Config.csv again and compares it byte for byte with
// the file given; the fetched copy is deleted.
class VerifySession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  bool start(const QString& moduleAddress, const QByteArray& sent);
};

// The IP change: ping, fetch fs_tcp.ini, replace the address (and the mask
// when given; else the module's own is kept), upload. A module that does not
// answer the ping ends as NotAnswering (a window then offers the loader's
// address mode). New address and mask must be dotted addresses; they are
// written in normal form.
class IpChangeSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  bool start(const QString& moduleAddress, const QString& newAddress, const QString& newMask = QString());

  // The window's way: ping and fetch first, then settingsFetched() with the
  // module's own address and mask and a pause until the operator decides:
  // proceed() rewrites and uploads (values checked as by start), cancel()
  // ends it as Cancelled with nothing sent (fs_tcp.ini stays as fetched).
  bool startAsking(const QString& moduleAddress);
  bool isAsking() const { return asking_ && awaitingValues_ && isActive(); }
  void proceed(const QString& newAddress, const QString& newMask);

 signals:
  void settingsFetched(const QString& address, const QString& mask);

 private:
  bool checkValues(const QString& newAddress, const QString& newMask);
  void pingAndFetch();
  void upload();
  QStringList settingsLines_;
  bool asking_ = false;
  bool awaitingValues_ = false;
};

// Restore: a Config.csv kept in the module history uploaded exactly as
// stored (written whole as Config.csv, loaded with the save's upload
// command), then fetched back and compared byte for byte, as Verify does.
// Nothing in the file is regenerated: the bytes sent are the bytes kept.
class RestoreSession : public Session {
  Q_OBJECT
 public:
  using Session::Session;
  // config: the kept file; empty is refused (InvalidEntries), nothing sent.
  bool start(const QString& moduleAddress, const QByteArray& config);
};

// Fetch-and-compare shared by Verify and the save's check.
// Reads and deletes the Config.csv a fetch left, compares it with sent;
// *fetched gets its bytes.
VerifyResult judgeFetchedConfig(const QString& workDir, const QString& address, const QByteArray& sent,
                                QByteArray* fetched = nullptr);

}  // namespace gw

Q_DECLARE_METATYPE(gw::SessionOutcome)
