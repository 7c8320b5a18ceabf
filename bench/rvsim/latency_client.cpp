// xav-modbus-latency: one libmodbus client, write+read pairs as the gateway
// sends them, back to back, to one or more servers in alternating rounds,
// so that every server meets the same machine conditions:
//   xav-modbus-latency [--rounds R] [--pairs N] [--warmup W] NAME=PORT [NAME=PORT ...]
// Each round sends N pairs to every server, in an order that turns round
// by round. The first server is the yardstick: for each other server the
// ratio of its round median to the yardstick's in the same round is taken,
// and the median of those ratios is printed. One line per server:
//   server=NAME median_us=.. p99_us=.. max_us=.. pairs_per_s=.. [ratio=.. ratio_min=.. ratio_max=..]
#include <modbus.h>

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app_info.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Server {
  std::string name;
  int port = 0;
  modbus_t* ctx = nullptr;
  std::vector<double> all;           // every measured pair, us
  std::vector<double> roundMedians;  // median pair of each round, us
  double seconds = 0;
};

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(double(v.size()) * p))];
}

bool connect(Server& s) {
  s.ctx = modbus_new_tcp("127.0.0.1", s.port);
  if (!s.ctx || modbus_connect(s.ctx) == -1) {
    std::fprintf(stderr, "cannot connect to %s at 127.0.0.1:%d: %s\n", s.name.c_str(), s.port, modbus_strerror(errno));
    return false;
  }
  modbus_set_response_timeout(s.ctx, 2, 0);
  return true;
}

// N pairs to one server; their times are kept unless this is the warm-up.
bool round(Server& s, long pairs, bool keep, uint16_t* positions) {
  uint16_t requests[20];
  std::vector<double> us;
  us.reserve(size_t(pairs));
  const auto begin = Clock::now();
  for (long n = 0; n < pairs; ++n) {
    positions[0] = static_cast<uint16_t>(n & 0xFF);
    const auto t0 = Clock::now();
    if (modbus_write_registers(s.ctx, 0, 20, positions) != 20 || modbus_read_registers(s.ctx, 20, 20, requests) != 20) {
      std::fprintf(stderr, "%s: pair %ld failed: %s\n", s.name.c_str(), n, modbus_strerror(errno));
      return false;
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  if (!keep) return true;
  s.seconds += std::chrono::duration<double>(Clock::now() - begin).count();
  s.roundMedians.push_back(percentile(us, 0.5));
  s.all.insert(s.all.end(), us.begin(), us.end());
  return true;
}

void report(const std::vector<Server>& servers) {
  const Server& yardstick = servers.front();
  for (const Server& s : servers) {
    std::printf("server=%s median_us=%.1f p99_us=%.1f max_us=%.1f pairs_per_s=%.0f", s.name.c_str(), percentile(s.all, 0.5),
                percentile(s.all, 0.99), percentile(s.all, 1.0), double(s.all.size()) / s.seconds);
    if (&s != &yardstick) {
      std::vector<double> ratios;
      for (size_t r = 0; r < s.roundMedians.size(); ++r) ratios.push_back(s.roundMedians[r] / yardstick.roundMedians[r]);
      std::printf(" ratio=%.3f ratio_min=%.3f ratio_max=%.3f", percentile(ratios, 0.5), percentile(ratios, 0.0),
                  percentile(ratios, 1.0));
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-modbus-latency"),
                       QStringLiteral("One libmodbus client on 127.0.0.1 sending write+read pairs as the gateway\n"
                                      "does, to one or more servers in alternating rounds; the first server is\n"
                                      "the yardstick of the ratios."));
  const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds (default 30)."),
                                        QStringLiteral("R"), QStringLiteral("30"));
  const QCommandLineOption pairsOption(QStringLiteral("pairs"), QStringLiteral("Pairs per server and round (default 1000)."),
                                       QStringLiteral("N"), QStringLiteral("1000"));
  const QCommandLineOption warmupOption(QStringLiteral("warmup"),
                                        QStringLiteral("Pairs sent to each server first, not measured (default 1000)."),
                                        QStringLiteral("W"), QStringLiteral("1000"));
  parser.addOptions({roundsOption, pairsOption, warmupOption});
  parser.addPositionalArgument(QStringLiteral("NAME=PORT"), QStringLiteral("A server on 127.0.0.1 (repeatable)."),
                               QStringLiteral("NAME=PORT [NAME=PORT ...]"));
  if (const auto end = xav::parseCommandLine(parser, xav::argumentsOf(argc, argv), {.takesArguments = true})) return *end;
  const long rounds = parser.value(roundsOption).toLong();
  const long pairs = parser.value(pairsOption).toLong();
  const long warmup = parser.value(warmupOption).toLong();
  std::vector<Server> servers;
  for (const QString& arg : parser.positionalArguments()) {
    const std::string a = arg.toStdString();
    if (const auto eq = a.find('='); eq != std::string::npos && eq > 0) {
      Server s;
      s.name = a.substr(0, eq);
      s.port = std::atoi(a.c_str() + eq + 1);
      servers.push_back(std::move(s));
    } else {
      servers.clear();
      break;
    }
  }
  if (servers.empty() || rounds < 1 || pairs < 1 || warmup < 0) {
    std::fprintf(stderr, "usage: xav-modbus-latency [--rounds R] [--pairs N] [--warmup W] NAME=PORT [NAME=PORT ...]\n");
    return 2;
  }
  uint16_t positions[20];
  for (int i = 0; i < 20; ++i) positions[i] = static_cast<uint16_t>(i + 1);
  for (Server& s : servers) {
    if (!connect(s) || !round(s, warmup, false, positions)) return 1;
  }
  const size_t count = servers.size();
  for (long r = 0; r < rounds; ++r) {
    for (size_t k = 0; k < count; ++k) {
      if (!round(servers[(size_t(r) + k) % count], pairs, true, positions)) return 1;
    }
  }
  report(servers);
  for (Server& s : servers) {
    modbus_close(s.ctx);
    modbus_free(s.ctx);
  }
  return 0;
}
