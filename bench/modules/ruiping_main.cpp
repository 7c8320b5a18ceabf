// Bench stand-in for the gateway platform's discovery utility: "ruiping -r0"
// lists the modules of the simulated store on standard output. An argument
// that is the utility's own name is ignored (the discovery text passes it).
// --delay-ms N and --hang (or XAV_BENCH_RUIPING_DELAY_MS, _HANG) make it slow
// or hang; see bench_behaviour.h.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "bench_behaviour.h"
#include "module_store.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool listing = false;
  QStringList args = app.arguments().mid(1);
  xav::bench::Behaviour behaviour = xav::bench::behaviourFromEnvironment("XAV_BENCH_RUIPING_");
  QString optionError;
  if (!xav::bench::takeBehaviourOptions(&args, &behaviour, &optionError)) {
    std::fprintf(stderr, "ruiping: %s\n", qPrintable(optionError));
    return 1;
  }
  for (const QString& a : args) {
    const QString lower = a.toLower();
    if (lower == QStringLiteral("ruiping") || lower == QStringLiteral("ruiping.exe")) continue;
    if (a == QStringLiteral("-r0")) {
      listing = true;
      continue;
    }
    std::fprintf(stderr, "ruiping: unknown option %s\n", qPrintable(a));
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
