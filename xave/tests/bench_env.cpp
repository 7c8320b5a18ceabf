#include "bench_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "files.h"

namespace xave::testing {

namespace {

QString storeRoot() { return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("xav/bench/modules")); }

}  // namespace

BenchEnv::BenchEnv() : oldCwd_(QDir::currentPath()) {
  oldPath_ = qgetenv("PATH");
  hadXdg_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  oldXdg_ = qgetenv("XDG_CONFIG_HOME");
  const QString bin = qEnvironmentVariable("XAV_BIN_DIR");
  for (const char* util : {"ruinet.exe", "ruiping.exe"}) {
    const QString name = QString::fromLatin1(util);
    if (!QFile::copy(QDir(bin).filePath(name), work_.filePath(name)))
      problem_ += name + QStringLiteral(" not found in XAV_BIN_DIR (") + bin + QStringLiteral("). ");
  }
  qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
  qputenv("PATH", QByteArray(XAVE_FAKE_BIN_DIR) + ':' + oldPath_);
  qputenv("XAV_FAKE_PING_LOG", config_.filePath(QStringLiteral("ping.log")).toLocal8Bit());
  qunsetenv("XAV_FAKE_PING_DOWN");
  QDir().mkpath(storeRoot());
  QDir::setCurrent(work_.path());
}

BenchEnv::~BenchEnv() {
  QDir::setCurrent(oldCwd_);
  qputenv("PATH", oldPath_);
  if (hadXdg_) qputenv("XDG_CONFIG_HOME", oldXdg_);
  else qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XAV_FAKE_PING_LOG");
  qunsetenv("XAV_FAKE_PING_DOWN");
}

QString BenchEnv::workFile(const QString& name) const { return work_.filePath(name); }

QString BenchEnv::moduleDir(const QString& address) const { return QDir(storeRoot()).filePath(address); }

QByteArray BenchEnv::defaultNetworkSettings(const QString& address) {
  return "// XAV network settings\r\nN1_DHCP = off\r\nN1_NAME = XAV\r\nN1_PORT = 0\r\nN1_IP = " + address.toLatin1() +
         "\r\nN1_NETMASK = 255.0.0.0\r\nN1_GATEWAY = 127.0.0.1\r\n";
}

void BenchEnv::addModule(const QString& address, const QString& name, const QByteArray& config) {
  QDir().mkpath(moduleDir(address));
  setModuleFile(address, QStringLiteral("name"), name.toLatin1());
  setModuleFile(address, QStringLiteral("fs_tcp.ini"), defaultNetworkSettings(address));
  if (!config.isEmpty()) setModuleFile(address, QStringLiteral("Config.csv"), config);
}

void BenchEnv::removeModule(const QString& address) { QDir(moduleDir(address)).removeRecursively(); }

bool BenchEnv::hasModule(const QString& address) const { return QDir(moduleDir(address)).exists(); }

QByteArray BenchEnv::moduleFile(const QString& address, const QString& file) const {
  QByteArray data;
  if (!xav::readWholeFile(QDir(moduleDir(address)).filePath(file), &data)) return QByteArray();
  return data.isNull() ? QByteArray("") : data;
}

void BenchEnv::setModuleFile(const QString& address, const QString& file, const QByteArray& bytes) {
  xav::writeWholeFile(QDir(moduleDir(address)).filePath(file), bytes);
}

void BenchEnv::removeModuleFile(const QString& address, const QString& file) {
  QFile::remove(QDir(moduleDir(address)).filePath(file));
}

QStringList BenchEnv::pingedAddresses() const {
  QByteArray log;
  xav::readWholeFile(config_.filePath(QStringLiteral("ping.log")), &log);
  return QString::fromLatin1(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void BenchEnv::setPingDown(const QStringList& addresses) {
  qputenv("XAV_FAKE_PING_DOWN", addresses.join(QLatin1Char(' ')).toLocal8Bit());
}

bool waitFor(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QTest::qWait(20);
  }
  return true;
}

}  // namespace xave::testing
