#include "discovery.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "commands.h"
#include "files.h"
#include "processes.h"
#include "profiles.h"

namespace xavcfg {

namespace {
QStringList splitCrLf(const QString& text) { return text.split(QStringLiteral("\r\n")); }

// Reads a report file whole, lower-cased, and deletes it.
QString takeReport(const QString& path) {
  QByteArray data;
  xav::readWholeFile(path, &data);
  QFile::remove(path);
  return QString::fromLocal8Bit(data).toLower();
}

QString workDir() { return QDir::currentPath(); }
}  // namespace

bool loaderPresent() {
  const QStringList names = QDir::current().entryList(QDir::Files);
  for (const QString& n : names)
    if (n.compare(QLatin1String("ruinet.exe"), Qt::CaseInsensitive) == 0) return true;
  return false;
}

QStringList modulesInAddressTable(const QString& arpListing) {
  QStringList found;
  const QStringList lines = splitCrLf(arpListing.toLower());
  for (int i = 3; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (!line.contains(QLatin1String(kPrefixA)) && !line.contains(QLatin1String(kPrefixB))) continue;
    const QString trimmed = line.trimmed();
    const qsizetype blank = trimmed.indexOf(QRegularExpression(QStringLiteral("\\s")));
    found << (blank < 0 ? trimmed : trimmed.left(blank));
  }
  return found;
}

QString arpListingFromNeighbours(const QString& neighbourText) {
  // Three heading lines, as "arp -a" writes them, so the lines that matter
  // start at index 3 whatever the source.
  QString out = QStringLiteral("\r\nInterface: (neighbour table)\r\n  Internet Address      Physical Address      Type\r\n");
  static const QRegularExpression mac(
      QStringLiteral("\\b([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2}):([0-9a-fA-F]{2})\\b"));
  static const QRegularExpression ipv4(QStringLiteral("^\\s*(\\d{1,3}(?:\\.\\d{1,3}){3})\\s"));
  const QStringList lines = neighbourText.split(QRegularExpression(QStringLiteral("\r?\n")));
  for (const QString& line : lines) {
    const QRegularExpressionMatch a = ipv4.match(line + QLatin1Char(' '));
    const QRegularExpressionMatch m = mac.match(line);
    if (!a.hasMatch() || !m.hasMatch()) continue;
    QStringList parts;
    for (int i = 1; i <= 6; ++i) parts << m.captured(i);
    const QString hw = parts.join(QLatin1Char('-'));
    out += QStringLiteral("  %1 %2 dynamic\r\n").arg(a.captured(1).leftJustified(21), hw.leftJustified(21));
  }
  return out;
}

QString titleFromConfig(const QByteArray& configCsv) {
  const QStringList lines = splitCrLf(QString::fromLatin1(configCsv));
  if (lines.size() < 4) return {};
  const qsizetype comma = lines[3].indexOf(QLatin1Char(','));
  if (comma < 0) return {};
  return lines[3].left(comma).trimmed();
}

QString moduleEntry(const QString& address, const QString& title) { return address + QStringLiteral(" : ") + title; }

QString addressOfEntry(const QString& entry) {
  const qsizetype at = entry.indexOf(QStringLiteral(" : "));
  return at < 0 ? entry : entry.left(at);
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
  const QString path = QDir(workDir()).filePath(QStringLiteral("arp.txt"));
  run(addressTableCommand(workDir()));
  QByteArray data;
  xav::readWholeFile(path, &data);
  QFile::remove(path);
  const QString text = QString::fromLocal8Bit(data);
  return addressTableIsArpForm() ? text : arpListingFromNeighbours(text);
}

bool SystemNetworkHost::answersPing(const QString& address) {
  const QString command = gw::pingCommand(workDir(), address);
  interrupted_ = false;
  if (command.isEmpty()) return false;  // only dotted addresses reach a command line
  run(command);
  return gw::pingReportAnswered(takeReport(QDir(workDir()).filePath(QStringLiteral("png.txt"))));
}

bool SystemNetworkHost::fetchConfiguration(const QString& address) {
  const QString command = gw::fetchConfigurationCommand(workDir(), address);
  interrupted_ = false;
  if (command.isEmpty()) return false;
  run(command);
  return true;
}

}  // namespace xavcfg
