#pragma once
// Shared pieces of the fuzz targets: one QCoreApplication for the whole run
// (event-loop code needs it), a scratch directory for the files a target
// writes, and a reader that hands out the input a piece at a time.
#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace xav::fuzz {

// Creates the application and a scratch directory, both kept for the run.
// XDG_CONFIG_HOME points into it, so files kept "per user" stay there.
// The application is never destroyed: libFuzzer ends the process from
// exit handlers, after Qt's own globals are gone.
inline void initialise(int* argc, char*** argv) {
  static QCoreApplication* app = nullptr;
  static std::unique_ptr<QTemporaryDir> dir;
  if (app) return;
  app = new QCoreApplication(*argc, *argv);
  // Memory-backed where there is one: the targets write a file per input.
  const QString shm = QStringLiteral("/dev/shm");
  dir = QFileInfo(shm).isDir() && QFileInfo(shm).isWritable()
            ? std::make_unique<QTemporaryDir>(shm + QStringLiteral("/xav-fuzz-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
  if (!dir->isValid()) abort();
  qputenv("XDG_CONFIG_HOME", dir->path().toLocal8Bit());
}

inline QString scratchDir() { return qEnvironmentVariable("XDG_CONFIG_HOME"); }

inline QByteArray bytes(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Takes the input from the front; past its end every read gives 0 / empty.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool atEnd() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  QByteArray take(size_t n) {
    n = std::min(n, size_ - std::min(at_, size_));
    QByteArray out(reinterpret_cast<const char*>(data_ + at_), static_cast<qsizetype>(n));
    at_ += n;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace xav::fuzz

// A broken rule of the parser under test: libFuzzer reports the input.
#define FUZZ_REQUIRE(cond) \
  do {                     \
    if (!(cond)) abort();  \
  } while (0)
