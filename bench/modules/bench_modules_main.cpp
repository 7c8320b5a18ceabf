// Manages the simulated module store of the bench loader and discovery
// utilities:
//   xav-bench-modules add ADDR [--name NAME] [--config FILE]
//   xav-bench-modules list
//   xav-bench-modules remove ADDR
//   xav-bench-modules path
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

#include "app_info.h"
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
  QCommandLineParser parser;
  xav::describeProgram(parser,
                       QStringLiteral("xav-bench-modules"),
                       QStringLiteral("Manages the simulated modules that the bench stand-ins of ruinet.exe and\n"
                                      "ruiping.exe serve, in ~/.config/xav/bench/modules.\n"
                                      "  add ADDR     adds a module (a loopback address such as 127.0.0.21)\n"
                                      "  list         lists the modules and the summary line of each Config.csv\n"
                                      "  remove ADDR  removes a module\n"
                                      "  path         prints the store's folder"));
  const QCommandLineOption nameOption(QStringLiteral("name"), QStringLiteral("Bridge name of an added module."),
                                      QStringLiteral("NAME"));
  const QCommandLineOption configOption(QStringLiteral("config"),
                                        QStringLiteral("Config.csv an added module holds (default: a fresh one)."),
                                        QStringLiteral("FILE"));
  parser.addOptions({nameOption, configOption});
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("add, list, remove or path."),
                               QStringLiteral("add ADDR | list | remove ADDR | path"));
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.errorExitCode = 2, .takesArguments = true}))
    return *end;
  const QStringList args = parser.positionalArguments();
  if (args.isEmpty()) return usage();
  const QString command = args[0];
  const bool addOptions = parser.isSet(nameOption) || parser.isSet(configOption);
  QString error;

  if (command == QStringLiteral("add") && args.size() == 2) {
    const QString address = args[1];
    QString name = parser.isSet(nameOption) ? parser.value(nameOption)
                                            : QStringLiteral("BRIDGE%1").arg(address.section(u'.', 3));
    QByteArray config;
    if (parser.isSet(configOption)) {
      const QString file = parser.value(configOption);
      if (!xav::readWholeFile(file, &config, &error)) return fail(file + QStringLiteral(": ") + error);
    } else {
      config = xav::bench::defaultConfig(name);
    }
    if (!address.startsWith(QStringLiteral("127.")))
      std::fprintf(stderr, "note: %s is no loopback address; the tools will ping it on the network\n",
                   qPrintable(address));
    if (!xav::bench::addModule(address, name, config, &error)) return fail(error);
    std::printf("added %s (%s) in %s\n", qPrintable(address), qPrintable(name),
                qPrintable(QDir::toNativeSeparators(xav::bench::moduleDir(address))));
    return 0;
  }
  if (addOptions) return usage();
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
