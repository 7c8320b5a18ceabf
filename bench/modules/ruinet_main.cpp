// Bench stand-in for the gateway platform's loader, over the simulated
// module store:
//   ruinet -i<addr> -u1 -f<file>        leaves the module's copy of <file> in
//                                       the working directory
//   ruinet -i<addr> -u0 -f<file> -p -o  sends the working directory's <file>
//   ruinet -i<addr> -p -b               restarts the module (a changed N1_IP
//                                       in its fs_tcp.ini takes effect)
//   ruinet -m1                          address mode (see module_store.h)
// "-i <addr>" and "-f <file>" may also be written apart. An argument that is
// the loader's own name is ignored (one command text passes it).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

#include "app_info.h"
#include "commands.h"
#include "files.h"
#include "module_store.h"

namespace {

int fail(const QString& text) {
  std::fprintf(stderr, "ruinet: %s\n", qPrintable(text));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("ruinet"),
                       QStringLiteral("Bench stand-in for the gateway platform's loader, over the simulated\n"
                                      "modules of xav-bench-modules. Files go to and come from the working\n"
                                      "folder. -i and -f take their value joined (-i127.0.0.21) or apart."));
  // Short options with joined values, as the loader's own: -u1 is -u with 1.
  const QCommandLineOption addressOption(QStringLiteral("i"), QStringLiteral("Module address."), QStringLiteral("addr"));
  const QCommandLineOption fileOption(QStringLiteral("f"), QStringLiteral("File name."), QStringLiteral("file"));
  const QCommandLineOption directionOption(
      QStringLiteral("u"), QStringLiteral("1 fetches the module's file, 0 sends the working folder's."), QStringLiteral("dir"));
  const QCommandLineOption programOption(QStringLiteral("p"), QStringLiteral("Program the module (with -u0 or -b)."));
  const QCommandLineOption overwriteOption(QStringLiteral("o"), QStringLiteral("Overwrite (every upload does)."));
  const QCommandLineOption bootOption(QStringLiteral("b"), QStringLiteral("Restart the module (with -p)."));
  const QCommandLineOption modeOption(QStringLiteral("m"), QStringLiteral("1: address mode."), QStringLiteral("mode"));
  parser.addOptions({addressOption, fileOption, directionOption, programOption, overwriteOption, bootOption, modeOption});
  parser.addPositionalArgument(QStringLiteral("ruinet"), QStringLiteral("The loader's own name, ignored."),
                               QStringLiteral("[ruinet.exe]"));
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.errorExitCode = 1, .takesArguments = true}))
    return *end;
  for (const QString& a : parser.positionalArguments()) {
    const QString lower = a.toLower();
    if (lower != QStringLiteral("ruinet") && lower != QStringLiteral("ruinet.exe"))
      return fail(QStringLiteral("unknown option %1").arg(a));
  }
  const QString address = parser.value(addressOption);
  const QString file = parser.value(fileOption);
  bool fetch = false, send = false;
  for (const QString& d : parser.values(directionOption)) {
    if (d == QStringLiteral("1")) fetch = true;
    else if (d == QStringLiteral("0")) send = true;
    else return fail(QStringLiteral("unknown option -u%1").arg(d));
  }
  const bool program = parser.isSet(programOption);
  const bool boot = parser.isSet(bootOption);
  bool addressMode = false;
  for (const QString& m : parser.values(modeOption)) {
    if (m != QStringLiteral("1")) return fail(QStringLiteral("unknown option -m%1").arg(m));
    addressMode = true;
  }

  if (addressMode) {
    const QStringList moves = xav::bench::bringModulesOntoLoopback();
    if (moves.isEmpty()) std::printf("address mode: every module answers on loopback already\n");
    for (const QString& m : moves) std::printf("address mode: %s\n", qPrintable(m));
    return 0;
  }
  if (!gw::isDottedIPv4(address)) return fail(QStringLiteral("-i needs a dotted IPv4 address, got \"%1\"").arg(address));
  const QString dir = xav::bench::moduleDir(address);
  if (dir.isEmpty()) return fail(QStringLiteral("no module answers at %1").arg(address));
  if ((fetch || send) && (file.isEmpty() || file.contains(u'/') || file.contains(u'\\')))
    return fail(QStringLiteral("-f needs a plain file name"));
  if (fetch == send && !boot) return fail(QStringLiteral("nothing to do: give -u1, -u0 or -p -b"));

  QString error;
  if (fetch) {
    const QString source = xav::bench::fileInDir(dir, file);
    QByteArray data;
    if (source.isEmpty() || !xav::readWholeFile(source, &data, &error))
      return fail(QStringLiteral("module %1 holds no %2").arg(address, file));
    if (!xav::writeWholeFile(QDir::current().filePath(file), data, &error)) return fail(error);
    std::printf("%s: %s fetched (%lld bytes)\n", qPrintable(address), qPrintable(file), static_cast<long long>(data.size()));
  }
  if (send) {
    const QString source = xav::bench::fileInDir(QDir::currentPath(), file);
    QByteArray data;
    if (source.isEmpty() || !xav::readWholeFile(source, &data, &error))
      return fail(QStringLiteral("no %1 in the working directory").arg(file));
    if (!xav::bench::putFile(dir, file, data, &error)) return fail(error);
    std::printf("%s: %s sent (%lld bytes)\n", qPrintable(address), qPrintable(file), static_cast<long long>(data.size()));
  }
  if (boot) {
    if (!program) return fail(QStringLiteral("-b needs -p"));
    QString now;
    if (!xav::bench::restartModule(address, &now, &error)) return fail(error);
    std::printf("%s: restarted, answers at %s\n", qPrintable(address), qPrintable(now));
  }
  return 0;
}
