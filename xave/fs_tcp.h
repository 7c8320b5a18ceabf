#pragma once
// fs_tcp.ini: the rules live in the configuration core, where the IP change
// session uses them too.

#include "network_settings.h"

namespace xave {
using gw::NetworkSettings;
using gw::parseNetworkSettings;
using gw::rewriteNetworkSettings;
}  // namespace xave
