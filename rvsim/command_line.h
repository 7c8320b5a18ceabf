#pragma once
// RVSIM's command line: which mode, which port, how long a silent gateway
// is waited for.

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace rvsim {

struct RunOptions {
  bool headless = false;
  quint16 port = 502;
  int idleTimeoutMs = 30000;
  bool openTraffic = false;
};

// Adds --headless, --port, --idle-timeout and --traffic (and --help, --version).
void addRunOptions(QCommandLineParser& parser);

// The values of a parsed command line; false with *error for a value out of range.
bool readRunOptions(const QCommandLineParser& parser, RunOptions* options, QString* error);

// Whether the command line can be served without a display: headless, a
// question (--help, --version) or a mistake. Needs no application object.
bool needsNoDisplay(const QStringList& arguments);

}  // namespace rvsim
