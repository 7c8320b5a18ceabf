#include "platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "numbers.h"

namespace xav::platform {

QString configDir() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("xav"));
}

QString comPortLinkPath(int n) {
  return QDir(configDir()).filePath(QStringLiteral("ports/com%1").arg(n));
}

QString comPortDevice(int n) {
  if (n < 1 || n > 16) return {};
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(n);
#else
  const QString link = comPortLinkPath(n);
  if (QFileInfo(link).isSymLink() || QFileInfo::exists(link)) return link;
  if (n <= 4) return QStringLiteral("/dev/ttyS%1").arg(n - 1);
  if (n <= 12) return QStringLiteral("/dev/ttyUSB%1").arg(n - 5);
  return QStringLiteral("/dev/ttyACM%1").arg(n - 13);
#endif
}

int comNumberFromText(const QString& text) {
  const qsizetype at = text.indexOf(QStringLiteral("COM "));
  if (at < 0) return 0;
  const long long n = leadingInteger(QStringView(text).mid(at + 4));
  return (n < 0 || n > 255) ? 0 : static_cast<int>(n);
}

QString captionsFilePath() {
#ifdef Q_OS_WIN
  return QStringLiteral("c:\\bat\\ModBusCaptions.txt");
#else
  return QDir(configDir()).filePath(QStringLiteral("ModBusCaptions.txt"));
#endif
}

}  // namespace xav::platform
