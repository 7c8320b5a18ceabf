#pragma once
// Every command text the configuration tools hand to the gateway platform's
// utilities and to ping, byte for byte (CR LF included). One function each.
//
// Module addresses come from network listings or the operator: a command is
// only built for a dotted IPv4 address (isDottedIPv4), and the address goes
// into it in normal form (normalAddress: "01.02.03.004" becomes "1.2.3.4", as
// a system ping would otherwise read "011" as octal). For anything else the
// builders return an empty text and the caller tells the operator
// (notAnAddressMessage).
//
// Flavours. Windows: texts start with the interpreter named by comspec and
// join paths with "\". Posix: the interpreter is /bin/sh and paths join with
// "/"; otherwise the texts are the same, " /c " included (the process layer
// runs what follows " /c " in the shell, see processes.h). The one exception is
// ping, whose options are the local system's: "-c 1 -W 0.1" (one echo, 100 ms)
// instead of "-n 1 -w 100". workDir is the tool's current working directory
// (QDir::currentPath()).

#include <QString>

namespace gw {

// Which interpreter and path separator the texts are written for. The host's
// flavour is the default; tests build the Windows texts on any system.
enum class Flavour { Windows, Posix };
Flavour hostFlavour();

// The interpreter command texts start with: comspec (Windows), /bin/sh.
QString interpreterFor(Flavour f);
// The working directory as the flavour writes paths ("\" on Windows).
QString directoryText(const QString& workDir, Flavour f);

// Four dot-separated decimal parts of 1 to 3 digits, each 0..255.
bool isDottedIPv4(const QString& address);

// The address in normal form: each part in decimal without leading zeros
// ("010.001.002.003" -> "10.1.2.3"). Empty when it is no dotted IPv4 address
// (a part above 255 included). Every address that goes into a command line
// or into fs_tcp.ini passes through here first.
QString normalAddress(const QString& address);

// Text telling the operator that an address was refused.
QString notAnAddressMessage(const QString& address);

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
// (Posix: " /c ping -c 1 -W 0.1 ")
QString pingCommand(const QString& workDir, const QString& address, Flavour f = hostFlavour());

// Whether a ping report (png.txt) tells of an answered echo: it holds no
// "unreachable" and holds Windows' "(0% loss" or iputils' " 0% packet loss"
// (compared lowercased).
bool pingReportAnswered(const QString& report);

}  // namespace gw
