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
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

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
  QStringList args = app.arguments().mid(1);
  QString address;
  QString file;
  bool fetch = false, send = false, program = false, boot = false, addressMode = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString a = args[i];
    const QString lower = a.toLower();
    if (lower == QStringLiteral("ruinet") || lower == QStringLiteral("ruinet.exe")) continue;
    if (a.startsWith(QStringLiteral("-i"))) {
      address = a.size() > 2 ? a.mid(2) : (i + 1 < args.size() ? args[++i] : QString());
    } else if (a.startsWith(QStringLiteral("-f"))) {
      file = a.size() > 2 ? a.mid(2) : (i + 1 < args.size() ? args[++i] : QString());
    } else if (a == QStringLiteral("-u1")) {
      fetch = true;
    } else if (a == QStringLiteral("-u0")) {
      send = true;
    } else if (a == QStringLiteral("-p")) {
      program = true;
    } else if (a == QStringLiteral("-o")) {
      // overwrite: every upload replaces the module's file
    } else if (a == QStringLiteral("-b")) {
      boot = true;
    } else if (a == QStringLiteral("-m1")) {
      addressMode = true;
    } else {
      return fail(QStringLiteral("unknown option %1").arg(a));
    }
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
