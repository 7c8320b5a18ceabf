// The discovery's command texts. Windows keeps the original texts; the
// POSIX twins keep the one echo, the time-out and the broadcast address and
// leave their reports in the same files. The per-address ping is the
// core's (gw::pingCommand).
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
bool addressTableIsArpForm() { return true; }
QString toolboxCommand(const QString& toolboxDir) {
  return QDir::toNativeSeparators(toolboxDir) + QStringLiteral("\\FieldServerToolbox.exe ");
}
#else
// The process layer runs what follows " /c " in /bin/sh and quotes every
// double-quoted path into the working directory for the shell itself.
QString broadcastPingCommand() {
  return xav::platform::commandInterpreter() +
         QStringLiteral(" /c ping -b -n -c 1 -W %1 %2 >/dev/null 2>&1")
             .arg(QString::number(kBroadcastTimeoutMs / 1000.0, 'f', 2), QLatin1String(kBroadcastAddress));
}
QString addressTableCommand(const QString& workDir) {
  const QString file = QLatin1Char('"') + QDir(workDir).filePath(QStringLiteral("arp.txt")) + QLatin1Char('"');
  return xav::platform::commandInterpreter() +
         QStringLiteral(" /c ip neigh show >%1 2>/dev/null || cat /proc/net/arp >%1").arg(file);
}
bool addressTableIsArpForm() { return false; }
QString toolboxCommand(const QString& toolboxDir) {
  // Run from the toolbox directory, so the layer finds the program there.
  return QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe")) + QLatin1Char(' ');
}
#endif

}  // namespace xavcfg
