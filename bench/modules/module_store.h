#pragma once
// The simulated module store behind the bench loader and discovery
// utilities: one folder per module under configDir()/bench/modules, named by
// the module's address and holding its Config.csv, fs_tcp.ini and
// bridge_name.txt.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace xav::bench {

struct Module {
  QString address;
  QString bridgeName;
  QString dir;
};

QString moduleStoreDir();

// Every module in the store, in address order.
QList<Module> listModules();

// The folder of the module at address; empty when there is none.
QString moduleDir(const QString& address);

// The file of dir whose name equals name without regard to case (an exact
// match first); empty when there is none.
QString fileInDir(const QString& dir, const QString& name);

// Replaces dir's copy of name (whatever its case) with data, whole.
bool putFile(const QString& dir, const QString& name, const QByteArray& data, QString* error);

// The network settings file of a fresh module: fifth line "N1_IP = " +
// address, sixth "N1_NETMASK = 255.0.0.0", CR LF line ends.
QByteArray defaultNetworkSettings(const QString& address);

// The Config.csv of a fresh module: Modbus/TCP to a PLC at 127.0.0.1.
QByteArray defaultConfig(const QString& bridgeName);

bool addModule(const QString& address, const QString& bridgeName, const QByteArray& config, QString* error);
bool removeModule(const QString& address, QString* error);

// A restart applies the module's own settings: when the N1_IP line of its
// fs_tcp.ini names another dotted address, the module answers there from now
// on. *newAddress is the address after the restart.
bool restartModule(const QString& address, QString* newAddress, QString* error);

// The loader's address mode on the bench: every module whose address lies
// outside 127.0.0.0/8 moves to the first free address from 127.0.0.2 on, its
// N1_IP line rewritten, as an operator would set it. Returns a line per move.
QStringList bringModulesOntoLoopback();

// The discovery listing: a heading holding "BRIDGE NAME", a line of "=",
// then per module its bridge name padded (or cut) to 31 characters and its
// address from column 32; CR LF line ends.
QByteArray discoveryListing();

}  // namespace xav::bench
