#include "port_holder.h"

#include <QFile>
#include <algorithm>
#include <functional>
#include <vector>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace rvsim {

namespace {

constexpr int kListenState = 0x0A;

struct TableEntry {
  quint64 inode = 0;
  uint uid = 0;
  bool listening = false;
};

// Lines of /proc/net/tcp: "sl local rem st tx:rx tr:when retr uid timeout inode ...",
// addresses as hex "ADDR:PORT".
std::vector<TableEntry> entriesForPort(quint16 port, const QByteArray& table) {
  std::vector<TableEntry> found;
  const QList<QByteArray> lines = table.split('\n');
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QList<QByteArray> f = lines[i].simplified().split(' ');
    if (f.size() < 10) continue;
    const qsizetype colon = f[1].lastIndexOf(':');
    bool ok = false;
    if (colon < 0 || f[1].mid(colon + 1).toUInt(&ok, 16) != port || !ok) continue;
    TableEntry e;
    e.listening = f[3].toInt(nullptr, 16) == kListenState;
    e.uid = f[7].toUInt();
    e.inode = f[9].toULongLong();
    if (e.inode != 0) found.push_back(e);
  }
  return found;
}

#ifdef Q_OS_LINUX
bool descriptorIsSocket(const QByteArray& linkPath, const QByteArray& target) {
  char buffer[64];
  const ssize_t n = readlink(linkPath.constData(), buffer, sizeof buffer);
  return n == target.size() && QByteArray(buffer, n) == target;
}

QString processName(const QByteArray& pid) {
  QFile comm(QString::fromLatin1("/proc/" + pid + "/comm"));
  const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
  return QStringLiteral("%1 (process %2)").arg(name.isEmpty() ? QStringLiteral("a program") : name,
                                               QString::fromLatin1(pid));
}

// The process with a descriptor on the socket; only this user's processes
// can be looked into.
QString processHoldingInode(quint64 inode) {
  const QByteArray target = "socket:[" + QByteArray::number(inode) + "]";
  DIR* proc = opendir("/proc");
  if (!proc) return QString();
  QString holder;
  while (holder.isEmpty()) {
    const dirent* p = readdir(proc);
    if (!p) break;
    const QByteArray pid(p->d_name);
    bool numeric = false;
    pid.toUInt(&numeric);
    if (!numeric) continue;
    const QByteArray fdDir = "/proc/" + pid + "/fd";
    DIR* fds = opendir(fdDir.constData());
    if (!fds) continue;
    while (const dirent* f = readdir(fds)) {
      if (f->d_name[0] != '.' && descriptorIsSocket(fdDir + '/' + f->d_name, target)) {
        holder = processName(pid);
        break;
      }
    }
    closedir(fds);
  }
  closedir(proc);
  return holder;
}
#endif

}  // namespace

QString tcpPortHolderFrom(quint16 port, const QByteArray& tcpTable, const std::function<QString(quint64)>& processOf,
                          const std::function<QString(uint)>& userName) {
  std::vector<TableEntry> entries = entriesForPort(port, tcpTable);
  // A listener is what blocks a bind; other sockets on the port come second.
  std::stable_partition(entries.begin(), entries.end(), [](const TableEntry& e) { return e.listening; });
  for (const TableEntry& e : entries) {
    const QString process = processOf ? processOf(e.inode) : QString();
    if (!process.isEmpty()) return process;
  }
  if (entries.empty()) return QString();
  const QString user = userName ? userName(entries.front().uid) : QString();
  return user.isEmpty() ? QStringLiteral("a program of user %1").arg(entries.front().uid)
                        : QStringLiteral("a program of user %1").arg(user);
}

QString tcpPortHolder(quint16 port) {
#ifdef Q_OS_LINUX
  QByteArray table;
  for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    QFile f(QString::fromLatin1(path));
    if (f.open(QIODevice::ReadOnly)) table += f.readAll() + '\n';
  }
  return tcpPortHolderFrom(port, table, processHoldingInode, [](uint uid) {
    const passwd* pw = getpwuid(uid);
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
  });
#else
  Q_UNUSED(port);
  return QString();
#endif
}

}  // namespace rvsim
