// The discovery's command texts. The Windows flavour keeps the original
// texts; the POSIX twins keep the one echo, the time-out and the broadcast
// address and leave their reports in the same files. The per-address ping
// is the core's (gw::pingCommand).
#include <QDir>

#include "commands.h"
#include "discovery.h"

namespace xavcfg {

QString broadcastPingCommand(gw::Flavour f) {
  if (f == gw::Flavour::Windows)
    return gw::interpreterFor(f) +
           QStringLiteral(" /c ping -n 1 -w %1 %2").arg(kBroadcastTimeoutMs).arg(QLatin1String(kBroadcastAddress));
  return gw::interpreterFor(f) + QStringLiteral(" /c ping -b -n -c 1 -W %1 %2 >/dev/null 2>&1")
                                     .arg(QString::number(kBroadcastTimeoutMs / 1000.0, 'f', 2),
                                          QLatin1String(kBroadcastAddress));
}

QString addressTableCommand(const QString& workDir, gw::Flavour f) {
  if (f == gw::Flavour::Windows)
    return gw::interpreterFor(f) + QStringLiteral(" /c arp -a>\"") + gw::directoryText(workDir, f) +
           QStringLiteral("\\arp.txt\"");
  // The process layer runs what follows " /c " in /bin/sh and quotes every
  // double-quoted path into the working directory for the shell itself.
  const QString file = QLatin1Char('"') + QDir(workDir).filePath(QStringLiteral("arp.txt")) + QLatin1Char('"');
  return gw::interpreterFor(f) +
         QStringLiteral(" /c ip neigh show >%1 2>/dev/null || cat /proc/net/arp >%1").arg(file);
}

bool addressTableIsArpForm(gw::Flavour f) { return f == gw::Flavour::Windows; }

QString toolboxCommand(const QString& toolboxDir, gw::Flavour f) {
  // Started from the toolbox directory, so the layer finds the program there.
  if (f == gw::Flavour::Windows)
    return gw::directoryText(toolboxDir, f) + QStringLiteral("\\FieldServerToolbox.exe ");
  return QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe")) + QLatin1Char(' ');
}

}  // namespace xavcfg
