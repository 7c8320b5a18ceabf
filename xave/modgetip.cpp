#include "modgetip.h"

#include <QDir>
#include <QRegularExpression>

#include "commands.h"
#include "files.h"

namespace xave {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Blanks only, as the listing's name field is padded with blanks.
QString trimBlanks(const QString& s) {
  qsizetype b = 0, e = s.size();
  while (b < e && s[b] == QLatin1Char(' ')) ++b;
  while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
  return s.mid(b, e - b);
}

}  // namespace

QString ParseDiscoveryOutput(const QString& text) {
  // (*LF): lines end at LF only, so a CR is an ordinary character of the
  // 31-character name field and "^" matches after every LF.
  static const QRegularExpression re(QStringLiteral("(*LF)^([^\\n]{31})([0-9.]+)"),
                                     QRegularExpression::CaseInsensitiveOption |
                                         QRegularExpression::MultilineOption);
  QString listing;
  auto it = re.globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const QString whole = m.captured(0);
    if (whole.contains(QStringLiteral("BRIDGE NAME")) || whole.contains(QLatin1Char('='))) continue;
    listing += m.captured(2) + QStringLiteral(", ") + trimBlanks(m.captured(1)) + kCrLf;
  }
  return listing;
}

QString textAfterSeparator(const QString& text) {
  const qsizetype at = text.indexOf(QStringLiteral("=\r\n"));
  return at < 0 ? text.mid(1) : text.mid(at + 2);
}

QString readDiscoveryFile(const QString& workDir) {
  QByteArray bytes;
  if (!xav::readWholeFile(QDir(workDir).filePath(QStringLiteral("C.txt")), &bytes)) return {};
  return QString::fromLatin1(bytes);
}

QStringList listingEntries(const QString& listing) {
  QStringList entries;
  for (const QString& line : listing.split(kCrLf))
    if (!line.isEmpty()) entries << line + QStringLiteral(" : ");
  return entries;
}

QString moduleIpFromEntry(const QString& entry) {
  const qsizetype comma = entry.indexOf(QLatin1Char(','));
  return comma < 0 ? entry : entry.left(comma);
}

QString shownAddress(const QString& address) {
  const QString normal = gw::normalAddress(address);
  return normal.isEmpty() ? address : normal;
}

bool sameModuleAddress(const QString& a, const QString& b) { return shownAddress(a) == shownAddress(b); }

}  // namespace xave
