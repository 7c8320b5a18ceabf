#pragma once
// Shared pieces of the XAV_Cfg tests: a scratch working directory with its
// own config folder, and a stand-in for ping, address table and loader.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>

#include "discovery.h"
#include "files.h"
#include "utility_runner.h"

namespace xavcfg::testing {

// A control of a window found by its exact objectName (the form's name of
// the control). A missing one ends the test at once: a renamed control must
// not pass unnoticed.
template <class T>
T* control(const QWidget& window, const QString& name) {
  T* found = window.findChild<T*>(name);
  if (!found) {
    ADD_FAILURE() << "no control named " << qPrintable(name) << " in " << qPrintable(window.objectName());
    std::abort();
  }
  return found;
}
// Element index of a control array ("optMode", 5 is optMode_5).
template <class T>
T* control(const QWidget& window, const char* array, int index) {
  return control<T>(window, QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(index));
}

// Makes a temporary directory the working directory, the config folder
// ($XDG_CONFIG_HOME) and the data folder ($XAV_DATA_HOME: history and
// service log) for the life of the object.
class ScratchDir {
 public:
  ScratchDir()
      : oldCwd_(QDir::currentPath()), oldXdg_(qgetenv("XDG_CONFIG_HOME")), oldData_(qgetenv("XAV_DATA_HOME")) {
    QDir().mkpath(dir_.filePath(QStringLiteral("work")));
    QDir::setCurrent(work());
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XAV_DATA_HOME", data().toLocal8Bit());
  }
  ~ScratchDir() {
    QDir::setCurrent(oldCwd_);
    restore("XDG_CONFIG_HOME", oldXdg_);
    restore("XAV_DATA_HOME", oldData_);
  }
  QString work() const { return dir_.filePath(QStringLiteral("work")); }
  QString path(const QString& name) const { return dir_.filePath(name); }
  QString config() const { return dir_.filePath(QStringLiteral("config")); }
  QString data() const { return dir_.filePath(QStringLiteral("data")); }
  void writeWork(const QString& name, const QByteArray& data) const {
    xav::writeWholeFile(QDir(work()).filePath(name), data);
  }

 private:
  static void restore(const char* name, const QByteArray& old) {
    if (old.isNull()) qunsetenv(name);
    else qputenv(name, old);
  }
  QTemporaryDir dir_;
  QString oldCwd_;
  QByteArray oldXdg_;
  QByteArray oldData_;
};

// A file as the loader leaves it: summary line, Bridge heading, title row.
inline QByteArray configWithTitle(const QString& summary, const QString& title, const QByteArray& tail = {}) {
  QByteArray out = summary.toLatin1() + "\r\nBridge\r\nTitle                  , System_Node_Id\r\n" +
                   title.toLatin1() + " , 11\r\n\r\nData_Arrays\r\n";
  if (!tail.isEmpty()) out += "\r\n" + tail + "\r\n";
  return out;
}

// Ping, address table and loader answered from tables, for what the
// sessions run: "ping" and "ip" first on PATH while it lives, and the
// Config.csv the working directory's loader (writeRecordingLoader) fetches.
// calls reads "broadcast", "table", "ping <address>" and "fetch <address>";
// interruptAt cancels the run of the named call as the operator would.
class FakeNetworkHost {
 public:
  FakeNetworkHost() : oldPath_(qgetenv("PATH")), oldServed_(qgetenv("XAV_FAKE_SERVED")) {
    script("ping",
           "#!/bin/sh\naddr=\"\"\nfor a in \"$@\"; do addr=\"$a\"; done\n"
           "if grep -qxF \"$addr\" \"" + dir_.path().toLocal8Bit() + "/answering.txt\" 2>/dev/null; then\n"
           "  echo \"1 packets transmitted, 1 received, 0% packet loss\"; exit 0\nfi\n"
           "echo \"1 packets transmitted, 0 received, 100% packet loss\"; exit 1\n");
    script("ip", "#!/bin/sh\ncat \"" + dir_.path().toLocal8Bit() + "/table.txt\"\n");
    QDir().mkpath(served());
    qputenv("PATH", dir_.path().toLocal8Bit() + ':' + oldPath_);
    qputenv("XAV_FAKE_SERVED", served().toLocal8Bit());
    QObject::connect(&gw::sharedUtilityRunner(), &gw::UtilityRunner::waitingFor, &context_,
                     [this](const gw::UtilityWait& wait) { onUtility(wait); });
  }
  ~FakeNetworkHost() {
    qputenv("PATH", oldPath_);
    if (oldServed_.isNull()) qunsetenv("XAV_FAKE_SERVED");
    else qputenv("XAV_FAKE_SERVED", oldServed_);
  }

  // An "arp -a" listing of the given lines after three heading lines.
  void setTable(const QStringList& lines) {
    table = QStringLiteral("\r\nInterface: 127.0.0.1 --- 0x1\r\n  Internet Address      Physical Address      Type\r\n") +
            lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
  }

  QString table;
  QStringList answering;
  QMap<QString, QByteArray> configs;
  QStringList calls;
  std::function<void()> onFetch;  // runs as each fetch starts
  QString interruptAt;            // the call the operator cancels ("ping 127.0.0.12")

 private:
  QString served() const { return dir_.filePath(QStringLiteral("served")); }
  void script(const char* name, const QByteArray& text) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    xav::writeWholeFile(path, text);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  }
  // The table as "ip neigh" prints it: the arp lines after the headings.
  QByteArray neighbours() const {
    QByteArray out;
    const QStringList lines = table.split(QStringLiteral("\r\n"));
    for (qsizetype i = 3; i < lines.size(); ++i) {
      const QStringList f = lines[i].simplified().split(u' ');
      if (f.size() < 2) continue;
      out += f[0].toLatin1() + " dev lo lladdr " + QString(f[1]).replace(u'-', u':').toLatin1() + " REACHABLE\n";
    }
    return out;
  }
  // A line of a session starts: prepare what the stand-in answers.
  void onUtility(const gw::UtilityWait& wait) {
    const QString line = wait.commandText.split(QStringLiteral("\r\n")).value(wait.lineIndex);
    QString call;
    if (line.contains(QLatin1String("ping -b"))) {
      call = QStringLiteral("broadcast");
    } else if (line.contains(QLatin1String("ip neigh"))) {
      call = QStringLiteral("table");
      xav::writeWholeFile(dir_.filePath(QStringLiteral("table.txt")), neighbours());
    } else if (line.contains(QLatin1String(" ping "))) {
      call = QStringLiteral("ping ") + wait.moduleAddress;
      xav::writeWholeFile(dir_.filePath(QStringLiteral("answering.txt")), answering.join(u'\n').toLatin1() + '\n');
    } else if (line.contains(QLatin1String("-u1 -fConfig.csv"))) {
      call = QStringLiteral("fetch ") + wait.moduleAddress;
      if (onFetch) onFetch();
      const QString file = QDir(served()).filePath(wait.moduleAddress + QStringLiteral(".csv"));
      if (configs.contains(wait.moduleAddress)) xav::writeWholeFile(file, configs[wait.moduleAddress]);
      else QFile::remove(file);
    } else {
      return;
    }
    calls << call;
    if (call == interruptAt) QTimer::singleShot(0, &context_, [] { gw::sharedUtilityRunner().cancel(); });
  }

  QTemporaryDir dir_;
  QByteArray oldPath_;
  QByteArray oldServed_;
  QObject context_;
};

// A loader stand-in for the working directory: a send (-u0) leaves a copy of
// Config.csv as uploaded-<address>.csv; a fetch (-u1) brings the file a
// FakeNetworkHost serves for the address; everything else does nothing.
inline void writeRecordingLoader(const QString& dir) {
  const QString path = QDir(dir).filePath(QStringLiteral("ruinet.exe"));
  xav::writeWholeFile(path,
                      "#!/bin/sh\n"
                      "case \"$*\" in\n"
                      "  *-u0*) a=\"${1#-i}\"; cp Config.csv \"uploaded-$a.csv\" ;;\n"
                      "  *-u1*-fConfig.csv*) f=\"${XAV_FAKE_SERVED:-/nonexistent}/$2.csv\"; [ -f \"$f\" ] && cp \"$f\" Config.csv ;;\n"
                      "esac\nexit 0\n");
  QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

inline QByteArray uploadedTo(const QString& address) {
  QByteArray data;
  xav::readWholeFile(QDir::current().filePath(QStringLiteral("uploaded-%1.csv").arg(address)), &data);
  return data;
}

}  // namespace xavcfg::testing
