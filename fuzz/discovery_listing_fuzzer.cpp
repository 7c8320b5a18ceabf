// The discovery utility's listing C.txt, any bytes, read as the scan does:
// the file, the text after the separator line, the module lines, the list
// entries and the address of each.
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "fuzz_support.h"
#include "modgetip.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString dir = xav::fuzz::scratchDir();
  {
    QFile out(QDir(dir).filePath(QStringLiteral("C.txt")));
    FUZZ_REQUIRE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == static_cast<qint64>(size));
  }
  const QString text = xave::readDiscoveryFile(dir);
  FUZZ_REQUIRE(text.size() == static_cast<qsizetype>(size));

  static const QRegularExpression addressOnly(QStringLiteral("^[0-9.]+$"));
  for (const QString& part : {text, xave::textAfterSeparator(text)}) {
    const QString listing = xave::ParseDiscoveryOutput(part);
    const QStringList entries = xave::listingEntries(listing);
    FUZZ_REQUIRE(entries.size() == listing.count(QStringLiteral("\r\n")));
    for (const QString& entry : entries) {
      const QString ip = xave::moduleIpFromEntry(entry);
      FUZZ_REQUIRE(addressOnly.match(ip).hasMatch());
      const QString shown = xave::shownAddress(ip);
      FUZZ_REQUIRE(xave::shownAddress(shown) == shown);
      FUZZ_REQUIRE(xave::sameModuleAddress(ip, shown));
    }
  }
  return 0;
}
