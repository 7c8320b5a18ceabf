#include "command_line.h"

#include <QCommandLineParser>
#include <cmath>

#include "app_info.h"

namespace rvsim {

namespace {
constexpr int kMaxIdleSeconds = 24 * 3600;
}

void addRunOptions(QCommandLineParser& parser) {
  xav::describeProgram(
      parser, QStringLiteral("RVSIM"),
      QStringLiteral("Plays the PLC of a Modbus/TCP installation for an XAV gateway on a bench: takes the "
                     "gateway's connection, shows the positions it writes and answers its reads with the "
                     "requests typed in the window (or set on standard input with --headless)."));
  parser.addOption({QStringLiteral("headless"),
                    QStringLiteral("Run without a window: commands on standard input (set, get, caption, "
                                   "stats, quit), one JSON object a line on standard output.")});
  parser.addOption({QStringLiteral("port"),
                    QStringLiteral("TCP port to serve (default 502; 0 lets the system choose one)."),
                    QStringLiteral("N"), QStringLiteral("502")});
  parser.addOption({QStringLiteral("idle-timeout"),
                    QStringLiteral("Seconds a connected gateway may stay silent before its connection is "
                                   "given up (default 30; 0: never)."),
                    QStringLiteral("S"), QStringLiteral("30")});
  parser.addOption({QStringLiteral("traffic"), QStringLiteral("Open the Traffic window at the start.")});
}

bool readRunOptions(const QCommandLineParser& parser, RunOptions* options, QString* error) {
  // Two timeouts: which one was meant cannot be known. (A later --port
  // overrides an earlier one, as wrapper scripts rely on.)
  if (parser.values(QStringLiteral("idle-timeout")).size() > 1) {
    *error = QStringLiteral("--idle-timeout is given more than once.");
    return false;
  }
  bool ok = false;
  const uint port = parser.value(QStringLiteral("port")).toUInt(&ok);
  if (!ok || port > 65535) {
    *error = QStringLiteral("--port takes a whole number from 0 to 65535, not \"%1\".").arg(parser.value(QStringLiteral("port")));
    return false;
  }
  const double idle = parser.value(QStringLiteral("idle-timeout")).toDouble(&ok);
  // Below a second the gateway (scanning every 0.5 s) would be dropped
  // between its own frames; nan and inf are no time at all.
  if (!ok || !std::isfinite(idle) || (idle != 0 && idle < 1) || idle > kMaxIdleSeconds) {
    *error = QStringLiteral("--idle-timeout takes 0 (never) or seconds from 1 to %1, not \"%2\".")
                 .arg(kMaxIdleSeconds)
                 .arg(parser.value(QStringLiteral("idle-timeout")));
    return false;
  }
  options->headless = parser.isSet(QStringLiteral("headless"));
  options->openTraffic = parser.isSet(QStringLiteral("traffic"));
  options->port = static_cast<quint16>(port);
  options->idleTimeoutMs = static_cast<int>(idle * 1000 + 0.5);
  return true;
}

bool needsNoDisplay(const QStringList& arguments) {
  QCommandLineParser parser;
  addRunOptions(parser);
  if (!parser.parse(arguments)) return true;
  RunOptions options;
  QString error;
  return parser.isSet(QStringLiteral("headless")) || parser.isSet(QStringLiteral("help")) ||
         parser.isSet(QStringLiteral("version")) ||
         !readRunOptions(parser, &options, &error);
}

}  // namespace rvsim
