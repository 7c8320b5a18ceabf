// xav-modbus-reference: the smallest Modbus/TCP server libmodbus allows
// (modbus_receive + modbus_reply over a register map), listening on
// 127.0.0.1 only; the yardstick of the latency benchmark.
#include <modbus.h>

#include <QCommandLineParser>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app_info.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-modbus-reference"),
                       QStringLiteral("The smallest libmodbus Modbus/TCP server, on 127.0.0.1: the yardstick of\n"
                                      "RVSIM's latency benchmark."));
  parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("Port to listen on (default 1502)."), QStringLiteral("[PORT]"));
  if (const auto end = xav::parseCommandLine(parser, xav::argumentsOf(argc, argv), {.takesArguments = true})) return *end;
  const int port = argc > 1 ? std::atoi(argv[1]) : 1502;
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  modbus_mapping_t* map = modbus_mapping_new(0, 0, 200, 0);
  if (!ctx || !map) return 1;
  const int listener = modbus_tcp_listen(ctx, 1);
  if (listener == -1) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1:%d: %s\n", port, modbus_strerror(errno));
    return 1;
  }
  std::printf("listening on 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  for (;;) {
    int s = listener;
    const int connection = modbus_tcp_accept(ctx, &s);
    if (connection == -1) break;
    for (;;) {
      const int rc = modbus_receive(ctx, query);
      if (rc > 0) {
        modbus_reply(ctx, query, rc, map);
      } else if (rc == -1) {
        break;
      }
    }
    close(connection);
  }
  modbus_mapping_free(map);
  modbus_free(ctx);
  return 0;
}
