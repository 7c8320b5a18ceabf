#include "discovery.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "commands.h"
#include "files.h"
#include "processes.h"
#include "utility_wait.h"  // until this file drives sessions instead
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

void SystemNetworkHost::run(const QString& command) {
  interrupted_ = gw::ShellAndWait(command, gw::kHidden).interrupted();
}

void SystemNetworkHost::broadcastPing() { run(broadcastPingCommand()); }

QString SystemNetworkHost::addressTable() {
  run(addressTableCommand(workDir()));
  return gw::takeAddressTable(workDir());
}

bool SystemNetworkHost::answersPing(const QString& address) {
  const QString command = gw::pingCommand(workDir(), address);
  interrupted_ = false;
  if (command.isEmpty()) return false;  // only dotted addresses reach a command line
  run(command);
  return gw::takePingReport(workDir());
}

bool SystemNetworkHost::fetchConfiguration(const QString& address) {
  const QString command = gw::fetchConfigurationCommand(workDir(), address);
  interrupted_ = false;
  if (command.isEmpty()) return false;
  run(command);
  return true;
}

}  // namespace xavcfg
