// POSIX: a utility runs as the leader of a new process group, so ending the
// group ends the shell, the utility and whatever the utility started.

#include <QProcess>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#include "process_tree.h"

namespace gw::detail {

void prepareProcessTree(QProcess& process) {
  process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void processTreeStarted(QProcess& process) { Q_UNUSED(process); }

void endProcessTree(QProcess& process) {
  const qint64 pid = process.processId();
  if (pid <= 0) return;
  // The group exists once the child has run the modifier; before that the
  // child itself is the only member.
  if (::kill(-static_cast<pid_t>(pid), SIGKILL) != 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
}

void processTreeFinished(QProcess& process) { Q_UNUSED(process); }

}  // namespace gw::detail
