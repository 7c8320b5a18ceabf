// POSIX twin of the process layer: /bin/sh plays the command interpreter.
//
// A line of a command text is handed to "/bin/sh -c". Before that:
// - a leading "/bin/sh /c " (the interpreter as the texts write it) is dropped;
// - the first word, quoted with double quotes or not, names the program. When
//   it is a bare name or a path in the working directory, the file is looked
//   up there without regard to case and with or without ".exe", and the word
//   becomes that file's absolute path in shell quotes. Other bare names are
//   left to the shell's PATH search;
// - every path into the working directory elsewhere in the line (such as the
//   quoted redirection target of the ping command) is shell-quoted, so blanks,
//   quotes, "$", ";" or "&" in the directory's name stay literal.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

#include "command_line.h"
#include "processes.h"
#include "process_platform.h"

namespace gw::detail {

namespace {

QString shellQuote(const QString& s) {
  QString q = s;
  q.replace(u'\'', QStringLiteral("'\\''"));
  return u'\'' + q + u'\'';
}

// Shell-quotes every occurrence of the working directory in the rest of a
// line: a double-quoted path into it as a whole, a bare one by its directory.
QString quoteWorkDirPaths(const QString& rest, const QString& dirPrefix) {
  const QString quotedPrefix = u'"' + dirPrefix;
  QString out;
  qsizetype i = 0;
  while (i < rest.size()) {
    const QStringView tail = QStringView(rest).mid(i);
    if (tail.startsWith(quotedPrefix)) {
      qsizetype close = rest.indexOf(u'"', i + quotedPrefix.size());
      if (close < 0) close = rest.size();
      out += shellQuote(rest.mid(i + 1, close - i - 1));
      i = close + 1;
    } else if (tail.startsWith(dirPrefix)) {
      out += shellQuote(dirPrefix);
      i += dirPrefix.size();
    } else {
      out += rest[i];
      ++i;
    }
  }
  return out;
}

}  // namespace

bool prepareLine(const QString& rawLine, const QString& workDir, PreparedLine* out, QString* error) {
  QString line = rawLine.trimmed();
  const QString interpreterPrefix = QStringLiteral("/bin/sh /c ");
  if (line.startsWith(interpreterPrefix)) line = line.mid(interpreterPrefix.size()).trimmed();
  const QString dirPrefix = workDir.endsWith(u'/') ? workDir : workDir + u'/';

  const CommandLineSplit split = splitCommandLine(line, workDir, Flavour::Posix);
  const QString& word = split.program;
  const QString& rest = split.rest;

  QString program;
  if (word.startsWith(dirPrefix) && !word.mid(dirPrefix.size()).contains(u'/')) {
    program = findProgramInDir(workDir, word.mid(dirPrefix.size()));
  } else if (!word.isEmpty() && !word.contains(u'/')) {
    program = findProgramInDir(workDir, word);
    if (program.isEmpty() && !QStandardPaths::findExecutable(word).isEmpty()) program = word;
  } else if (!word.isEmpty()) {
    const QFileInfo fi(word);
    if (fi.isFile() && fi.isExecutable()) program = word;
  }
  if (program.isEmpty()) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(ENOENT));
    return false;
  }
  // A utility copied without its execute bit would only make the shell
  // complain unseen; the operator gets the start error instead.
  if (program.contains(u'/') && !QFileInfo(program).isExecutable()) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(EACCES));
    return false;
  }
  out->program = QStringLiteral("/bin/sh");
  out->arguments = {QStringLiteral("-c"), shellQuote(program) + quoteWorkDirPaths(rest, dirPrefix)};
  out->nativeArguments.clear();
  return true;
}

void applyLine(QProcess& process, const PreparedLine& line) {
  process.setProgram(line.program);
  process.setArguments(line.arguments);
}

namespace {

// The executable file name of a process: from its exe link, else from the
// first word of its command line, else its short name.
QString executableName(const QString& pidText) {
  const QByteArray exeLink = QStringLiteral("/proc/%1/exe").arg(pidText).toLocal8Bit();
  char buf[4096];
  const ssize_t n = ::readlink(exeLink.constData(), buf, sizeof buf - 1);
  if (n > 0) {
    QString target = QString::fromLocal8Bit(buf, n);
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted)) target.chop(deleted.size());
    return QFileInfo(target).fileName();
  }
  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pidText));
  if (cmdline.open(QIODevice::ReadOnly)) {
    const QByteArray all = cmdline.read(4096);
    const QByteArray first = all.left(all.indexOf('\0') < 0 ? all.size() : all.indexOf('\0'));
    if (!first.isEmpty()) return QFileInfo(QString::fromLocal8Bit(first)).fileName();
  }
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pidText));
  if (comm.open(QIODevice::ReadOnly)) return QString::fromLocal8Bit(comm.readAll()).trimmed();
  return {};
}

// Whether the process's real user is ours ("Uid:" line of its status).
bool ownedByCurrentUser(const QString& pidText) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pidText));
  if (!status.open(QIODevice::ReadOnly)) return false;
  // Files under /proc report no size: read until the end, not by atEnd().
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("Uid:")) continue;
    const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
    bool ok = false;
    const uint real = ids.value(0).toUInt(&ok);
    return ok && real == ::getuid();
  }
  return false;
}

// The parent of a process (from /proc/PID/stat), 0 when it cannot be read.
long parentOf(long pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  // "PID (NAME) STATE PPID ...": the name may hold blanks and parentheses.
  const QByteArray line = stat.readAll();
  const qsizetype nameEnd = line.lastIndexOf(')');
  if (nameEnd < 0) return 0;
  const QList<QByteArray> fields = line.mid(nameEnd + 1).simplified().split(' ');
  return fields.size() > 1 ? fields[1].toLong() : 0;
}

bool descendsFrom(long pid, long root) {
  for (long p = parentOf(pid); p > 1; p = parentOf(p))
    if (p == root) return true;
  return false;
}

}  // namespace

void killByExecutableSuffix(const QString& lowerSuffix, qint64 treeRoot) {
  const pid_t self = ::getpid();
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    bool ok = false;
    const long pid = entry.toLong(&ok);
    if (!ok || pid <= 1 || pid == self) continue;
    if (!executableName(entry).toLower().endsWith(lowerSuffix)) continue;
    if (treeRoot > 0 && !descendsFrom(pid, static_cast<long>(treeRoot))) continue;
    // Other people's programs are theirs, also when this tool runs as root.
    if (ownedByCurrentUser(entry)) ::kill(static_cast<pid_t>(pid), SIGKILL);
  }
}

}  // namespace gw::detail
