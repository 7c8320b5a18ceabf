#include "sessions.h"

#include <QDir>
#include <QFile>
#include <QTime>
#include <QTimer>

#include "commands.h"
#include "files.h"
#include "network_settings.h"

namespace gw {

namespace {

QByteArray readFile(const QString& workDir, const QString& name, bool* present) {
  QByteArray bytes;
  *present = xav::readWholeFile(QDir(workDir).filePath(name), &bytes);
  return bytes;
}

QString firstLine(const QByteArray& file) {
  QByteArray line = file.left(file.indexOf('\n'));
  if (line.endsWith('\r')) line.chop(1);
  return QString::fromLatin1(line);
}

}  // namespace

QString failureName(SessionFailure f) {
  switch (f) {
    case SessionFailure::None: return QStringLiteral("ok");
    case SessionFailure::NotAnAddress: return QStringLiteral("not-an-address");
    case SessionFailure::NotAnswering: return QStringLiteral("not-answering");
    case SessionFailure::UtilityNotStarted: return QStringLiteral("utility-not-started");
    case SessionFailure::UtilityFailed: return QStringLiteral("utility-failed");
    case SessionFailure::FetchFailed: return QStringLiteral("fetch-failed");
    case SessionFailure::CorruptFile: return QStringLiteral("corrupt-file");
    case SessionFailure::InvalidEntries: return QStringLiteral("invalid-entries");
    case SessionFailure::WriteFailed: return QStringLiteral("write-failed");
    case SessionFailure::LoaderFailed: return QStringLiteral("loader-failed");
    case SessionFailure::VerifyMismatch: return QStringLiteral("verify-mismatch");
    case SessionFailure::SettingsUnreadable: return QStringLiteral("settings-unreadable");
    case SessionFailure::Busy: return QStringLiteral("busy");
    case SessionFailure::Cancelled: return QStringLiteral("cancelled");
    case SessionFailure::TimedOut: return QStringLiteral("timed-out");
  }
  return {};
}

VerifyResult judgeFetchedConfig(const QString& workDir, const QString& address, const QByteArray& sent,
                                QByteArray* fetchedOut) {
  VerifyResult r;
  r.moduleAddress = address;
  QByteArray fetched;
  QString error;
  const bool read = xav::readWholeFile(QDir(workDir).filePath(QStringLiteral("Config.csv")), &fetched, &error);
  deleteConfigCsv(workDir);
  if (!read) {
    r.kind = VerifyResult::Kind::FetchFailed;
    r.detail = QStringLiteral("no Config.csv came back (") + error + u')';
    return r;
  }
  if (fetchedOut) *fetchedOut = fetched;
  r = compareConfigs(sent, fetched);
  r.moduleAddress = address;
  return r;
}

// ---------------------------------------------------------------- Session

Session::Session(UtilityRunner& runner, const QString& workDir, QObject* parent)
    : QObject(parent), runner_(runner), workDir_(workDir) {
  qRegisterMetaType<gw::SessionOutcome>();
  connect(&runner_, &UtilityRunner::finished, this, &Session::onRunFinished);
  connect(&runner_, &UtilityRunner::waitingFor, this, [this](const UtilityWait& wait) {
    if (running_) emit waitingFor(wait);
  });
}

Session::~Session() {
  // Nothing this session started may outlive it.
  if (running_) {
    disconnect(&runner_, nullptr, this, nullptr);
    runner_.cancel();
  }
}

bool Session::begin(const QString& operation, const QString& moduleAddress) {
  if (isActive() || runner_.isBusy()) return false;
  outcome_ = SessionOutcome{};
  outcome_.operation = operation;
  const QString normal = normalAddress(moduleAddress);
  outcome_.moduleAddress = normal.isEmpty() ? moduleAddress : normal;
  outcome_.startedAt = QDateTime::currentDateTime();
  finishing_ = false;
  setState(State::Idle);
  return true;
}

void Session::setState(State s) {
  if (state_ == s) return;
  state_ = s;
  emit stateChanged(s);
}

void Session::cancel() {
  if (!isActive() || finishing_) return;
  if (running_) {
    runner_.cancel();  // finished() of the runner ends the session
    return;
  }
  finish(SessionFailure::Cancelled, QStringLiteral("Cancelled."));
}

void Session::run(State s, const QString& commandText, int windowStyle, std::function<void(const RunResult&)> next) {
  setState(s);
  next_ = std::move(next);
  running_ = true;
  if (!runner_.start(commandText, windowStyle)) {
    running_ = false;
    next_ = nullptr;
    finish(SessionFailure::Busy, QStringLiteral("Another utility is still running."));
  }
}

void Session::onRunFinished(const RunResult& result) {
  if (!running_) return;
  running_ = false;
  auto next = std::move(next_);
  next_ = nullptr;
  outcome_.lastRun = result;
  if (result.interrupted()) {
    const SessionFailure why =
        result.outcome == RunOutcome::TimedOut ? SessionFailure::TimedOut : SessionFailure::Cancelled;
    // Leave nothing half-made behind that a later step could take for an answer.
    deleteConfigCsv(workDir_);
    if (outcome_.sending) finish(why, cancelledOperationMessage(outcome_.moduleAddress));
    else finish(why, result.describe());
    return;
  }
  if (next) next(result);
}

bool Session::ranOk(const RunResult& run, SessionFailure whenFailed, const QString& what) {
  if (run.succeeded()) return true;
  if (run.outcome == RunOutcome::NotStarted)
    finish(SessionFailure::UtilityNotStarted, startErrorMessage(run.commandText, run.startError));
  else
    finish(whenFailed, what + QStringLiteral(": ") + run.describe());
  return false;
}

void Session::finish(SessionFailure failure, const QString& message) {
  if (finishing_) return;
  finishing_ = true;
  outcome_.failure = failure;
  outcome_.message = message;
  // From the event loop: a session that ends inside start() still reports after it.
  QTimer::singleShot(0, this, [this] {
    outcome_.finishedAt = QDateTime::currentDateTime();
    setState(State::Finished);
    emit finished(outcome_);
  });
}

void Session::ping(const QString& address, std::function<void(bool)> next) {
  const QString command = pingCommand(workDir_, address);
  if (command.isEmpty()) {  // never ping what is no address
    next(false);
    return;
  }
  // A report left by an earlier run must not answer for this one.
  QFile::remove(QDir(workDir_).filePath(QStringLiteral("png.txt")));
  run(State::Pinging, command, kHidden, [this, next](const RunResult&) { next(takePingReport(workDir_)); });
}

// ---------------------------------------------------------------- discovery

bool ModuleScanSession::start() {
  if (!begin(QStringLiteral("scan"), QString())) return false;
  QFile::remove(QDir(workDir()).filePath(QStringLiteral("C.txt")));
  run(State::Scanning, discoveryCommand(), kHidden, [this](const RunResult& r) {
    if (!ranOk(r, SessionFailure::UtilityFailed, QStringLiteral("The discovery utility"))) return;
    outcome_.modules = modulesOfListing(ParseDiscoveryOutput(textAfterSeparator(readDiscoveryFile(workDir()))));
    finish(SessionFailure::None, QStringLiteral("%1 module(s) found").arg(outcome_.modules.size()));
  });
  return true;
}

bool AddressTableSession::start() {
  if (!begin(QStringLiteral("discover"), QString())) return false;
  candidates_.clear();
  // The broadcast only fills the PC's table; its report is not read.
  run(State::BroadcastPing, broadcastPingCommand(), kHidden, [this](const RunResult&) {
    run(State::ReadingTable, addressTableCommand(workDir()), kHidden, [this](const RunResult&) {
      candidates_ = moduleCandidatesInAddressTable(takeAddressTable(workDir()));
      pingNext(0);
    });
  });
  return true;
}

void AddressTableSession::pingNext(int index) {
  if (index >= candidates_.size()) {
    fetchTitle(0);
    return;
  }
  ping(candidates_[index].address, [this, index](bool answered) {
    if (answered) outcome_.modules << candidates_[index];
    pingNext(index + 1);
  });
}

void AddressTableSession::fetchTitle(int index) {
  if (index >= outcome_.modules.size()) {
    finish(SessionFailure::None, QStringLiteral("%1 module(s) found").arg(outcome_.modules.size()));
    return;
  }
  const QString command = fetchConfigurationCommand(workDir(), outcome_.modules[index].address);
  if (command.isEmpty()) {
    emit moduleListed(outcome_.modules[index]);
    fetchTitle(index + 1);
    return;
  }
  // A file of an earlier fetch must not lend this module its title.
  deleteConfigCsv(workDir());
  run(State::FetchingTitle, command, kHidden, [this, index](const RunResult&) {
    bool present = false;
    const QByteArray file = readFile(workDir(), QStringLiteral("Config.csv"), &present);
    if (present) outcome_.modules[index].title = configTitle(file);
    emit moduleListed(outcome_.modules[index]);
    fetchTitle(index + 1);
  });
}

// ---------------------------------------------------------------- picking a module

bool ModulePickSession::start(const QString& moduleAddress, bool pingFirst, const Entries& base) {
  if (!begin(QStringLiteral("read"), moduleAddress)) return false;
  base_ = base;
  outcome_.entries = base;
  if (normalAddress(moduleAddress).isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  if (!pingFirst) {
    fetch();
    return true;
  }
  ping(outcome_.moduleAddress, [this](bool answered) {
    if (answered) fetch();
    else
      finish(SessionFailure::NotAnswering,
             QStringLiteral("The module at %1 does not answer a ping.").arg(outcome_.moduleAddress));
  });
  return true;
}

void ModulePickSession::fetch() {
  // A file left by an earlier read-back must not pass for this module's.
  deleteConfigCsv(workDir());
  run(State::Fetching, fetchConfigurationCommand(workDir(), outcome_.moduleAddress), kHidden, [this](const RunResult& r) {
    if (r.outcome == RunOutcome::NotStarted) {
      finish(SessionFailure::UtilityNotStarted, startErrorMessage(r.commandText, r.startError));
      return;
    }
    bool present = false;
    const QByteArray file = readFile(workDir(), QStringLiteral("Config.csv"), &present);
    if (!present) {
      finish(SessionFailure::FetchFailed, QStringLiteral("No Config.csv came back from %1: %2")
                                              .arg(outcome_.moduleAddress, r.describe()));
      return;
    }
    outcome_.configRead = file;
    outcome_.current = parseCurrentConfig(file);
    outcome_.captionsTail = outcome_.current.hasCaptions ? outcome_.current.captionsTail : QString();
    outcome_.entries = base_.restoredFrom(outcome_.current);
    outcome_.title = outcome_.current.title;
    outcome_.summaryLine = firstLine(file);
    if (!outcome_.current.readable || outcome_.current.protocolCode == kNoProtocol)
      finish(SessionFailure::CorruptFile, QStringLiteral("Current Config file is corrupt."));
    else
      finish(SessionFailure::None, outcome_.summaryLine);
  });
}

// ---------------------------------------------------------------- save and verify

bool SaveSession::start(const QString& moduleAddress, const Entries& entries, const QString& captionsTail,
                        Options options) {
  if (!begin(QStringLiteral("save"), moduleAddress)) return false;
  outcome_.entries = entries;
  const QString upload = uploadConfigurationCommand(moduleAddress);
  if (upload.isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  Entries::Field bad{};
  if (options.strict && entries.firstInvalidField(&bad)) {
    finish(SessionFailure::InvalidEntries, Entries::invalidFieldMessage(bad));
    return true;
  }
  const GeneratedConfig gen = generateConfig(entries.toConfigEntries(), captionsTail);
  if (gen.titleReplaced) outcome_.entries.title = gen.title;
  outcome_.title = gen.title;
  if (gen.refusal != Refusal::None) {
    finish(SessionFailure::InvalidEntries, refusalMessage(gen.refusal));
    return true;
  }
  outcome_.summaryLine = gen.summaryLine;
  outcome_.configSent = gen.bytes;
  sendConfig(upload, options.verify);
  return true;
}

void Session::sendConfig(const QString& upload, bool verify) {
  setState(State::Writing);
  QString error;
  if (!writeConfigFile(workDir(), outcome_.configSent, &error)) {
    finish(SessionFailure::WriteFailed, QStringLiteral("Config.csv could not be written: ") + error);
    return;
  }
  outcome_.sending = true;
  run(State::Loading, upload, kNormalNoFocus, [this, verify](const RunResult& r) {
    deleteConfigCsv(workDir());
    const QString status =
        uploadStatusLine(QStringLiteral("Config.csv"), outcome_.moduleAddress, r, QTime::currentTime());
    if (r.outcome == RunOutcome::NotStarted) {
      finish(SessionFailure::UtilityNotStarted, startErrorMessage(r.commandText, r.startError));
      return;
    }
    if (!r.succeeded()) {
      finish(SessionFailure::LoaderFailed, status);
      return;
    }
    outcome_.sending = false;
    outcome_.message = status;
    if (verify) verifySent();
    else finish(SessionFailure::None, status);
  });
}

void Session::verifySent() {
  run(State::Verifying, fetchConfigurationCommand(workDir(), outcome_.moduleAddress), kHidden,
      [this](const RunResult& r) {
        if (r.outcome == RunOutcome::NotStarted) {
          finish(SessionFailure::UtilityNotStarted, startErrorMessage(r.commandText, r.startError));
          return;
        }
        outcome_.verify = judgeFetchedConfig(workDir(), outcome_.moduleAddress, outcome_.configSent, &outcome_.configRead);
        outcome_.verified = outcome_.verify.identical();
        if (outcome_.verified) finish(SessionFailure::None, outcome_.message + QStringLiteral("; ") + outcome_.verify.message());
        else if (outcome_.verify.kind == VerifyResult::Kind::Differs)
          finish(SessionFailure::VerifyMismatch, outcome_.verify.message());
        else
          finish(SessionFailure::FetchFailed, outcome_.verify.message());
      });
}

bool VerifySession::start(const QString& moduleAddress, const QByteArray& sent) {
  if (!begin(QStringLiteral("verify"), moduleAddress)) return false;
  outcome_.configSent = sent;
  const QString fetch = fetchConfigurationCommand(workDir(), moduleAddress);
  if (fetch.isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  // A file left from before must not pass for the module's answer.
  deleteConfigCsv(workDir());
  run(State::Verifying, fetch, kHidden, [this](const RunResult& r) {
    if (r.outcome == RunOutcome::NotStarted) {
      finish(SessionFailure::UtilityNotStarted, startErrorMessage(r.commandText, r.startError));
      return;
    }
    outcome_.verify = judgeFetchedConfig(workDir(), outcome_.moduleAddress, outcome_.configSent, &outcome_.configRead);
    outcome_.verified = outcome_.verify.identical();
    outcome_.summaryLine = firstLine(outcome_.configRead);
    outcome_.title = configTitle(outcome_.configRead);
    if (outcome_.verified) finish(SessionFailure::None, outcome_.verify.message());
    else if (outcome_.verify.kind == VerifyResult::Kind::Differs)
      finish(SessionFailure::VerifyMismatch, outcome_.verify.message());
    else
      finish(SessionFailure::FetchFailed, outcome_.verify.message());
  });
  return true;
}

// ---------------------------------------------------------------- IP change

bool IpChangeSession::checkValues(const QString& newAddress, const QString& newMask) {
  // A value the module cannot use would cut it off the network.
  outcome_.newAddress = normalAddress(newAddress);
  if (outcome_.newAddress.isEmpty()) {
    finish(SessionFailure::InvalidEntries,
           QStringLiteral("Enter the IP address as four numbers from 0 to 255 separated by dots."));
    return false;
  }
  outcome_.newMask.clear();
  if (!newMask.isEmpty()) {
    outcome_.newMask = normalAddress(newMask);
    if (outcome_.newMask.isEmpty()) {
      finish(SessionFailure::InvalidEntries,
             QStringLiteral("Enter the subnet mask as four numbers from 0 to 255 separated by dots."));
      return false;
    }
  }
  return true;
}

bool IpChangeSession::start(const QString& moduleAddress, const QString& newAddress, const QString& newMask) {
  if (!begin(QStringLiteral("set-ip"), moduleAddress)) return false;
  asking_ = false;
  awaitingValues_ = false;
  if (normalAddress(moduleAddress).isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  if (checkValues(newAddress, newMask)) pingAndFetch();
  return true;
}

bool IpChangeSession::startAsking(const QString& moduleAddress) {
  if (!begin(QStringLiteral("set-ip"), moduleAddress)) return false;
  asking_ = true;
  awaitingValues_ = false;
  if (normalAddress(moduleAddress).isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  pingAndFetch();
  return true;
}

void IpChangeSession::proceed(const QString& newAddress, const QString& newMask) {
  // Not after a cancel, which has already decided the outcome.
  if (!isAsking() || outcome_.failure != SessionFailure::None) return;
  awaitingValues_ = false;
  if (checkValues(newAddress, newMask)) upload();
}

void IpChangeSession::pingAndFetch() {
  ping(outcome_.moduleAddress, [this](bool answered) {
    if (!answered) {
      finish(SessionFailure::NotAnswering,
             QStringLiteral("The module at %1 does not answer a ping.").arg(outcome_.moduleAddress));
      return;
    }
    // Only what this fetch brings may be sent back.
    QFile::remove(QDir(workDir()).filePath(QStringLiteral("fs_tcp.ini")));
    run(State::Fetching, fetchNetworkSettingsCommand(outcome_.moduleAddress), kMinimizedNoFocus,
        [this](const RunResult& r) {
          if (r.outcome == RunOutcome::NotStarted) {
            finish(SessionFailure::UtilityNotStarted, startErrorMessage(r.commandText, r.startError));
            return;
          }
          bool present = false;
          outcome_.networkSettingsBefore = readFile(workDir(), QStringLiteral("fs_tcp.ini"), &present);
          const NetworkSettings settings = present ? parseNetworkSettings(outcome_.networkSettingsBefore) : NetworkSettings{};
          if (!settings.usable) {
            finish(SessionFailure::SettingsUnreadable,
                   QStringLiteral("The network settings of the XAV at ") + outcome_.moduleAddress +
                       QStringLiteral(" could not be read (fs_tcp.ini missing or incomplete). Nothing was changed."));
            return;
          }
          settingsLines_ = settings.lines;
          if (asking_) {
            awaitingValues_ = true;
            emit settingsFetched(settings.ip, settings.mask);
            return;
          }
          if (outcome_.newMask.isEmpty()) outcome_.newMask = settings.mask;
          upload();
        });
  });
}

void IpChangeSession::upload() {
  if (outcome_.newMask.isEmpty()) outcome_.newMask = parseNetworkSettings(outcome_.networkSettingsBefore).mask;
  outcome_.networkSettingsAfter = rewriteNetworkSettings(settingsLines_, outcome_.newAddress, outcome_.newMask);
  setState(State::Writing);
  QString error;
  if (!xav::writeWholeFile(QDir(workDir()).filePath(QStringLiteral("fs_tcp.ini")), outcome_.networkSettingsAfter,
                           &error)) {
    finish(SessionFailure::WriteFailed, QStringLiteral("fs_tcp.ini could not be written: ") + error);
    return;
  }
  outcome_.sending = true;
  run(State::Loading, uploadNetworkSettingsCommand(outcome_.moduleAddress), kNormalNoFocus, [this](const RunResult& up) {
    const QString status =
        uploadStatusLine(QStringLiteral("fs_tcp.ini"), outcome_.moduleAddress, up, QTime::currentTime());
    if (up.outcome == RunOutcome::NotStarted)
      finish(SessionFailure::UtilityNotStarted, startErrorMessage(up.commandText, up.startError));
    else if (!up.succeeded())
      finish(SessionFailure::LoaderFailed, status);
    else
      finish(SessionFailure::None, status);
  });
}

// ---------------------------------------------------------------- restore

bool RestoreSession::start(const QString& moduleAddress, const QByteArray& config) {
  if (!begin(QStringLiteral("restore"), moduleAddress)) return false;
  const QString upload = uploadConfigurationCommand(moduleAddress);
  if (upload.isEmpty()) {
    finish(SessionFailure::NotAnAddress, notAnAddressMessage(moduleAddress));
    return true;
  }
  if (config.isEmpty()) {
    finish(SessionFailure::InvalidEntries, QStringLiteral("The history entry holds no Config.csv to restore."));
    return true;
  }
  outcome_.configSent = config;
  outcome_.summaryLine = firstLine(config);
  outcome_.title = configTitle(config);
  // A restore is only done when the module is seen holding the bytes kept.
  sendConfig(upload, true);
  return true;
}

}  // namespace gw
