#include "readback.h"

#include <QDir>

#include <cmath>

#include "files.h"
#include "numbers.h"

namespace gw {

namespace {

QString trimBlanks(const QString& s) {
  qsizetype b = 0;
  qsizetype e = s.size();
  while (b < e && s[b] == u' ') ++b;
  while (e > b && s[e - 1] == u' ') --e;
  return s.mid(b, e - b);
}

}  // namespace

CurrentConfig parseCurrentConfig(const QByteArray& file) {
  CurrentConfig c;
  // The file is 8-bit text; Latin-1 keeps every byte as it was.
  const QString text = QString::fromLatin1(file);
  // Lines end in CR LF; a file that lost its CRs reads the same.
  QStringList lines = text.split(u'\n');
  for (QString& l : lines)
    if (l.endsWith(u'\r')) l.chop(1);
  if (lines.size() < 4 || !lines[3].contains(u',')) return c;

  c.readable = true;
  if (text.startsWith(QStringLiteral("//"))) {
    const double code = xav::leadingNumber(QStringView(text).mid(2));
    if (code == 1.0 || code == 2.0 || code == 3.0) c.protocolCode = static_cast<int>(code);
  }
  c.title = trimBlanks(lines[3].left(lines[3].indexOf(u',')));
  for (const QString& f : lines[0].split(u',')) c.summaryFields << trimBlanks(f);
  const qsizetype marker = text.indexOf(QStringLiteral("//RVSIM_Captions"));
  if (marker >= 0) {
    c.hasCaptions = true;
    c.captionsTail = text.mid(marker);
    // A save writes the tail followed by one CR LF: that one is the save's,
    // not the tail's, or every read-back and save would add another.
    if (c.captionsTail.endsWith(QStringLiteral("\r\n"))) c.captionsTail.chop(2);
  }
  return c;
}

QString configTitle(const QByteArray& file) { return parseCurrentConfig(file).title; }

CurrentConfig readCurrentConfig(const QString& workDir) {
  QByteArray bytes;
  if (!xav::readWholeFile(QDir(workDir).filePath(QStringLiteral("Config.csv")), &bytes)) return {};
  return parseCurrentConfig(bytes);
}

}  // namespace gw
