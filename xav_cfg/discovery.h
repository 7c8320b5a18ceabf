#pragma once
// modGetIP: finding the XAV modules of the local network. A broadcast ping
// fills the PC's address table, the table's entries with either maker prefix
// are pinged once each, and every module that answers is listed with the
// title of its current configuration. The outside world (ping, the address
// table, the loader) sits behind NetworkHost so tests can stand in for it.
// The texts' rules are the configuration core's (module_discovery.h).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "commands.h"
#include "module_discovery.h"
#include "readback.h"

namespace xavcfg {

using gw::addressOfEntry;
using gw::arpListingFromNeighbours;
using gw::kBroadcastAddress;
using gw::kBroadcastTimeoutMs;
using gw::kPingTimeoutMs;
using gw::kPrefixA;
using gw::kPrefixB;
using gw::moduleEntry;
using gw::modulesInAddressTable;
using gw::broadcastPingCommand;
using gw::addressTableCommand;
using gw::addressTableIsArpForm;

// Title of a fetched Config.csv: the read-back's title rule (line 3 up to
// its first comma, trimmed); empty when the file has fewer than four lines
// or that line no comma.
inline QString titleFromConfig(const QByteArray& configCsv) { return gw::configTitle(configCsv); }

class NetworkHost {
 public:
  virtual ~NetworkHost() = default;
  // One echo to the broadcast address; the outcome is not looked at.
  virtual void broadcastPing() = 0;
  // The address table in the "arp -a" form.
  virtual QString addressTable() = 0;
  // One echo to the address (100 ms); whether it was answered.
  virtual bool answersPing(const QString& address) = 0;
  // Runs the loader to fetch the module's Config.csv into the working
  // directory and waits for it; false when no command could be made.
  virtual bool fetchConfiguration(const QString& address) = 0;
  // Whether the last of these was cancelled by the operator (or ran out of
  // time): the operation that asked for it stops there.
  virtual bool interrupted() const { return false; }
};

// Fetches the module's configuration and gives its title; empty when none
// can be read (or the fetch was interrupted). A Config.csv of an earlier fetch is removed first so that it
// cannot lend this module its title.
QString GetModuleTitle(NetworkHost& host, const QString& address);

// The first half of the discovery: broadcast ping, address table, one ping
// per candidate; the addresses that answered, in table order. Stops at an
// interrupted step (host.interrupted()) with what it has found so far.
QStringList answeringModules(NetworkHost& host);

// DiscoverModules without the list box: the entries of LV1, in order; it
// stops at an interrupted step like answeringModules.
QStringList DiscoverModules(NetworkHost& host);

// Whether the working directory holds the loader (ruinet.exe; the name is
// compared without regard to case).
bool loaderPresent();

// The outside toolbox, started from its own directory.
QString toolboxCommand(const QString& toolboxDir, gw::Flavour f = gw::hostFlavour());

}  // namespace xavcfg
