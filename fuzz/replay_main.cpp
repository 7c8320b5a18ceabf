// Runs a fuzz target without libFuzzer, in the sanitized gcc build the tests
// use: every seed of the corpus folders given, then a fixed number of inputs
// mutated from them by a seeded generator, so every run tries the same
// inputs. It takes libFuzzer's options that the tests pass:
//   NAME_replay [-runs=N] [-max_len=N] [-seed=N] [-artifact_prefix=P] DIR|FILE...
// A crash or a broken rule (abort) writes the input being run to
// P + "crash-input" first, so it can be run again as a FILE argument (or
// through the libFuzzer build). Other "-" options are ignored.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <string>
#include <unistd.h>
#include <vector>

// Optional, as for libFuzzer.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The input being run and where it goes when the run dies, kept where a
// signal handler can reach them without allocating.
std::vector<uint8_t> current;
std::string crashPath = "crash-input";

void saveCurrentInput() {
  const int fd = ::open(crashPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < current.size()) {
    const ssize_t n = ::write(fd, current.data() + done, current.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  static const char said[] = "the input that failed was written to the crash file\n";
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, said, sizeof said - 1);
}

void onAbort(int sig) {
  saveCurrentInput();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// xorshift64*: small, and the same sequence on every platform.
struct Random {
  uint64_t state;
  uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
  }
  size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
};

// Bytes the parsers treat specially: line ends, separators, bounds.
constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x0d, 0x0a, ',', '=', ' ', '.', '-', '/', '"', 0x7f, 0x80, 0xff};

std::vector<uint8_t> mutate(const std::vector<std::vector<uint8_t>>& seeds, Random& rnd, size_t maxLen) {
  std::vector<uint8_t> in = seeds[rnd.below(seeds.size())];
  const size_t steps = 1 + rnd.below(4);
  for (size_t s = 0; s < steps; ++s) {
    switch (rnd.below(7)) {
      case 0:  // flip a bit
        if (!in.empty()) in[rnd.below(in.size())] ^= static_cast<uint8_t>(1u << rnd.below(8));
        break;
      case 1:  // any byte
        if (!in.empty()) in[rnd.below(in.size())] = static_cast<uint8_t>(rnd.next());
        break;
      case 2:  // a special byte, put in
        in.insert(in.begin() + static_cast<std::ptrdiff_t>(rnd.below(in.size() + 1)),
                  kInteresting[rnd.below(sizeof kInteresting)]);
        break;
      case 3: {  // a piece cut out
        if (in.empty()) break;
        const size_t at = rnd.below(in.size());
        const size_t n = 1 + rnd.below(std::min<size_t>(in.size() - at, 16));
        in.erase(in.begin() + static_cast<std::ptrdiff_t>(at), in.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
      }
      case 4: {  // a piece of this or another seed, put in
        const std::vector<uint8_t>& from = seeds[rnd.below(seeds.size())];
        if (from.empty()) break;
        const size_t at = rnd.below(from.size());
        const size_t n = 1 + rnd.below(std::min<size_t>(from.size() - at, 32));
        const std::vector<uint8_t> piece(from.begin() + static_cast<std::ptrdiff_t>(at),
                                         from.begin() + static_cast<std::ptrdiff_t>(at + n));
        in.insert(in.begin() + static_cast<std::ptrdiff_t>(rnd.below(in.size() + 1)), piece.begin(), piece.end());
        break;
      }
      case 5:  // cut short
        in.resize(rnd.below(in.size() + 1));
        break;
      default:  // a digit changed: numbers are what the parsers read most
        if (!in.empty()) in[rnd.below(in.size())] = static_cast<uint8_t>('0' + rnd.below(10));
        break;
    }
  }
  if (in.size() > maxLen) in.resize(maxLen);
  return in;
}

bool readFile(const QString& path, std::vector<uint8_t>* out) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray data = f.readAll();
  out->assign(data.begin(), data.end());
  return true;
}

int run(const std::vector<uint8_t>& input) {
  current = input;
  return LLVMFuzzerTestOneInput(current.data(), current.size());
}

}  // namespace

int main(int argc, char** argv) {
  long long runs = 0;
  size_t maxLen = 4096;
  uint64_t seed = 1;
  QStringList places;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) { return a.rfind(name, 0) == 0 ? a.substr(std::strlen(name)) : std::string(); };
    if (!value("-runs=").empty()) {
      runs = std::stoll(value("-runs="));
    } else if (!value("-max_len=").empty()) {
      maxLen = static_cast<size_t>(std::stoull(value("-max_len=")));
    } else if (!value("-seed=").empty()) {
      seed = std::stoull(value("-seed="));
    } else if (!value("-artifact_prefix=").empty()) {
      crashPath = value("-artifact_prefix=") + "crash-input";
    } else if (a.rfind("-", 0) != 0) {
      places << QString::fromLocal8Bit(argv[i]);
    }
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::signal(SIGABRT, onAbort);
  __sanitizer_set_death_callback(saveCurrentInput);

  std::vector<std::vector<uint8_t>> seeds;
  for (const QString& place : places) {
    QStringList files;
    if (QFileInfo(place).isDir()) {
      for (const QFileInfo& fi : QDir(place).entryInfoList(QDir::Files, QDir::Name)) files << fi.filePath();
    } else {
      files << place;
    }
    for (const QString& file : files) {
      std::vector<uint8_t> data;
      if (!readFile(file, &data)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
        return 2;
      }
      seeds.push_back(std::move(data));
    }
  }
  if (seeds.empty()) seeds.emplace_back();  // from nothing, as libFuzzer starts
  for (const auto& s : seeds) run(s);
  Random rnd{seed * 0x9E3779B97F4A7C15ULL + 1};
  for (long long i = 0; i < runs; ++i) run(mutate(seeds, rnd, maxLen));
  std::printf("%zu seeds and %lld mutated inputs run\n", seeds.size(), runs);
  return 0;
}
