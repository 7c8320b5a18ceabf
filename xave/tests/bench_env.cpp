#include "bench_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include "files.h"
#include "module_store.h"

namespace xave::testing {

namespace {

QString storeRoot() { return xav::bench::moduleStoreDir(); }

}  // namespace

BenchEnv::BenchEnv() : oldCwd_(QDir::currentPath()) {
  oldPath_ = qgetenv("PATH");
  hadXdg_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  oldXdg_ = qgetenv("XDG_CONFIG_HOME");
  // CTest names the program folder; the test binaries live there as well.
  QString bin = qEnvironmentVariable("XAV_BIN_DIR");
  if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath();
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

QByteArray BenchEnv::defaultNetworkSettings(const QString& address) {
  return xav::bench::defaultNetworkSettings(address);
}

void BenchEnv::addModule(const QString& address, const QString& name, const QByteArray& config) {
  QString error;
  EXPECT_TRUE(xav::bench::addModule(address, name, config, &error)) << error.toStdString();
  if (config.isEmpty()) removeModuleFile(address, QStringLiteral("Config.csv"));
}

void BenchEnv::removeModule(const QString& address) {
  QString error;
  EXPECT_TRUE(xav::bench::removeModule(address, &error)) << error.toStdString();
}

bool BenchEnv::hasModule(const QString& address) const { return !xav::bench::moduleDir(address).isEmpty(); }

QByteArray BenchEnv::moduleFile(const QString& address, const QString& file) const {
  const QString path = xav::bench::fileInDir(xav::bench::moduleDir(address), file);
  QByteArray data;
  if (path.isEmpty() || !xav::readWholeFile(path, &data)) return QByteArray();
  return data.isNull() ? QByteArray("") : data;
}

void BenchEnv::setModuleFile(const QString& address, const QString& file, const QByteArray& bytes) {
  QString error;
  EXPECT_TRUE(xav::bench::putFile(xav::bench::moduleDir(address), file, bytes, &error)) << error.toStdString();
}

void BenchEnv::removeModuleFile(const QString& address, const QString& file) {
  const QString path = xav::bench::fileInDir(xav::bench::moduleDir(address), file);
  if (!path.isEmpty()) QFile::remove(path);
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
