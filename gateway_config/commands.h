#pragma once
// Every command text the configuration tools hand to the gateway platform's
// utilities and to ping, byte for byte (CR LF included). One function each.
//
// Module addresses come from network listings: a command is only built for a
// dotted IPv4 address (isDottedIPv4); for anything else the builders return
// an empty text and the caller tells the operator.

#include <QString>

namespace gw {

// Which interpreter and path separator the texts are written for. The host's
// flavour is the default; tests build the Windows texts on any system.
enum class Flavour { Windows, Posix };
Flavour hostFlavour();

// Four dot-separated decimal parts of 1 to 3 digits, each 0..255.
bool isDottedIPv4(const QString& address);

// "ruinet -i" + ip + " -u0 -fConfig.csv -p -o" CR LF "ruinet -i" + ip + " -p -b" CR LF
QString uploadConfigurationCommand(const QString& moduleIp);
// '"' + workDir + sep + "ruinet.exe" + '"' + " -i " + ip + " -u1 -fConfig.csv" CR LF
QString fetchConfigurationCommand(const QString& workDir, const QString& moduleIp, Flavour f = hostFlavour());
// interpreter + " /c RuiNet.exe ruinet.exe -i " + ip + " -u1 -ffs_tcp.ini" CR LF
QString fetchNetworkSettingsCommand(const QString& moduleIp, Flavour f = hostFlavour());
// "ruinet -i" + ip + " -u0 -ffs_tcp.ini -p -o" CR LF "ruinet -i" + ip + " -p -b" CR LF
QString uploadNetworkSettingsCommand(const QString& moduleIp);
// path of RuiNet.exe in workDir + " -m1 "
QString addressModeCommand(const QString& workDir, Flavour f = hostFlavour());
// interpreter + " /c RuiPing.exe ruiping.exe -r0 > C.txt"
QString discoveryCommand(Flavour f = hostFlavour());
// interpreter + " /c ping -n 1 -w 100 " + address + " >" + '"' + workDir + sep + "png.txt" + '"'
QString pingCommand(const QString& workDir, const QString& address, Flavour f = hostFlavour());

}  // namespace gw
