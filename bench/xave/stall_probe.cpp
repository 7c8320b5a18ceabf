// Runs XAVE's window in the current directory for a number of scan ticks and
// reports the longest gap of the event loop and the process's peak memory.
//   xave_stall_bench [TICKS]        (default 60)
//   xave_stall_bench SECONDS idle   the same probe on an empty event loop: the
//                                   machine's own baseline for comparison
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTimer>
#include <cstdio>

#include "app_info.h"
#include "xave_window.h"

namespace {

long statusKb(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xave_stall_bench"),
                       QStringLiteral("Runs XAVE's window in the current folder for a number of scan ticks and\n"
                                      "reports the longest event-loop stall and the peak memory."));
  parser.addPositionalArgument(QStringLiteral("TICKS"), QStringLiteral("Scan ticks (default 60)."), QStringLiteral("[TICKS]"));
  parser.addPositionalArgument(QStringLiteral("idle"), QStringLiteral("Probe an empty event loop for TICKS seconds instead."),
                               QStringLiteral("[idle]"));
  if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
  QApplication app(argc, argv);
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.takesArguments = true})) return *end;
  QApplication::setApplicationName(QStringLiteral("XAVE"));
  const int ticks = argc > 1 ? QByteArray(argv[1]).toInt() : 60;

  // A 5 ms probe: any gap between its firings beyond that is time the loop was stalled.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, worst = 0, worstAt = 0;
  int over20 = 0;  // gaps above 20 ms, to tell one hiccup from a pattern
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (last && now - last - 5 > 20) ++over20;
    if (last && now - last - 5 > worst) {
      worst = now - last - 5;
      worstAt = now;
    }
    last = now;
  });
  probe.start();

  if (argc > 2 && QByteArray(argv[2]) == "idle") {
    QTimer::singleShot(ticks * 1000, &app, [&] {
      std::printf("idle event loop, %d s: longest stall %lld ms; gaps above 20 ms: %d\n", ticks,
                  static_cast<long long>(worst), over20);
      app.quit();
    });
    return app.exec();
  }

  xave::XaveWindow window;
  int count = 0;
  QTimer* timer1 = window.findChild<QTimer*>(QStringLiteral("Timer1"));
  QObject::connect(timer1, &QTimer::timeout, [&] {
    ++count;
    if (count == 10 || count == 30 || count == ticks)
      std::printf("after tick %3d: resident %ld kB, peak %ld kB, modules listed %d\n", count, statusKb("VmRSS:"),
                  statusKb("VmHWM:"), window.findChild<QListWidget*>(QStringLiteral("LV1"))->count());
    if (count == ticks) {
      std::printf("scan ticks: %d in %.1f s\n", count, clock.elapsed() / 1000.0);
      std::printf("longest event-loop stall: %lld ms (at %.1f s); gaps above 20 ms: %d\n",
                  static_cast<long long>(worst), worstAt / 1000.0, over20);
      std::fflush(stdout);
      window.close();
      app.quit();
    }
  });
  if (!window.Form_Load()) return 2;
  return app.exec();
}
