// A module's Config.csv as fetched back, any bytes: parsed in memory and
// through the file the fetch leaves in the working directory.
#include <QDir>
#include <QFile>

#include "fuzz_support.h"
#include "readback.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray file = xav::fuzz::bytes(data, size);
  const gw::CurrentConfig c = gw::parseCurrentConfig(file);
  if (!c.readable) {
    FUZZ_REQUIRE(c.protocolCode == 0 && c.summaryFields.isEmpty() && !c.hasCaptions);
  } else {
    FUZZ_REQUIRE(c.protocolCode >= 0 && c.protocolCode <= 3);
    FUZZ_REQUIRE(!c.summaryFields.isEmpty());
    FUZZ_REQUIRE(c.hasCaptions == c.captionsTail.startsWith(QStringLiteral("//RVSIM_Captions")));
    // The tail plus the save's CR LF is the file's end, byte for byte.
    if (c.hasCaptions) {
      const QByteArray tail = c.captionsTail.toLatin1();
      FUZZ_REQUIRE(file.endsWith(tail) || file.endsWith(tail + "\r\n"));
    }
    (void)c.field(static_cast<int>(size % 40));
  }

  const QString dir = xav::fuzz::scratchDir();
  QFile out(QDir(dir).filePath(QStringLiteral("Config.csv")));
  FUZZ_REQUIRE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
  FUZZ_REQUIRE(out.write(file) == file.size());
  out.close();
  const gw::CurrentConfig read = gw::readCurrentConfig(dir);
  FUZZ_REQUIRE(read.readable == c.readable && read.title == c.title && read.captionsTail == c.captionsTail &&
               read.summaryFields == c.summaryFields && read.protocolCode == c.protocolCode);
  return 0;
}
