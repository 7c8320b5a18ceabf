#pragma once
// How a bench utility misbehaves on request, so tests can reach the tools'
// slow, hung and wrong-module paths without changing the command texts the
// tools build: by options on the utility's command line or, for a utility the
// tools start, by environment variables (prefix XAV_BENCH_RUINET_ or
// XAV_BENCH_RUIPING_):
//
//   --delay-ms N    / <prefix>DELAY_MS=N     wait N ms before doing anything
//   --hang          / <prefix>HANG=1         never do the work: wait until
//                                            ended (gives up after 10 min)
//                     <prefix>HANG=fetch,send,boot,address
//                                            hang only for those operations
//                                            of the loader (the discovery
//                                            utility's one is "discovery")
//   --alter-line N  / <prefix>ALTER_LINE=N   (loader) the module keeps a sent
//                                            file with its line N (from 1)
//                                            changed: " [altered]" appended
//   --keep-old      / <prefix>KEEP_OLD=1     (loader) a send reports success
//                                            but the module keeps the file
//                                            it had

#include <QByteArray>
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace xav::bench {

struct Behaviour {
  int delayMs = 0;
  bool hangAlways = false;
  QStringList hangOn;  // operations that hang: fetch, send, boot, address
  int alterLine = 0;   // 0: stored as sent
  bool keepsOld = false;  // a send stores nothing, yet reports success
  bool hangs(const QString& operation) const { return hangAlways || hangOn.contains(operation); }
};

// The behaviour the environment asks for; prefix such as "XAV_BENCH_RUINET_".
Behaviour behaviourFromEnvironment(const char* prefix);

// Gives the parser --delay-ms N and --hang, and --alter-line N and
// --keep-old for the loader.
void addBehaviourOptions(QCommandLineParser& parser, bool loader);

// Reads those options of a parsed command line into *b. False with *error
// for a bad number.
bool takeBehaviourOptions(const QCommandLineParser& parser, Behaviour* b, QString* error);

// Waits the delay; then, when the operation hangs, waits until ended.
void actOut(const Behaviour& b, const QString& operation);

// data with its line `line` (from 1) changed; a line past the end is added.
QByteArray alteredCopy(const QByteArray& data, int line);

}  // namespace xav::bench
