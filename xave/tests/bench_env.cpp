#include "bench_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include "files.h"
#include "module_store.h"

namespace xave::testing {

namespace {

QString storeRoot() { return xav::bench::moduleStoreDir(); }

// Misbehaviour asked for by one test must not reach the next.
void clearBehaviours() {
  for (const char* name : {"XAV_BENCH_RUINET_DELAY_MS", "XAV_BENCH_RUINET_HANG", "XAV_BENCH_RUINET_ALTER_LINE",
                           "XAV_BENCH_RUIPING_DELAY_MS", "XAV_BENCH_RUIPING_HANG"})
    qunsetenv(name);
}

}  // namespace

BenchEnv::BenchEnv() : oldCwd_(QDir::currentPath()) {
  oldPath_ = qgetenv("PATH");
  hadXdg_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  oldXdg_ = qgetenv("XDG_CONFIG_HOME");
  hadDataHome_ = qEnvironmentVariableIsSet("XAV_DATA_HOME");
  oldDataHome_ = qgetenv("XAV_DATA_HOME");
  // CTest names the program folder; the test binaries live there as well.
  binDir_ = qEnvironmentVariable("XAV_BIN_DIR");
  if (binDir_.isEmpty()) binDir_ = QCoreApplication::applicationDirPath();
  for (const char* util : {"ruinet.exe", "ruiping.exe"}) {
    const QString name = QString::fromLatin1(util);
    if (!restoreUtility(name))
      problem_ += name + QStringLiteral(" not found in XAV_BIN_DIR (") + binDir_ + QStringLiteral("). ");
  }
  clearBehaviours();
  qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
  // The window's history and service log go to an empty folder of the test's own.
  qputenv("XAV_DATA_HOME", dataDir().toLocal8Bit());
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
  if (hadDataHome_) qputenv("XAV_DATA_HOME", oldDataHome_);
  else qunsetenv("XAV_DATA_HOME");
  qunsetenv("XAV_FAKE_PING_LOG");
  qunsetenv("XAV_FAKE_PING_DOWN");
  clearBehaviours();
}

QString BenchEnv::dataDir() const { return config_.filePath(QStringLiteral("data")); }

void BenchEnv::setLoaderBehaviour(const char* variable, const QByteArray& value) {
  const QByteArray name = QByteArray("XAV_BENCH_RUINET_") + variable;
  if (value.isEmpty()) qunsetenv(name.constData());
  else qputenv(name.constData(), value);
}

bool BenchEnv::restoreUtility(const QString& name) {
  QFile::remove(work_.filePath(name));
  return QFile::copy(QDir(binDir_).filePath(name), work_.filePath(name));
}

bool BenchEnv::replaceDiscoveryWith(const QByteArray& listing) {
  const QString listingFile = config_.filePath(QStringLiteral("listing.txt"));
  const QString script = work_.filePath(QStringLiteral("ruiping.exe"));
  if (!xav::writeWholeFile(listingFile, listing)) return false;
  QFile::remove(script);
  if (!xav::writeWholeFile(script, "#!/bin/sh\ncat '" + listingFile.toLocal8Bit() + "'\n")) return false;
  return QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QList<qint64> BenchEnv::runningLoaders(const QString& argument) const {
  const QString loader = QFileInfo(work_.filePath(QStringLiteral("ruinet.exe"))).canonicalFilePath();
  QList<qint64> pids;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool ok = false;
    const qint64 pid = entry.toLongLong(&ok);
    if (!ok) continue;
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry));
    if (exe.endsWith(QStringLiteral(" (deleted)"))) exe.chop(10);
    if (exe.isEmpty() || exe != loader) continue;
    if (!argument.isEmpty()) {
      QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
      if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().split('\0').contains(argument.toLocal8Bit()))
        continue;
    }
    pids << pid;
  }
  return pids;
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
