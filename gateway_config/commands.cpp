#include "commands.h"

#include <QStringList>

namespace gw {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QChar separator(Flavour f) { return f == Flavour::Windows ? u'\\' : u'/'; }

}  // namespace

QString interpreterFor(Flavour f) {
  if (f == Flavour::Posix) return QStringLiteral("/bin/sh");
  // Environment names are case-blind on Windows; on other hosts (tests) both
  // spellings are tried before the usual location.
  QString comspec = qEnvironmentVariable("comspec");
  if (comspec.isEmpty()) comspec = qEnvironmentVariable("COMSPEC");
  if (comspec.isEmpty()) comspec = QStringLiteral("C:\\Windows\\system32\\cmd.exe");
  return comspec;
}

QString directoryText(const QString& workDir, Flavour f) {
  if (f != Flavour::Windows) return workDir;
  QString d = workDir;
  d.replace(u'/', u'\\');
  return d;
}

Flavour hostFlavour() {
#ifdef Q_OS_WIN
  return Flavour::Windows;
#else
  return Flavour::Posix;
#endif
}

bool isDottedIPv4(const QString& address) {
  const QStringList parts = address.split(u'.');
  if (parts.size() != 4) return false;
  for (const QString& p : parts) {
    if (p.isEmpty() || p.size() > 3) return false;
    for (QChar c : p)
      if (c < u'0' || c > u'9') return false;
    if (p.toInt() > 255) return false;
  }
  return true;
}

QString normalAddress(const QString& address) {
  if (!isDottedIPv4(address)) return {};
  QStringList parts = address.split(u'.');
  for (QString& p : parts) p = QString::number(p.toInt());
  return parts.join(u'.');
}

QString notAnAddressMessage(const QString& address) {
  return QStringLiteral("The module address \"%1\" is not a dotted IPv4 address. Nothing was started.")
      .arg(address);
}

QString uploadConfigurationCommand(const QString& address) {
  const QString moduleIp = normalAddress(address);
  if (moduleIp.isEmpty()) return {};
  return QStringLiteral("ruinet -i") + moduleIp + QStringLiteral(" -u0 -fConfig.csv -p -o") + kCrLf +
         QStringLiteral("ruinet -i") + moduleIp + QStringLiteral(" -p -b") + kCrLf;
}

QString fetchConfigurationCommand(const QString& workDir, const QString& address, Flavour f) {
  const QString moduleIp = normalAddress(address);
  if (moduleIp.isEmpty()) return {};
  return u'"' + directoryText(workDir, f) + separator(f) + QStringLiteral("ruinet.exe") + u'"' +
         QStringLiteral(" -i ") + moduleIp + QStringLiteral(" -u1 -fConfig.csv") + kCrLf;
}

QString fetchNetworkSettingsCommand(const QString& address, Flavour f) {
  const QString moduleIp = normalAddress(address);
  if (moduleIp.isEmpty()) return {};
  return interpreterFor(f) + QStringLiteral(" /c RuiNet.exe ruinet.exe") + QStringLiteral(" -i ") + moduleIp +
         QStringLiteral(" -u1 -ffs_tcp.ini") + kCrLf;
}

QString uploadNetworkSettingsCommand(const QString& address) {
  const QString moduleIp = normalAddress(address);
  if (moduleIp.isEmpty()) return {};
  return QStringLiteral("ruinet -i") + moduleIp + QStringLiteral(" -u0 -ffs_tcp.ini -p -o") + kCrLf +
         QStringLiteral("ruinet -i") + moduleIp + QStringLiteral(" -p -b") + kCrLf;
}

QString addressModeCommand(const QString& workDir, Flavour f) {
  return directoryText(workDir, f) + separator(f) + QStringLiteral("RuiNet.exe") + QStringLiteral(" -m1 ");
}

QString discoveryCommand(Flavour f) {
  return interpreterFor(f) + QStringLiteral(" /c RuiPing.exe ruiping.exe -r0 > C.txt");
}

QString pingCommand(const QString& workDir, const QString& target, Flavour f) {
  const QString address = normalAddress(target);
  if (address.isEmpty()) return {};
  // One echo, 100 ms time-out, in each system's ping dialect.
  const QString options = f == Flavour::Windows ? QStringLiteral(" /c ping -n 1 -w 100 ")
                                                : QStringLiteral(" /c ping -c 1 -W 0.1 ");
  return interpreterFor(f) + options + address + QStringLiteral(" >") + u'"' + directoryText(workDir, f) + separator(f) +
         QStringLiteral("png.txt") + u'"';
}

bool pingReportAnswered(const QString& report) {
  const QString text = report.toLower();
  if (text.contains(QStringLiteral("unreachable"))) return false;
  // Windows: "(0% loss)"; iputils: "1 received, 0% packet loss".
  return text.contains(QStringLiteral("(0% loss")) || text.contains(QStringLiteral(" 0% packet loss"));
}

}  // namespace gw
