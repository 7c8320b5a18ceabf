#pragma once
// A bench for XAVE's window tests: a temporary working directory (made the
// current one) holding copies of the bench utilities, a temporary module
// store (XDG_CONFIG_HOME), and the bench ping stand-in first on PATH, which
// answers only for modules of that store and logs every address asked for.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QList>
#include <QTemporaryDir>
#include <functional>

namespace xave::testing {

class BenchEnv {
 public:
  BenchEnv();
  ~BenchEnv();
  BenchEnv(const BenchEnv&) = delete;
  BenchEnv& operator=(const BenchEnv&) = delete;

  // Empty when the bench is usable, else why not.
  QString problem() const { return problem_; }
  QString workDir() const { return work_.path(); }
  QString workFile(const QString& name) const;
  // The tools' data folder (XAV_DATA_HOME) while the bench lives; not made
  // until something writes there.
  QString dataDir() const;

  // A simulated module at a loopback address with a bridge name, a
  // Config.csv (none when empty) and the default network settings.
  void addModule(const QString& address, const QString& name, const QByteArray& config = {});
  void removeModule(const QString& address);
  bool hasModule(const QString& address) const;
  // A file of the module's own store; a null array when it has none.
  QByteArray moduleFile(const QString& address, const QString& file) const;
  void setModuleFile(const QString& address, const QString& file, const QByteArray& bytes);
  void removeModuleFile(const QString& address, const QString& file);

  // Addresses the ping stand-in was asked for, in order.
  QStringList pingedAddresses() const;
  // Addresses whose ping goes unanswered although the module is listed.
  void setPingDown(const QStringList& addresses);

  static QByteArray defaultNetworkSettings(const QString& address);

  // How the bench loader misbehaves from now on, by its environment
  // variable without the XAV_BENCH_RUINET_ prefix ("HANG" "send",
  // "DELAY_MS" "800", "ALTER_LINE" "4"); an empty value clears it.
  void setLoaderBehaviour(const char* variable, const QByteArray& value);
  // Puts a bench utility back into the working directory (after a test
  // removed it).
  bool restoreUtility(const QString& name);
  // Replaces the discovery utility in the working directory by a script
  // that prints this listing, whatever the store holds.
  bool replaceDiscoveryWith(const QByteArray& listing);
  // Process ids of loaders started from the working directory that are
  // still running.
  // With an argument: only those whose command line holds it (e.g. "-u0",
  // a send, apart from the quick fetches before it).
  QList<qint64> runningLoaders(const QString& argument = QString()) const;

 private:
  QTemporaryDir work_;
  QTemporaryDir config_;
  QString oldCwd_;
  QByteArray oldPath_, oldXdg_;
  bool hadXdg_ = false;
  QByteArray oldDataHome_;
  bool hadDataHome_ = false;
  QString binDir_;
  QString problem_;
};

// Runs the event loop until pred holds or ms pass; whether it held.
bool waitFor(const std::function<bool()>& pred, int ms = 8000);

}  // namespace xave::testing
