// xav-module-sim: a serial XAV module on a pseudo-terminal linked as COM n.
// It answers "**??" then "??" with its settings, takes a 45-character record
// ended by CR as its new settings (later queries are answered with them;
// --ignore-record k keeps the old ones at the k-th record) and notes the end
// marker "@" CR LF. Every message it sees is printed on stdout, one line each.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <poll.h>
#include <csignal>
#include <unistd.h>

#include "app_info.h"
#include "module_sim.h"
#include "pty_port.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

QElapsedTimer sinceStart;
bool timestamps = false;

void say(const QString& line) {
  const QString out = timestamps ? QStringLiteral("%1 %2").arg(sinceStart.elapsed()).arg(line) : line;
  std::fputs(qPrintable(out + QLatin1Char('\n')), stdout);
  std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser p;
  xav::describeProgram(p, QStringLiteral("xav-module-sim"),
                       QStringLiteral("Serial XAV module on a pseudo-terminal linked as COM n\n"
                                      "(~/.config/xav/ports/comN), for XAV_Cfg's serial side."));
  p.addOption({QStringLiteral("com"), QStringLiteral("Link the port as COM <n> (1..16)."), QStringLiteral("n"), QStringLiteral("1")});
  p.addOption({QStringLiteral("settings"),
               QStringLiteral("Initial settings: the 44 characters after a record's '@' (padded with blanks)."),
               QStringLiteral("text")});
  p.addOption({QStringLiteral("silent"), QStringLiteral("Never answer.")});
  p.addOption({QStringLiteral("answer-attempt"), QStringLiteral("Answer only the k-th query."), QStringLiteral("k")});
  p.addOption({QStringLiteral("late"), QStringLiteral("Answer after <ms> milliseconds."), QStringLiteral("ms")});
  p.addOption({QStringLiteral("short"), QStringLiteral("Answer with only <n> characters."), QStringLiteral("n")});
  p.addOption({QStringLiteral("ignore-record"), QStringLiteral("Keep the old settings at the k-th record."), QStringLiteral("k")});
  p.addOption({QStringLiteral("unpaced"), QStringLiteral("Send replies at once instead of at 9600 baud.")});
  p.addOption({QStringLiteral("timestamps"), QStringLiteral("Start every line with the milliseconds since start.")});
  if (const auto end = xav::parseCommandLine(p, app.arguments(), {.errorExitCode = 1})) return *end;
  sinceStart.start();
  timestamps = p.isSet(QStringLiteral("timestamps"));

  xav::bench::ModuleSimOptions opt;
  if (p.isSet(QStringLiteral("settings")))
    opt.settings = p.value(QStringLiteral("settings")).toLatin1().left(44).leftJustified(44, ' ');
  opt.silent = p.isSet(QStringLiteral("silent"));
  opt.answerAttempt = p.value(QStringLiteral("answer-attempt")).toInt();
  opt.lateMs = p.value(QStringLiteral("late")).toInt();
  if (p.isSet(QStringLiteral("short"))) opt.shortLength = p.value(QStringLiteral("short")).toInt();
  opt.ignoreRecord = p.value(QStringLiteral("ignore-record")).toInt();
  const bool paced = !p.isSet(QStringLiteral("unpaced"));
  const int com = p.value(QStringLiteral("com")).toInt();
  if (com < 1 || com > 16) {
    say(QStringLiteral("ERROR --com must be 1..16"));
    return 2;
  }

  xav::bench::PtyPort port;
  QString error;
  if (!port.create(&error) || !port.linkAsCom(com, &error)) {
    say(QStringLiteral("ERROR ") + error);
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  say(QStringLiteral("READY COM %1 %2 -> %3").arg(com).arg(port.linkPath(), port.slaveName()));

  xav::bench::ModuleSim sim(opt);
  while (!stopRequested) {
    pollfd pfd{port.masterFd(), POLLIN, 0};
    const int r = ::poll(&pfd, 1, 100);
    if (r <= 0) continue;
    const QByteArray in = port.readAvailable();
    if (in.isEmpty()) continue;
    const xav::bench::SimActions a = sim.receive(in);
    for (const QString& line : a.log) say(line);
    if (!a.reply.isEmpty()) {
      if (a.delayMs > 0) ::usleep(static_cast<useconds_t>(a.delayMs) * 1000);
      port.write(a.reply, paced);
    }
  }
  say(QStringLiteral("STOP"));
  return 0;
}
