#include "network_settings.h"

namespace gw {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kIpKey = QStringLiteral("N1_IP = ");
const QString kMaskKey = QStringLiteral("N1_NETMASK = ");
}  // namespace

NetworkSettings parseNetworkSettings(const QByteArray& file) {
  NetworkSettings s;
  QString text = QString::fromLatin1(file);
  text.replace(kCrLf, QStringLiteral("\n"));
  text.replace(QStringLiteral("\n"), kCrLf);
  s.lines = text.split(kCrLf);
  // A final line end opens no further line.
  const qsizetype lineCount = s.lines.size() - (text.endsWith(kCrLf) ? 1 : 0);
  if (lineCount < 6) return s;
  s.usable = true;
  s.ip = s.lines[4].mid(kIpKey.size());
  s.mask = s.lines[5].mid(kMaskKey.size());
  return s;
}

QByteArray rewriteNetworkSettings(QStringList lines, const QString& ip, const QString& mask) {
  while (lines.size() < 6) lines << QString();
  lines[4] = kIpKey + ip;
  lines[5] = kMaskKey + mask;
  // The held text keeps the file's own final line end; adding one at every
  // change made the file grow by an empty line each time.
  QString text = lines.join(kCrLf);
  if (!text.endsWith(kCrLf)) text += kCrLf;
  return text.toLatin1();
}

}  // namespace gw
