// Builds against xave_core alone: the discovery listing and the network
// settings rules run without a display.
#include <cstdio>

#include "fs_tcp.h"
#include "modgetip.h"

int main() {
  const QString line = QStringLiteral("BRIDGE1").leftJustified(31, QLatin1Char(' ')) + QStringLiteral("127.0.0.20\r\n");
  const QString listing = xave::ParseDiscoveryOutput(line);
  const xave::NetworkSettings s =
      xave::parseNetworkSettings("[TCP]\r\na\r\nb\r\nc\r\nN1_IP = 127.0.0.20\r\nN1_NETMASK = 255.0.0.0\r\n");
  const bool ok = xave::moduleIpFromEntry(xave::listingEntries(listing).value(0)) == QStringLiteral("127.0.0.20") &&
                  xave::sameModuleAddress(QStringLiteral("127.000.000.020"), QStringLiteral("127.0.0.20")) &&
                  s.usable && s.ip == QStringLiteral("127.0.0.20");
  std::printf("xave_core probe: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
