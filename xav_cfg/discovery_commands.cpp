// The discovery's command texts. Windows keeps the original texts; the
// POSIX twins keep one echo, the two time-outs and the broadcast address
// and leave their reports in the same files.
#include <QDir>

#include "commands.h"
#include "discovery.h"
#include "platform.h"

namespace xavcfg {

#ifdef Q_OS_WIN
QString broadcastPingCommand() {
  return xav::platform::commandInterpreter() + QStringLiteral(" /c ping -n 1 -w %1 %2")
                                                   .arg(kBroadcastTimeoutMs)
                                                   .arg(QLatin1String(kBroadcastAddress));
}
QString addressTableCommand(const QString& workDir) {
  return xav::platform::commandInterpreter() + QStringLiteral(" /c arp -a>\"") + QDir::toNativeSeparators(workDir) +
         QStringLiteral("\\arp.txt\"");
}
QString modulePingCommand(const QString& workDir, const QString& address) {
  return gw::pingCommand(workDir, address, gw::Flavour::Windows);
}
bool addressTableIsArpForm() { return true; }
QString toolboxCommand(const QString& toolboxDir) {
  return QDir::toNativeSeparators(toolboxDir) + QStringLiteral("\\FieldServerToolbox.exe ");
}
#else
namespace {
// A path as one word for /bin/sh, whatever characters it holds.
QString shellQuoted(const QString& text) {
  QString q = text;
  q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + q + QLatin1Char('\'');
}
QString seconds(int ms) { return QString::number(ms / 1000.0, 'f', 2); }
}  // namespace

QString broadcastPingCommand() {
  return QStringLiteral("ping -b -n -c 1 -W %1 %2 >/dev/null 2>&1")
      .arg(seconds(kBroadcastTimeoutMs), QLatin1String(kBroadcastAddress));
}
QString addressTableCommand(const QString& workDir) {
  const QString file = shellQuoted(QDir(workDir).filePath(QStringLiteral("arp.txt")));
  return QStringLiteral("ip neigh show >%1 2>/dev/null || cat /proc/net/arp >%1").arg(file);
}
QString modulePingCommand(const QString& workDir, const QString& address) {
  if (!gw::isDottedIPv4(address)) return {};
  return QStringLiteral("ping -n -c 1 -W %1 %2 >%3 2>&1")
      .arg(seconds(kPingTimeoutMs), address, shellQuoted(QDir(workDir).filePath(QStringLiteral("png.txt"))));
}
bool addressTableIsArpForm() { return false; }
QString toolboxCommand(const QString& toolboxDir) {
  return shellQuoted(QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe"))) + QLatin1Char(' ');
}
#endif

}  // namespace xavcfg
