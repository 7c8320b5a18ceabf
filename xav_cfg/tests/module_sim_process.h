#pragma once
// xav-module-sim as a child process of a test, on COM kCom, with its event
// lines collected.

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace xavcfg::testing {

inline QString binDir() {
  const QString env = qEnvironmentVariable("XAV_BIN_DIR");
  return env.isEmpty() ? QStringLiteral(XAVCFG_DEFAULT_BIN_DIR) : env;
}

inline constexpr int kCom = 5;

// xav-module-sim as a child; its stdout lines are "<ms> <event>".
class ModuleSimProcess {
 public:
  explicit ModuleSimProcess(const QStringList& extra) {
    proc_.setProgram(QDir(binDir()).filePath(QStringLiteral("xav-module-sim")));
    proc_.setArguments(QStringList{QStringLiteral("--com"), QString::number(kCom), QStringLiteral("--timestamps")} + extra);
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] {
      buffer_ += proc_.readAllStandardOutput();
      qsizetype nl;
      while ((nl = buffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLatin1(buffer_.left(nl));
        buffer_.remove(0, nl + 1);
        const qsizetype blank = line.indexOf(u' ');
        times << line.left(blank).toLongLong();
        events << line.mid(blank + 1);
      }
    });
    proc_.start();
    ready = proc_.waitForStarted(5000) && waitFor(QStringLiteral("READY"), 5000);
  }
  ~ModuleSimProcess() { stop(); }
  // Ends the simulator: its end of the line hangs up.
  void stop() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.terminate();
    if (!proc_.waitForFinished(3000)) proc_.kill();
  }
  // Waits for an event starting with prefix, after the ones already taken.
  bool waitFor(const QString& prefix, int ms, QString* event = nullptr) {
    const bool found = QTest::qWaitFor(
        [&] {
          for (; next_ < events.size(); ++next_)
            if (events[next_].startsWith(prefix)) return true;
          return false;
        },
        ms);
    if (found) {
      if (event) *event = events[next_];
      ++next_;
    }
    return found;
  }
  int count(const QString& prefix) const {
    int n = 0;
    for (const QString& e : events) n += e.startsWith(prefix);
    return n;
  }
  qint64 timeOf(const QString& event) const { return times.value(events.indexOf(event), -1); }

  bool ready = false;
  QStringList events;
  QList<qint64> times;

 private:
  QProcess proc_;
  QByteArray buffer_;
  qsizetype next_ = 0;
};

}  // namespace xavcfg::testing
