// fs_tcp.ini as fetched from a module, any bytes: the settings read from
// it, and the rewrite the IP change uploads.
#include "fs_tcp.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const xave::NetworkSettings s = xave::parseNetworkSettings(xav::fuzz::bytes(data, size));
  if (!s.usable) return 0;
  FUZZ_REQUIRE(s.lines.size() >= 6);
  // Writing back what was read, then reading that, changes nothing more:
  // a change and its reverse give the same file.
  const QByteArray once = xave::rewriteNetworkSettings(s.lines, s.ip, s.mask);
  const xave::NetworkSettings again = xave::parseNetworkSettings(once);
  FUZZ_REQUIRE(again.usable && again.ip == s.ip && again.mask == s.mask);
  FUZZ_REQUIRE(xave::rewriteNetworkSettings(again.lines, again.ip, again.mask) == once);
  FUZZ_REQUIRE(once.endsWith("\r\n"));

  // A new address and back.
  const QByteArray changed = xave::rewriteNetworkSettings(s.lines, QStringLiteral("127.0.0.9"), QStringLiteral("255.0.0.0"));
  const xave::NetworkSettings c = xave::parseNetworkSettings(changed);
  FUZZ_REQUIRE(c.usable && c.ip == QStringLiteral("127.0.0.9") && c.mask == QStringLiteral("255.0.0.0"));
  FUZZ_REQUIRE(xave::rewriteNetworkSettings(c.lines, s.ip, s.mask) == once);
  return 0;
}
