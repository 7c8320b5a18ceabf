#include "discovery.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "commands.h"
#include "files.h"
#include "profiles.h"

namespace xavcfg {

namespace {
QString workDir() { return QDir::currentPath(); }
}  // namespace

bool loaderPresent() {
  const QStringList names = QDir::current().entryList(QDir::Files);
  for (const QString& n : names)
    if (n.compare(QLatin1String("ruinet.exe"), Qt::CaseInsensitive) == 0) return true;
  return false;
}

QString GetModuleTitle(NetworkHost& host, const QString& address) {
  gw::deleteConfigCsv(workDir());
  if (!host.fetchConfiguration(address) || host.interrupted()) return {};
  QByteArray data;
  if (!xav::readWholeFile(QDir(workDir()).filePath(QStringLiteral("Config.csv")), &data)) return {};
  return titleFromConfig(data);
}

QStringList answeringModules(NetworkHost& host) {
  host.broadcastPing();
  if (host.interrupted()) return {};
  const QString table = host.addressTable();
  if (host.interrupted()) return {};
  QStringList listing;
  for (const QString& address : modulesInAddressTable(table)) {
    const bool answered = host.answersPing(address);
    if (host.interrupted()) break;
    if (answered) listing << address;
  }
  return listing;
}

QStringList DiscoverModules(NetworkHost& host) {
  QStringList entries;
  const QStringList listing = answeringModules(host);
  for (const QString& address : listing) {
    if (host.interrupted()) break;
    const QString title = GetModuleTitle(host, address);
    if (host.interrupted()) break;
    entries << moduleEntry(address, title);
  }
  return entries;
}

}  // namespace xavcfg
