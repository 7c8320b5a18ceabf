// xav-gateway-sim: a stand-in for an XAV gateway configured for Modbus/TCP.
// It connects to the PLC (RVSIM), and every scan writes its 20 drive
// positions at the starting register and reads the 20 requests behind them.
// Its drives travel one duct at a time toward their requests. Switches inject
// the faults a real module shows: a reset connection, cut or split frames and
// an unknown function code.
#include <modbus.h>

#include <QCommandLineParser>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app_info.h"

namespace {

constexpr int kDrives = 20;
volatile std::sig_atomic_t stopRequested = 0;

struct Options {
  std::string host = "127.0.0.1";
  int port = 502;
  int start = 40001;
  int intervalMs = 500;
  int speed = 1;
  int initial = 1;
  long cycles = 0;       // 0: run until stopped
  int resetEvery = 0;    // reset the connection every N scans
  int shortEvery = 0;    // a write of 10 registers instead of 20 every N scans
  int splitEvery = 0;    // the write sent in two pieces every N scans
  int unknownEvery = 0;  // a frame with function code 6 before the scan, every N scans
  bool verbose = false;
};

// Reads the switches into o; the exit status when the program ends here
// (--help, --version, a bad command line).
std::optional<int> parse(int argc, char** argv, Options& o) {
  QCommandLineParser p;
  xav::describeProgram(p, QStringLiteral("xav-gateway-sim"),
                       QStringLiteral("Stand-in for an XAV gateway configured for Modbus/TCP: connects to the\n"
                                      "PLC (RVSIM) and every scan writes its 20 drive positions at the starting\n"
                                      "register and reads the 20 requests behind them."));
  const auto host = xav::addOption(p, "host", "PLC address (default 127.0.0.1).", "A");
  const auto port = xav::addOption(p, "port", "PLC port (default 502).", "N");
  const auto start = xav::addOption(p, "start", "Starting register (default 40001).", "R");
  const auto interval = xav::addOption(p, "interval", "Milliseconds between scans (default 500).", "MS");
  const auto speed = xav::addOption(p, "speed", "Ducts a drive travels per scan (default 1).", "D");
  const auto initial = xav::addOption(p, "initial", "Duct every drive starts at (default 1).", "D");
  const auto cycles = xav::addOption(p, "cycles", "Scans to run (default 0: until stopped).", "N");
  const auto resetEvery = xav::addOption(p, "reset-every", "Reset the connection every N scans.", "N");
  const auto shortEvery = xav::addOption(p, "short-every", "A write of 10 registers instead of 20 every N scans.", "N");
  const auto splitEvery = xav::addOption(p, "split-every", "The write sent in two pieces every N scans.", "N");
  const auto unknownEvery = xav::addOption(p, "unknown-every", "A frame with function code 6 before the scan, every N scans.", "N");
  const auto verbose = xav::addOption(p, "verbose", "Print every scan.");
  if (const auto end = xav::parseCommandLine(p, xav::argumentsOf(argc, argv))) return end;
  auto number = [&](const QCommandLineOption& opt, auto& target) {
    if (p.isSet(opt)) target = static_cast<std::decay_t<decltype(target)>>(p.value(opt).toLong());
  };
  if (p.isSet(host)) o.host = p.value(host).toStdString();
  number(port, o.port);
  number(start, o.start);
  number(interval, o.intervalMs);
  number(speed, o.speed);
  number(initial, o.initial);
  number(cycles, o.cycles);
  number(resetEvery, o.resetEvery);
  number(shortEvery, o.shortEvery);
  number(splitEvery, o.splitEvery);
  number(unknownEvery, o.unknownEvery);
  o.verbose = p.isSet(verbose);
  return std::nullopt;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool every(int n, long cycle) { return n > 0 && cycle % n == 0; }

class Gateway {
 public:
  explicit Gateway(const Options& o) : o_(o) {
    address_ = o.start >= 40001 ? o.start - 40001 : o.start;
    positions_.fill(static_cast<uint16_t>(o.initial));
    requests_.fill(0);
  }

  int run() {
    long cycle = 0;
    while (!stopRequested && (o_.cycles == 0 || cycle < o_.cycles)) {
      if (!ctx_ && !connect()) {
        sleepMs(500);
        continue;
      }
      ++cycle;
      if (every(o_.resetEvery, cycle)) {
        resetConnection();
        continue;
      }
      if (!scan(cycle)) {
        drop();
        continue;
      }
      sleepMs(o_.intervalMs);
    }
    drop();
    return 0;
  }

 private:
  bool connect() {
    ctx_ = modbus_new_tcp(o_.host.c_str(), o_.port);
    if (!ctx_) return false;
    modbus_set_response_timeout(ctx_, 1, 0);
    if (modbus_connect(ctx_) == -1) {
      if (o_.verbose) std::printf("connect to %s:%d failed: %s\n", o_.host.c_str(), o_.port, modbus_strerror(errno));
      modbus_free(ctx_);
      ctx_ = nullptr;
      return false;
    }
    std::printf("connected to %s:%d\n", o_.host.c_str(), o_.port);
    return true;
  }

  void drop() {
    if (!ctx_) return;
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
  }

  // A power-cycled module: the connection ends with a reset, not a goodbye.
  void resetConnection() {
    const int fd = modbus_get_socket(ctx_);
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    drop();
    std::printf("connection reset\n");
    sleepMs(200);
  }

  // true: keep the connection; false: it is gone.
  bool check(int rc, const char* what) {
    if (rc != -1) return true;
    const int err = errno;
    std::printf("%s failed: %s\n", what, modbus_strerror(err));
    if (err == ETIMEDOUT || err == EMBBADDATA || err == EMBBADEXC || err == EMBMDATA) {
      modbus_flush(ctx_);
      return true;
    }
    return false;
  }

  std::vector<uint8_t> writeFrame(int count) {
    std::vector<uint8_t> f = {uint8_t(tid_ >> 8), uint8_t(tid_ & 0xFF), 0, 0, 0, uint8_t(7 + 2 * count), 0xFF, 16,
                              uint8_t(address_ >> 8), uint8_t(address_ & 0xFF), 0, uint8_t(count), uint8_t(2 * count)};
    for (int i = 0; i < count; ++i) {
      f.push_back(uint8_t(positions_[i] >> 8));
      f.push_back(uint8_t(positions_[i] & 0xFF));
    }
    ++tid_;
    return f;
  }

  bool sendRaw(const uint8_t* data, size_t size) {
    return ::send(modbus_get_socket(ctx_), data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }

  // A raw write whose reply is awaited as for any other write.
  bool rawWrite(int count, bool split) {
    const std::vector<uint8_t> f = writeFrame(count);
    if (split) {
      const size_t half = 20;
      if (!sendRaw(f.data(), half)) return false;
      sleepMs(30);
      if (!sendRaw(f.data() + half, f.size() - half)) return false;
    } else if (!sendRaw(f.data(), f.size())) {
      return false;
    }
    uint8_t rsp[MODBUS_TCP_MAX_ADU_LENGTH];
    return check(modbus_receive_confirmation(ctx_, rsp), split ? "split write" : "short write");
  }

  bool scan(long cycle) {
    if (every(o_.unknownEvery, cycle)) {
      // Write single register (6): the PLC ignores it, so no reply comes.
      const uint8_t f[] = {uint8_t(tid_ >> 8), uint8_t(tid_ & 0xFF), 0, 0, 0, 6, 0xFF, 6, 0, 0, 0, 1};
      ++tid_;
      if (!sendRaw(f, sizeof f)) return false;
      sleepMs(50);
      uint8_t buf[64];
      if (::recv(modbus_get_socket(ctx_), buf, sizeof buf, MSG_DONTWAIT) > 0) std::printf("unexpected reply to function 6\n");
    }
    bool ok;
    if (every(o_.shortEvery, cycle)) {
      ok = rawWrite(10, false);
    } else if (every(o_.splitEvery, cycle)) {
      ok = rawWrite(kDrives, true);
    } else {
      ok = check(modbus_write_registers(ctx_, address_, kDrives, positions_.data()), "write");
    }
    if (!ok) return false;
    std::array<uint16_t, kDrives> got{};
    const int rc = modbus_read_registers(ctx_, address_ + kDrives, kDrives, got.data());
    if (!check(rc, "read")) return false;
    if (rc == kDrives) requests_ = got;
    travel();
    if (o_.verbose) {
      std::printf("scan %ld positions", cycle);
      for (uint16_t p : positions_) std::printf(" %u", p);
      std::printf("\n");
    }
    return true;
  }

  // Each drive moves toward its request; a request of 0 leaves it where it is.
  void travel() {
    for (int i = 0; i < kDrives; ++i) {
      const int target = requests_[i] & 0xFF;
      if (target == 0) continue;
      int p = positions_[i];
      if (p < target) p = std::min(target, p + o_.speed);
      else if (p > target) p = std::max(target, p - o_.speed);
      positions_[i] = static_cast<uint16_t>(p);
    }
  }

  Options o_;
  modbus_t* ctx_ = nullptr;
  int address_ = 0;
  uint16_t tid_ = 0x8000;
  std::array<uint16_t, kDrives> positions_{};
  std::array<uint16_t, kDrives> requests_{};
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const auto end = parse(argc, argv, o)) return *end;
  setvbuf(stdout, nullptr, _IOLBF, 0);
  std::signal(SIGTERM, [](int) { stopRequested = 1; });
  std::signal(SIGINT, [](int) { stopRequested = 1; });
  std::signal(SIGPIPE, SIG_IGN);
  return Gateway(o).run();
}
