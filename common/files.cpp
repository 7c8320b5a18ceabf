#include "files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace xav {

bool writeWholeFile(const QString& path, const QByteArray& data, QString* error) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
    if (error) *error = f.errorString();
    return false;
  }
  return true;
}

bool appendToFile(const QString& path, const QByteArray& data, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(data) != data.size()) {
    if (error) *error = f.errorString();
    return false;
  }
  f.close();
  return true;
}

bool readWholeFile(const QString& path, QByteArray* data, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = f.errorString();
    return false;
  }
  *data = f.readAll();
  return true;
}

}  // namespace xav
