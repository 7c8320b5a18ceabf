// Windows: a utility joins a job object as soon as it has started, and the
// processes it starts join the job with it; ending the job ends them all.
// A process that could not join is ended with its tree by taskkill /T.

#include <QProcess>
#include <QVariant>

#include <windows.h>

#include "process_tree.h"

namespace gw::detail {

namespace {

const char kJobProperty[] = "xavProcessJob";

HANDLE jobOf(const QProcess& process) {
  return reinterpret_cast<HANDLE>(process.property(kJobProperty).value<quintptr>());
}

}  // namespace

void prepareProcessTree(QProcess& process) { Q_UNUSED(process); }

void processTreeStarted(QProcess& process) {
  const qint64 pid = process.processId();
  if (pid <= 0) return;
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return;
  HANDLE child = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  const bool joined = child && AssignProcessToJobObject(job, child);
  if (child) CloseHandle(child);
  if (!joined) {
    CloseHandle(job);
    return;
  }
  process.setProperty(kJobProperty, QVariant::fromValue(reinterpret_cast<quintptr>(job)));
}

void endProcessTree(QProcess& process) {
  if (HANDLE job = jobOf(process)) {
    TerminateJobObject(job, 1);
    return;
  }
  const qint64 pid = process.processId();
  if (pid <= 0) return;
  QProcess::startDetached(QStringLiteral("taskkill"),
                          {QStringLiteral("/T"), QStringLiteral("/F"), QStringLiteral("/PID"), QString::number(pid)});
  process.kill();
}

void processTreeFinished(QProcess& process) {
  if (HANDLE job = jobOf(process)) {
    CloseHandle(job);
    process.setProperty(kJobProperty, QVariant());
  }
}

}  // namespace gw::detail
