#pragma once
// modGetIP: finding the XAV modules of the local network. The discovery
// itself (broadcast ping, address table, one ping per candidate, the title
// of each module that answered) is the configuration core's
// AddressTableSession; its texts' rules are in module_discovery.h. What
// stays here is XAV_Cfg's own: the loader check and the toolbox command.

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

// Whether the working directory holds the loader (ruinet.exe; the name is
// compared without regard to case).
bool loaderPresent();

// The outside toolbox, started from its own directory.
QString toolboxCommand(const QString& toolboxDir, gw::Flavour f = gw::hostFlavour());

}  // namespace xavcfg
