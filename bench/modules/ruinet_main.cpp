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
// --delay-ms N, --hang, --alter-line N and --keep-old (or
// XAV_BENCH_RUINET_DELAY_MS, _HANG, _ALTER_LINE, _KEEP_OLD) make it slow, hang or alter what the module stores;
// see bench_behaviour.h.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

#include "app_info.h"
#include "bench_behaviour.h"
#include "commands.h"
#include "files.h"
#include "module_store.h"

namespace {

int fail(const QString& text) {
  std::fprintf(stderr, "ruinet: %s\n", qPrintable(text));
  return 1;
}

struct Request {
  QString address;
  QString file;
  bool fetch = false, send = false, program = false, boot = false, addressMode = false;
};

void describeOptions(QCommandLineParser& parser) {
  xav::describeProgram(parser, QStringLiteral("ruinet"),
                       QStringLiteral("Bench stand-in for the gateway platform's loader, over the simulated\n"
                                      "modules of xav-bench-modules. Files go to and come from the working\n"
                                      "folder. -i and -f take their value joined (-i127.0.0.21) or apart."));
  // Short options with joined values, as the loader's own: -u1 is -u with 1.
  parser.addOptions({
      {QStringLiteral("i"), QStringLiteral("Module address."), QStringLiteral("addr")},
      {QStringLiteral("f"), QStringLiteral("File name."), QStringLiteral("file")},
      {QStringLiteral("u"), QStringLiteral("1 fetches the module's file, 0 sends the working folder's."), QStringLiteral("dir")},
      {QStringLiteral("p"), QStringLiteral("Program the module (with -u0 or -b).")},
      {QStringLiteral("o"), QStringLiteral("Overwrite (every upload does).")},
      {QStringLiteral("b"), QStringLiteral("Restart the module (with -p).")},
      {QStringLiteral("m"), QStringLiteral("1: address mode."), QStringLiteral("mode")},
  });
  xav::bench::addBehaviourOptions(parser, true);
  parser.addPositionalArgument(QStringLiteral("ruinet"), QStringLiteral("The loader's own name, ignored."),
                               QStringLiteral("[ruinet.exe]"));
}

// False with *error for an option the loader does not know.
bool parseRequest(const QCommandLineParser& parser, Request* r, QString* error) {
  for (const QString& a : parser.positionalArguments()) {
    const QString lower = a.toLower();
    if (lower == QStringLiteral("ruinet") || lower == QStringLiteral("ruinet.exe")) continue;
    *error = QStringLiteral("unknown option %1").arg(a);
    return false;
  }
  r->address = parser.value(QStringLiteral("i"));
  r->file = parser.value(QStringLiteral("f"));
  for (const QString& d : parser.values(QStringLiteral("u"))) {
    if (d == QStringLiteral("1")) {
      r->fetch = true;
    } else if (d == QStringLiteral("0")) {
      r->send = true;
    } else {
      *error = QStringLiteral("unknown option -u%1").arg(d);
      return false;
    }
  }
  r->program = parser.isSet(QStringLiteral("p"));
  r->boot = parser.isSet(QStringLiteral("b"));
  for (const QString& m : parser.values(QStringLiteral("m"))) {
    if (m != QStringLiteral("1")) {
      *error = QStringLiteral("unknown option -m%1").arg(m);
      return false;
    }
    r->addressMode = true;
  }
  return true;
}

int addressMode() {
  const QStringList moves = xav::bench::bringModulesOntoLoopback();
  if (moves.isEmpty()) std::printf("address mode: every module answers on loopback already\n");
  for (const QString& m : moves) std::printf("address mode: %s\n", qPrintable(m));
  return 0;
}

int fetchFile(const Request& r, const QString& dir) {
  QString error;
  const QString source = xav::bench::fileInDir(dir, r.file);
  QByteArray data;
  if (source.isEmpty() || !xav::readWholeFile(source, &data, &error))
    return fail(QStringLiteral("module %1 holds no %2").arg(r.address, r.file));
  if (!xav::writeWholeFile(QDir::current().filePath(r.file), data, &error)) return fail(error);
  std::printf("%s: %s fetched (%lld bytes)\n", qPrintable(r.address), qPrintable(r.file),
              static_cast<long long>(data.size()));
  return 0;
}

int sendFile(const Request& r, const QString& dir, const xav::bench::Behaviour& behaviour) {
  QString error;
  const QString source = xav::bench::fileInDir(QDir::currentPath(), r.file);
  QByteArray data;
  if (source.isEmpty() || !xav::readWholeFile(source, &data, &error))
    return fail(QStringLiteral("no %1 in the working directory").arg(r.file));
  if (behaviour.keepsOld) {
    // Told as sent, as a module that silently drops the file would be.
    std::printf("%s: %s sent (%lld bytes)\n", qPrintable(r.address), qPrintable(r.file),
                static_cast<long long>(data.size()));
    return 0;
  }
  const QByteArray kept = behaviour.alterLine > 0 ? xav::bench::alteredCopy(data, behaviour.alterLine) : data;
  if (!xav::bench::putFile(dir, r.file, kept, &error)) return fail(error);
  std::printf("%s: %s sent (%lld bytes)\n", qPrintable(r.address), qPrintable(r.file),
              static_cast<long long>(data.size()));
  return 0;
}

int restart(const Request& r) {
  if (!r.program) return fail(QStringLiteral("-b needs -p"));
  QString now;
  QString error;
  if (!xav::bench::restartModule(r.address, &now, &error)) return fail(error);
  std::printf("%s: restarted, answers at %s\n", qPrintable(r.address), qPrintable(now));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  describeOptions(parser);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.errorExitCode = 1, .takesArguments = true}))
    return *end;
  xav::bench::Behaviour behaviour = xav::bench::behaviourFromEnvironment("XAV_BENCH_RUINET_");
  QString error;
  if (!xav::bench::takeBehaviourOptions(parser, &behaviour, &error)) return fail(error);
  Request r;
  if (!parseRequest(parser, &r, &error)) return fail(error);

  const char* operation = r.addressMode ? "address" : r.fetch ? "fetch" : r.send ? "send" : "boot";
  xav::bench::actOut(behaviour, QLatin1String(operation));

  if (r.addressMode) return addressMode();
  if (!gw::isDottedIPv4(r.address))
    return fail(QStringLiteral("-i needs a dotted IPv4 address, got \"%1\"").arg(r.address));
  const QString dir = xav::bench::moduleDir(r.address);
  if (dir.isEmpty()) return fail(QStringLiteral("no module answers at %1").arg(r.address));
  if ((r.fetch || r.send) && (r.file.isEmpty() || r.file.contains(u'/') || r.file.contains(u'\\')))
    return fail(QStringLiteral("-f needs a plain file name"));
  if (r.fetch == r.send && !r.boot) return fail(QStringLiteral("nothing to do: give -u1, -u0 or -p -b"));

  if (r.fetch && fetchFile(r, dir) != 0) return 1;
  if (r.send && sendFile(r, dir, behaviour) != 0) return 1;
  if (r.boot && restart(r) != 0) return 1;
  return 0;
}
