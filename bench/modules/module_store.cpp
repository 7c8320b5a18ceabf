#include "module_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

#include "commands.h"
#include "files.h"
#include "platform.h"
#include "profiles.h"

namespace xav::bench {

namespace {

const char kBridgeNameFile[] = "bridge_name.txt";
const char kNetworkSettings[] = "fs_tcp.ini";

quint32 addressValue(const QString& address) {
  quint32 v = 0;
  for (const QString& part : address.split(u'.')) v = (v << 8) | (part.toUInt() & 0xff);
  return v;
}

QString readText(const QString& path) {
  QByteArray data;
  if (!xav::readWholeFile(path, &data)) return {};
  return QString::fromLatin1(data);
}

// Replaces the value of the "N1_IP" line, keeping the file's line ends.
QByteArray withAddress(const QByteArray& settings, const QString& address) {
  QList<QByteArray> lines = settings.split('\n');
  for (QByteArray& line : lines) {
    if (!line.trimmed().startsWith("N1_IP")) continue;
    const bool cr = line.endsWith('\r');
    line = "N1_IP = " + address.toLatin1() + (cr ? "\r" : "");
    break;
  }
  return lines.join('\n');
}

}  // namespace

QString moduleStoreDir() { return QDir(xav::platform::configDir()).filePath(QStringLiteral("bench/modules")); }

QList<Module> listModules() {
  QList<Module> modules;
  const QDir store(moduleStoreDir());
  for (const QString& name : store.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (!gw::isDottedIPv4(name)) continue;
    Module m;
    m.address = name;
    m.dir = store.filePath(name);
    m.bridgeName = readText(QDir(m.dir).filePath(QLatin1String(kBridgeNameFile))).trimmed();
    modules << m;
  }
  std::sort(modules.begin(), modules.end(),
            [](const Module& a, const Module& b) { return addressValue(a.address) < addressValue(b.address); });
  return modules;
}

QString moduleDir(const QString& address) {
  if (!gw::isDottedIPv4(address)) return {};
  const QString dir = QDir(moduleStoreDir()).filePath(address);
  return QFileInfo(dir).isDir() ? dir : QString();
}

QString fileInDir(const QString& dir, const QString& name) {
  if (name.isEmpty() || name.contains(u'/')) return {};
  QString candidate;
  for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (fi.fileName() == name) return fi.absoluteFilePath();
    if (candidate.isEmpty() && fi.fileName().compare(name, Qt::CaseInsensitive) == 0) candidate = fi.absoluteFilePath();
  }
  return candidate;
}

bool putFile(const QString& dir, const QString& name, const QByteArray& data, QString* error) {
  if (!xav::writeWholeFile(QDir(dir).filePath(name), data, error)) return false;
  for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (fi.fileName() != name && fi.fileName().compare(name, Qt::CaseInsensitive) == 0) QFile::remove(fi.filePath());
  }
  return true;
}

QByteArray defaultNetworkSettings(const QString& address) {
  const QStringList parts = address.split(u'.');
  QString mac = QStringLiteral("02:00");
  for (const QString& p : parts) mac += QStringLiteral(":%1").arg(p.toUInt(), 2, 16, QChar(u'0')).toUpper();
  const QString text = QStringLiteral(
                           "[N1]\r\n"
                           "N1_DHCP = DISABLED\r\n"
                           "N1_MAC = %1\r\n"
                           "N1_GATEWAY = 127.0.0.1\r\n"
                           "N1_IP = %2\r\n"
                           "N1_NETMASK = 255.0.0.0\r\n"
                           "N1_DNS = 0.0.0.0\r\n")
                           .arg(mac, address);
  return text.toLatin1();
}

QByteArray defaultConfig(const QString& bridgeName) {
  gw::ConfigEntries e;
  e.protocol = gw::kModbusTcp;
  e.plcAddress = QStringLiteral("127.0.0.1");
  e.plcAddressValid = true;
  e.title = bridgeName;
  return gw::generateConfig(e, {}).bytes;
}

bool addModule(const QString& address, const QString& bridgeName, const QByteArray& config, QString* error) {
  if (!gw::isDottedIPv4(address)) {
    *error = QStringLiteral("%1 is not a dotted IPv4 address").arg(address);
    return false;
  }
  if (!moduleDir(address).isEmpty()) {
    *error = QStringLiteral("a module at %1 exists already").arg(address);
    return false;
  }
  const QString dir = QDir(moduleStoreDir()).filePath(address);
  if (!QDir().mkpath(dir)) {
    *error = QStringLiteral("cannot create %1").arg(dir);
    return false;
  }
  return putFile(dir, QLatin1String(kBridgeNameFile), bridgeName.toLatin1() + "\r\n", error) &&
         putFile(dir, QLatin1String(kNetworkSettings), defaultNetworkSettings(address), error) &&
         putFile(dir, QStringLiteral("Config.csv"), config, error);
}

bool removeModule(const QString& address, QString* error) {
  const QString dir = moduleDir(address);
  if (dir.isEmpty()) {
    *error = QStringLiteral("no module at %1").arg(address);
    return false;
  }
  if (!QDir(dir).removeRecursively()) {
    *error = QStringLiteral("cannot remove %1").arg(dir);
    return false;
  }
  return true;
}

bool restartModule(const QString& address, QString* newAddress, QString* error) {
  const QString dir = moduleDir(address);
  if (dir.isEmpty()) {
    *error = QStringLiteral("no module answers at %1").arg(address);
    return false;
  }
  *newAddress = address;
  const QString settings = readText(fileInDir(dir, QLatin1String(kNetworkSettings)));
  QString wanted;
  for (QString line : settings.split(u'\n')) {
    line = line.trimmed();
    if (!line.startsWith(QStringLiteral("N1_IP"))) continue;
    wanted = line.mid(line.indexOf(u'=') + 1).trimmed();
    break;
  }
  if (wanted.isEmpty() || wanted == address) return true;
  if (!gw::isDottedIPv4(wanted)) {
    *error = QStringLiteral("N1_IP \"%1\" is no dotted address; the module keeps %2").arg(wanted, address);
    return false;
  }
  if (!moduleDir(wanted).isEmpty()) {
    *error = QStringLiteral("%1 is taken by another module; the module keeps %2").arg(wanted, address);
    return false;
  }
  if (!QDir().rename(dir, QDir(moduleStoreDir()).filePath(wanted))) {
    *error = QStringLiteral("cannot move the module to %1").arg(wanted);
    return false;
  }
  *newAddress = wanted;
  return true;
}

QStringList bringModulesOntoLoopback() {
  QStringList moves;
  for (const Module& m : listModules()) {
    if (m.address.startsWith(QStringLiteral("127."))) continue;
    QString target;
    for (int last = 2; last < 255 && target.isEmpty(); ++last) {
      const QString candidate = QStringLiteral("127.0.0.%1").arg(last);
      if (moduleDir(candidate).isEmpty()) target = candidate;
    }
    if (target.isEmpty()) break;
    const QString settingsPath = fileInDir(m.dir, QLatin1String(kNetworkSettings));
    QByteArray settings;
    if (settingsPath.isEmpty() || !xav::readWholeFile(settingsPath, &settings)) settings = defaultNetworkSettings(target);
    QString error;
    if (!putFile(m.dir, QLatin1String(kNetworkSettings), withAddress(settings, target), &error)) continue;
    if (!QDir().rename(m.dir, QDir(moduleStoreDir()).filePath(target))) continue;
    moves << QStringLiteral("%1 (%2) now answers at %3").arg(m.address, m.bridgeName, target);
  }
  return moves;
}

QByteArray discoveryListing() {
  QByteArray out = QStringLiteral("BRIDGE NAME").leftJustified(31, u' ').toLatin1() + "IP ADDRESS\r\n";
  out += QByteArray(46, '=') + "\r\n";
  for (const Module& m : listModules())
    out += m.bridgeName.leftJustified(31, u' ', true).toLatin1() + m.address.toLatin1() + "\r\n";
  return out;
}

}  // namespace xav::bench
