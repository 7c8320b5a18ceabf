#pragma once
// Shared pieces of the XAV_Cfg tests: a scratch working directory with its
// own config folder, and a stand-in for ping, address table and loader.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <functional>

#include "discovery.h"
#include "files.h"

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

// Ping, address table and loader answered from tables; records the calls.
class FakeNetworkHost : public NetworkHost {
 public:
  void broadcastPing() override { calls << QStringLiteral("broadcast"); }
  QString addressTable() override {
    calls << QStringLiteral("table");
    return table;
  }
  bool answersPing(const QString& address) override {
    calls << QStringLiteral("ping ") + address;
    return answering.contains(address);
  }
  bool fetchConfiguration(const QString& address) override {
    calls << QStringLiteral("fetch ") + address;
    if (onFetch) onFetch();
    if (configs.contains(address)) xav::writeWholeFile(QDir::current().filePath(QStringLiteral("Config.csv")), configs[address]);
    return true;
  }
  bool interrupted() const override { return !interruptAt.isEmpty() && !calls.isEmpty() && calls.last() == interruptAt; }
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
};

// A loader stand-in for the working directory: a send (-u0) leaves a copy of
// Config.csv as uploaded-<address>.csv; everything else does nothing.
inline void writeRecordingLoader(const QString& dir) {
  const QString path = QDir(dir).filePath(QStringLiteral("ruinet.exe"));
  xav::writeWholeFile(path,
                      "#!/bin/sh\n"
                      "case \"$*\" in *-u0*) a=\"${1#-i}\"; cp Config.csv \"uploaded-$a.csv\" ;; esac\n");
  QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

inline QByteArray uploadedTo(const QString& address) {
  QByteArray data;
  xav::readWholeFile(QDir::current().filePath(QStringLiteral("uploaded-%1.csv").arg(address)), &data);
  return data;
}

}  // namespace xavcfg::testing
