// xav-modbus-latency: one client, write+read pairs as the gateway sends
// them, back to back; prints the round-trip figures of a pair.
//   xav-modbus-latency PORT PAIRS [WARMUP]
// Output: "median_us=.. p99_us=.. pairs_per_s=.." on one line.
#include <modbus.h>

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app_info.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-modbus-latency"),
                       QStringLiteral("One Modbus/TCP client on 127.0.0.1 sending write+read pairs as the gateway\n"
                                      "does, back to back; prints median_us=.. p99_us=.. pairs_per_s=.."));
  parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("Server port on 127.0.0.1."));
  parser.addPositionalArgument(QStringLiteral("PAIRS"), QStringLiteral("Pairs measured."));
  parser.addPositionalArgument(QStringLiteral("WARMUP"), QStringLiteral("Pairs sent first, not measured (default 1000)."),
                               QStringLiteral("[WARMUP]"));
  if (const auto end = xav::parseCommandLine(parser, xav::argumentsOf(argc, argv), {.takesArguments = true})) return *end;
  if (argc < 3) {
    std::fprintf(stderr, "usage: xav-modbus-latency PORT PAIRS [WARMUP]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const long pairs = std::atol(argv[2]);
  const long warmup = argc > 3 ? std::atol(argv[3]) : 1000;
  if (pairs < 1 || warmup < 0) {
    std::fprintf(stderr, "PAIRS must be at least 1\n");
    return 2;
  }
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  if (!ctx || modbus_connect(ctx) == -1) {
    std::fprintf(stderr, "cannot connect to 127.0.0.1:%d: %s\n", port, modbus_strerror(errno));
    return 1;
  }
  modbus_set_response_timeout(ctx, 2, 0);
  uint16_t positions[20];
  uint16_t requests[20];
  for (int i = 0; i < 20; ++i) positions[i] = static_cast<uint16_t>(i + 1);
  std::vector<double> us;
  us.reserve(static_cast<size_t>(pairs));
  using Clock = std::chrono::steady_clock;
  const auto begin = Clock::now();
  for (long n = 0; n < warmup + pairs; ++n) {
    positions[0] = static_cast<uint16_t>(n & 0xFF);
    const auto t0 = Clock::now();
    if (modbus_write_registers(ctx, 0, 20, positions) != 20 || modbus_read_registers(ctx, 20, 20, requests) != 20) {
      std::fprintf(stderr, "pair %ld failed: %s\n", n, modbus_strerror(errno));
      return 1;
    }
    const auto t1 = Clock::now();
    if (n >= warmup) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  std::sort(us.begin(), us.end());
  const double median = us[us.size() / 2];
  const double p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  std::printf("median_us=%.1f p99_us=%.1f pairs_per_s=%.0f\n", median, p99, double(warmup + pairs) / seconds);
  modbus_close(ctx);
  modbus_free(ctx);
  return 0;
}
