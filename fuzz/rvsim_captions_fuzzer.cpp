// RVSIM's captions file, any bytes: parsed, written back, and opened by the
// simulator from disk as at start-up.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "captions.h"
#include "files.h"
#include "frame_handler.h"
#include "fuzz_support.h"
#include "platform.h"
#include "simulator.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  xav::fuzz::initialise(argc, argv);
  QDir().mkpath(QFileInfo(xav::platform::captionsFilePath()).path());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray file = xav::fuzz::bytes(data, size);
  const QStringList captions = rvsim::parseCaptions(file);
  FUZZ_REQUIRE(captions.size() == rvsim::kRows);

  // Saved and read again, the captions stay as they are (line breaks
  // inside one become blanks), and a second save writes the same bytes.
  const QByteArray saved = rvsim::captionsFileBytes(captions);
  const QStringList reread = rvsim::parseCaptions(saved);
  FUZZ_REQUIRE(reread.size() == rvsim::kRows);
  for (int i = 0; i < rvsim::kRows; ++i) {
    QString expected = captions[i];
    expected.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    FUZZ_REQUIRE(reread[i] == expected);
  }
  FUZZ_REQUIRE(rvsim::captionsFileBytes(reread) == saved);
  FUZZ_REQUIRE(saved.count("\r\n") >= rvsim::kRows + 1);

  // The simulator reads the file from disk; it never listens here.
  const QString path = xav::platform::captionsFilePath();
  // Files kept aside by earlier inputs go, or a thousand of them would fill
  // every backup name and the save would rightly be refused.
  const QFileInfo captionsInfo(path);
  QDir folder = captionsInfo.dir();
  for (const QString& kept : folder.entryList({captionsInfo.fileName() + QStringLiteral(".bak*")}, QDir::Files))
    folder.remove(kept);
  {
    QFile out(path);
    FUZZ_REQUIRE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(out.write(file) == file.size());
  }
  // A fresh simulator per input, as at start-up: what one file was (kept
  // aside, said once) belongs to that run only.
  rvsim::Simulator simulator;
  simulator.OpenCaptions();
  if (size > 0) simulator.setCaption(1 + data[0] % rvsim::kRows, QStringLiteral("Duct\r\nline"));
  simulator.CreateCaptionFile();
  QByteArray after;
  FUZZ_REQUIRE(xav::readWholeFile(path, &after));
  const QStringList kept = rvsim::parseCaptions(after);
  FUZZ_REQUIRE(kept.size() == rvsim::kRows);
  for (int i = 1; i <= rvsim::kRows; ++i) {
    QString shown = simulator.image().row(i).caption;
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    FUZZ_REQUIRE(kept[i - 1] == shown);
  }
  return 0;
}
