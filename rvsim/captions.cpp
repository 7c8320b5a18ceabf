#include "captions.h"

#include "frame_handler.h"

namespace rvsim {

QByteArray captionsFileBytes(const QStringList& rowCaptions) {
  QByteArray out = "\r\n";
  for (int i = 0; i < kRows; ++i) {
    QString caption = i < rowCaptions.size() ? rowCaptions[i] : QString();
    caption.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    out += caption.toLocal8Bit();
    out += "\r\n";
  }
  return out;
}

QStringList parseCaptions(const QByteArray& contents) {
  QStringList lines = QString::fromLocal8Bit(contents).split(QLatin1Char('\n'));
  QStringList captions;
  for (int i = 1; i <= kRows; ++i) {
    QString line = i < lines.size() ? lines[i] : QString();
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    captions << line;
  }
  return captions;
}

}  // namespace rvsim
