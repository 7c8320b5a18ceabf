#include "utility_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <vector>

#include "commands.h"
#include "messages.h"
#include "process_platform.h"
#include "process_tree.h"

namespace gw {

namespace {

// A killed utility that does not go within this time (stuck in the kernel)
// no longer holds the run.
constexpr int kKillGraceMs = 2000;

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringList words(const QString& line) {
  QStringList out;
  for (QString w : line.split(u' ', Qt::SkipEmptyParts)) {
    w.remove(u'"');
    if (!w.isEmpty()) out << w;
  }
  return out;
}

void registerTypes() {
  static const bool once = [] {
    qRegisterMetaType<gw::UtilityWait>();
    qRegisterMetaType<gw::RunResult>();
    return true;
  }();
  Q_UNUSED(once);
}

}  // namespace

QString startErrorMessage(const QString& commandText, const QString& description) {
  return QStringLiteral("Error starting task ") + QStringLiteral("\r\n") + commandText + QStringLiteral("\r\n") +
         description;
}

QString cancelledOperationMessage(const QString& moduleAddress) {
  const QString address = normalAddress(moduleAddress).isEmpty() ? moduleAddress : normalAddress(moduleAddress);
  const QString module = address.isEmpty() ? QStringLiteral("the module")
                                           : QStringLiteral("the module at ") + address;
  return QStringLiteral("The operation was cancelled before it ended. The configuration of ") + module +
         QStringLiteral(" is now unknown: read it back before relying on it.");
}

QString programOfLine(const QString& line, const QString& workDir) {
  QString rest = line.trimmed();
  const qsizetype slashC = rest.indexOf(QStringLiteral(" /c "));
  if (slashC >= 0) rest = rest.mid(slashC + 4).trimmed();
  QString word;
  if (rest.startsWith(u'"')) {
    const qsizetype close = rest.indexOf(u'"', 1);
    word = close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
  } else {
    // An unquoted path into the working directory may hold blanks.
    qsizetype end = 0;
    for (const QString& dir : {directoryText(workDir, Flavour::Windows), directoryText(workDir, Flavour::Posix)}) {
      if (!dir.isEmpty() && rest.startsWith(dir)) end = dir.size();
    }
    while (end < rest.size() && !isBlank(rest[end])) ++end;
    word = rest.left(end);
  }
  const qsizetype cut = std::max(word.lastIndexOf(u'/'), word.lastIndexOf(u'\\'));
  return word.mid(cut + 1);
}

QString moduleAddressOfLine(const QString& line) {
  const QStringList w = words(line);
  for (int i = 0; i < w.size(); ++i) {
    if (w[i] == QStringLiteral("-i") && i + 1 < w.size()) return w[i + 1];
    if (w[i].startsWith(QStringLiteral("-i")) && isDottedIPv4(w[i].mid(2))) return w[i].mid(2);
  }
  for (const QString& word : w)
    if (isDottedIPv4(word)) return word;
  return {};
}

const LineResult* RunResult::firstFailure() const {
  for (const LineResult& l : lines)
    if (!l.succeeded()) return &l;
  return nullptr;
}

QString RunResult::describe() const {
  const LineResult* failed = firstFailure();
  const LineResult* subject = failed ? failed : (lines.isEmpty() ? nullptr : &lines.back());
  const QString program =
      subject ? programOfLine(subject->line, QDir::currentPath()) : QStringLiteral("The utility");
  const QString seconds = QString::number(elapsedMs / 1000);
  switch (outcome) {
    case RunOutcome::Succeeded: return program + QStringLiteral(" ended with exit status 0.");
    case RunOutcome::Failed:
      if (failed && failed->exited)
        return program + QStringLiteral(" ended with exit status %1.").arg(failed->exitCode);
      return program + QStringLiteral(" ended abnormally.");
    case RunOutcome::NotStarted: return program + QStringLiteral(" could not be started: ") + startError;
    case RunOutcome::Cancelled: return program + QStringLiteral(" was cancelled after %1 s.").arg(seconds);
    case RunOutcome::TimedOut: return program + QStringLiteral(" was stopped after %1 s (time limit).").arg(seconds);
    case RunOutcome::Busy: return QStringLiteral("Another utility is still running.");
  }
  return {};
}

struct UtilityRunner::Run {
  quint64 serial = 0;
  QString workDir;
  std::vector<detail::PreparedLine> prepared;
  RunResult result;
  int index = 0;
  QElapsedTimer clock;
  bool interrupting = false;
  RunOutcome interruptedAs = RunOutcome::Cancelled;
};

UtilityRunner::UtilityRunner(QObject* parent) : QObject(parent), tick_(new QTimer(this)) {
  registerTypes();
  tick_->setInterval(1000);
  connect(tick_, &QTimer::timeout, this, [this] {
    if (run_ && !run_->interrupting) emit stillWaiting(currentWait());
  });
}

UtilityRunner::~UtilityRunner() {
  if (!busy_) return;
  // Nothing this runner started may outlive it; waiters are released.
  if (process_) {
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
      detail::endProcessTree(*process_);
      process_->waitForFinished(kKillGraceMs);
    }
    detail::processTreeFinished(*process_);
  }
  finish(RunOutcome::Cancelled);
}

void UtilityRunner::setLongWaitThreshold(int ms) { longWaitMs_ = std::max(0, ms); }
void UtilityRunner::setTimeLimit(int ms) { timeLimitMs_ = std::max(0, ms); }

bool UtilityRunner::start(const QString& commandText, int windowStyle) {
  Q_UNUSED(windowStyle);  // no console windows to style here
  if (busy_) return false;
  static quint64 serials = 0;
  run_ = std::make_unique<Run>();
  run_->serial = ++serials;
  run_->workDir = QDir::currentPath();
  run_->result.commandText = commandText;
  run_->clock.start();
  busy_ = true;
  emit busyChanged(true);

  bool startable = true;
  for (const QString& line : detail::commandLines(commandText)) {
    run_->result.lines.append(LineResult{line});
    detail::PreparedLine prepared;
    QString error;
    if (startable && !detail::prepareLine(line, run_->workDir, &prepared, &error)) {
      startable = false;
      run_->result.startError = error;
    }
    run_->prepared.push_back(prepared);
  }
  // The end is reported from the event loop, so a caller that connects
  // after start() still hears it.
  const quint64 serial = run_->serial;
  const RunOutcome early = startable ? RunOutcome::Succeeded : RunOutcome::NotStarted;
  if (!startable || run_->prepared.empty()) {
    QTimer::singleShot(0, this, [this, serial, early] {
      if (run_ && run_->serial == serial && !run_->interrupting) finish(early);
    });
    return true;
  }
  startLine();
  return true;
}

void UtilityRunner::startLine() {
  Run& run = *run_;
  if (run.index >= static_cast<int>(run.prepared.size())) {
    finish(RunOutcome::Succeeded);
    return;
  }
  if (process_) process_->deleteLater();
  process_ = new QProcess(this);
  detail::prepareProcess(*process_, run.workDir);
  detail::applyLine(*process_, run.prepared[run.index]);
  detail::prepareProcessTree(*process_);
  QProcess* p = process_;
  connect(p, &QProcess::started, this, [this, p] {
    detail::processTreeStarted(*p);
    if (run_) run_->result.lines[run_->index].started = true;
  });
  connect(p, &QProcess::finished, this, [this, p](int code, QProcess::ExitStatus status) {
    detail::processTreeFinished(*p);
    lineEnded(status == QProcess::NormalExit, code);
  });
  connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart || !run_ || run_->interrupting) return;
    run_->result.startError = p->errorString();
    finish(RunOutcome::NotStarted);
  });
  if (run.index == 0) {
    if (longWaitMs_ >= 0) QTimer::singleShot(longWaitMs_, this, [this, serial = run.serial] { onTick(serial); });
    if (timeLimitMs_ > 0)
      QTimer::singleShot(timeLimitMs_, this, [this, serial = run.serial] {
        if (run_ && run_->serial == serial) interrupt(RunOutcome::TimedOut);
      });
  }
  const quint64 serial = run.serial;
  emit waitingFor(currentWait());
  // An observer may have cancelled the run from its handler: then nothing
  // may start, or the utility would run on with nobody to end it.
  if (!run_ || run_->serial != serial || run_->interrupting || process_ != p) return;
  p->start();
}

void UtilityRunner::onTick(quint64 serial) {
  if (!run_ || run_->serial != serial || run_->interrupting) return;
  emit longWait(currentWait());
  if (run_ && run_->serial == serial && !run_->interrupting) tick_->start();
}

void UtilityRunner::lineEnded(bool exited, int exitCode) {
  if (!run_) return;
  if (run_->interrupting) {
    finish(run_->interruptedAs);
    return;
  }
  LineResult& line = run_->result.lines[run_->index];
  line.started = true;
  line.exited = exited;
  line.exitCode = exited ? exitCode : -1;
  if (!line.succeeded()) {
    finish(RunOutcome::Failed);
    return;
  }
  ++run_->index;
  startLine();
}

void UtilityRunner::cancel() { interrupt(RunOutcome::Cancelled); }

void UtilityRunner::interrupt(RunOutcome why) {
  if (!run_ || run_->interrupting) return;
  run_->interrupting = true;
  run_->interruptedAs = why;
  tick_->stop();
  if (!process_ || process_->state() == QProcess::NotRunning) {
    finish(why);
    return;
  }
  // The run ends when the process is seen to end (or after a grace time).
  detail::endProcessTree(*process_);
  QTimer::singleShot(kKillGraceMs, this, [this, serial = run_->serial, why] {
    if (run_ && run_->serial == serial) finish(why);
  });
}

void UtilityRunner::finish(RunOutcome outcome) {
  if (!busy_ || !run_) return;
  tick_->stop();
  RunResult result = std::move(run_->result);
  result.outcome = outcome;
  result.elapsedMs = run_->clock.elapsed();
  if (process_) {
    process_->disconnect(this);
    if (process_->state() == QProcess::NotRunning) {
      process_->deleteLater();
    } else {
      // Killed but not yet reaped: it goes once it has ended.
      connect(process_, &QProcess::finished, process_, &QObject::deleteLater);
    }
    process_ = nullptr;
  }
  const bool tell = outcome == RunOutcome::NotStarted && tellsStartErrors_;
  run_.reset();
  last_ = result;
  busy_ = false;
  emit busyChanged(false);
  if (tell)
    xav::tell(xav::MessageIcon::Exclamation, QStringLiteral("Error"),
                     startErrorMessage(result.commandText, result.startError));
  emit finished(result);
}

UtilityWait UtilityRunner::currentWait() const {
  UtilityWait w;
  if (!run_) return w;
  w.commandText = run_->result.commandText;
  w.lineCount = run_->result.lines.size();
  w.lineIndex = std::min(run_->index, std::max(0, w.lineCount - 1));
  const QString line = w.lineCount > 0 ? run_->result.lines[w.lineIndex].line : QString();
  w.program = programOfLine(line, run_->workDir);
  w.moduleAddress = moduleAddressOfLine(line);
  w.elapsedSeconds = static_cast<int>(run_->clock.elapsed() / 1000);
  return w;
}

UtilityRunner& sharedUtilityRunner() {
  static QPointer<UtilityRunner> shared;
  if (!shared) shared = new UtilityRunner(QCoreApplication::instance());
  return *shared;
}

}  // namespace gw
