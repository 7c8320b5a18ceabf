// Manages the simulated module store of the bench loader and discovery
// utilities:
//   xav-bench-modules add ADDR [--name NAME] [--config FILE]
//   xav-bench-modules list
//   xav-bench-modules remove ADDR
//   xav-bench-modules path
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

#include "files.h"
#include "module_store.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: xav-bench-modules add ADDR [--name NAME] [--config FILE]\n"
               "       xav-bench-modules list | remove ADDR | path\n");
  return 2;
}

int fail(const QString& text) {
  std::fprintf(stderr, "xav-bench-modules: %s\n", qPrintable(text));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.isEmpty()) return usage();
  const QString command = args[0];
  QString error;

  if (command == QStringLiteral("add") && args.size() >= 2) {
    const QString address = args[1];
    QString name = QStringLiteral("BRIDGE%1").arg(address.section(u'.', 3));
    QByteArray config;
    bool haveConfig = false;
    for (int i = 2; i < args.size(); ++i) {
      if (args[i] == QStringLiteral("--name") && i + 1 < args.size()) {
        name = args[++i];
      } else if (args[i] == QStringLiteral("--config") && i + 1 < args.size()) {
        if (!xav::readWholeFile(args[++i], &config, &error)) return fail(args[i] + QStringLiteral(": ") + error);
        haveConfig = true;
      } else {
        return usage();
      }
    }
    if (!haveConfig) config = xav::bench::defaultConfig(name);
    if (!address.startsWith(QStringLiteral("127.")))
      std::fprintf(stderr, "note: %s is no loopback address; the tools will ping it on the network\n",
                   qPrintable(address));
    if (!xav::bench::addModule(address, name, config, &error)) return fail(error);
    std::printf("added %s (%s) in %s\n", qPrintable(address), qPrintable(name),
                qPrintable(QDir::toNativeSeparators(xav::bench::moduleDir(address))));
    return 0;
  }
  if (command == QStringLiteral("list") && args.size() == 1) {
    for (const xav::bench::Module& m : xav::bench::listModules()) {
      QByteArray config;
      xav::readWholeFile(xav::bench::fileInDir(m.dir, QStringLiteral("Config.csv")), &config);
      const QByteArray summary = config.left(config.indexOf("\r\n") < 0 ? 0 : config.indexOf("\r\n"));
      std::printf("%-16s %-31s %s\n", qPrintable(m.address), qPrintable(m.bridgeName), summary.constData());
    }
    return 0;
  }
  if (command == QStringLiteral("remove") && args.size() == 2) {
    if (!xav::bench::removeModule(args[1], &error)) return fail(error);
    std::printf("removed %s\n", qPrintable(args[1]));
    return 0;
  }
  if (command == QStringLiteral("path") && args.size() == 1) {
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(xav::bench::moduleStoreDir())));
    return 0;
  }
  return usage();
}
