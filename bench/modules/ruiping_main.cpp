// Bench stand-in for the gateway platform's discovery utility: "ruiping -r0"
// lists the modules of the simulated store on standard output. An argument
// that is the utility's own name is ignored (the discovery text passes it).
// --delay-ms N and --hang (or XAV_BENCH_RUIPING_DELAY_MS, _HANG) make it slow
// or hang; see bench_behaviour.h.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "app_info.h"
#include "bench_behaviour.h"
#include "module_store.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("ruiping"),
                       QStringLiteral("Bench stand-in for the gateway platform's discovery utility: -r0 lists\n"
                                      "the simulated modules of xav-bench-modules on standard output."));
  parser.addOption({QStringLiteral("r"), QStringLiteral("0: list the modules."), QStringLiteral("n")});
  xav::bench::addBehaviourOptions(parser, false);
  parser.addPositionalArgument(QStringLiteral("ruiping"), QStringLiteral("The utility's own name, ignored."),
                               QStringLiteral("[ruiping.exe]"));
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.errorExitCode = 1, .takesArguments = true}))
    return *end;
  xav::bench::Behaviour behaviour = xav::bench::behaviourFromEnvironment("XAV_BENCH_RUIPING_");
  QString optionError;
  if (!xav::bench::takeBehaviourOptions(parser, &behaviour, &optionError)) {
    std::fprintf(stderr, "ruiping: %s\n", qPrintable(optionError));
    return 1;
  }
  bool listing = false;
  QStringList unknown = parser.positionalArguments();
  unknown.removeIf([](const QString& a) {
    return a.toLower() == QStringLiteral("ruiping") || a.toLower() == QStringLiteral("ruiping.exe");
  });
  for (const QString& r : parser.values(QStringLiteral("r"))) {
    if (r == QStringLiteral("0")) listing = true;
    else unknown << QStringLiteral("-r") + r;
  }
  if (!unknown.isEmpty()) {
    std::fprintf(stderr, "ruiping: unknown option %s\n", qPrintable(unknown.first()));
    return 1;
  }
  if (!listing) {
    std::fprintf(stderr, "usage: ruiping -r0\n");
    return 1;
  }
  xav::bench::actOut(behaviour, QStringLiteral("discovery"));
  const QByteArray out = xav::bench::discoveryListing();
  std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
  return 0;
}
