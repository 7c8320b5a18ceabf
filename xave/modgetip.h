#pragma once
// modGetIP: the discovery listing's and the module list's rules live in the
// configuration core (module_discovery.h), shared with XAV_Cfg and the
// sessions.

#include "module_discovery.h"

namespace xave {
using gw::listingEntries;
using gw::moduleIpFromEntry;
using gw::ParseDiscoveryOutput;
using gw::readDiscoveryFile;
using gw::sameModuleAddress;
using gw::shownAddress;
using gw::textAfterSeparator;
}  // namespace xave
