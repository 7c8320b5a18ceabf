#include "port_access.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <vector>

#include "platform.h"

#ifdef Q_OS_LINUX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace polmon {

namespace {
const QString kPortKey = QStringLiteral("port");

#ifdef Q_OS_LINUX
QString groupName(gid_t gid) {
  const group* g = getgrgid(gid);
  return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QList<SerialDevice> serialDevicesHere() {
  QList<SerialDevice> out;
  const QDir dev(QStringLiteral("/dev"));
  const QStringList names = dev.entryList({QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                          QDir::System | QDir::Files, QDir::Name);
  for (const QString& name : names) {
    SerialDevice d;
    d.path = dev.filePath(name);
    const QByteArray native = QFile::encodeName(d.path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) continue;
    d.accessible = ::access(native.constData(), R_OK | W_OK) == 0;
    d.group = groupName(st.st_gid);
    d.mode = static_cast<unsigned>(st.st_mode) & 07777;
    out << d;
  }
  return out;
}

QStringList userGroupsHere() {
  QStringList out{groupName(getegid())};
  const int n = getgroups(0, nullptr);
  if (n <= 0) return out;
  std::vector<gid_t> ids(static_cast<size_t>(n));
  const int got = getgroups(n, ids.data());
  for (int k = 0; k < got; ++k) out << groupName(ids[static_cast<size_t>(k)]);
  return out;
}

QString userNameHere() {
  const passwd* pw = getpwuid(geteuid());
  return pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("$USER");
}
#endif
}  // namespace

PortMemory::PortMemory(QString path) : path_(std::move(path)) {}

QString PortMemory::defaultPath() { return QDir(xav::platform::configDir()).filePath(QStringLiteral("TVR_Polmon.ini")); }

QString PortMemory::lastPort() const { return QSettings(path_, QSettings::IniFormat).value(kPortKey).toString(); }

void PortMemory::remember(const QString& port) {
  QSettings settings(path_, QSettings::IniFormat);
  settings.setValue(kPortKey, port);
}

QString serialAccessAdvice(const QList<SerialDevice>& devices, const QStringList& userGroups, const QString& userName) {
  for (const SerialDevice& d : devices)
    if (d.accessible) return {};
  // Joining a group helps only where its members may read and write.
  for (const SerialDevice& d : devices) {
    if (d.group.isEmpty() || !d.groupMayUse() || userGroups.contains(d.group)) continue;
    return QStringLiteral(
               "No serial port can be opened: you have no access to the serial devices (%1 belongs to group %2). "
               "Fix: sudo usermod -aG %2 %3, then log out and in again.")
        .arg(d.path, d.group, userName);
  }
  for (const SerialDevice& d : devices) {
    if (d.group.isEmpty() || d.groupMayUse()) continue;
    return QStringLiteral(
               "No serial port can be opened: %1 gives its group %2 no access (mode %3), so joining %2 would not help. "
               "Fix: a udev rule that gives it GROUP=\"dialout\", MODE=\"0660\" (user guide, \"A stable name for an "
               "adapter\"), then sudo udevadm control --reload-rules && sudo udevadm trigger.")
        .arg(d.path, d.group, QStringLiteral("%1").arg(d.mode, 4, 8, QLatin1Char('0')));
  }
  return {};
}

QString serialAccessAdviceHere() {
#ifdef Q_OS_LINUX
  return serialAccessAdvice(serialDevicesHere(), userGroupsHere(), userNameHere());
#else
  return {};
#endif
}

}  // namespace polmon
