#include "captions.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "frame_handler.h"

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rvsim {

namespace {

// Bytes no text file holds; tabs and line ends are text.
bool binaryByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
}

}  // namespace

QByteArray captionsFileBytes(const QStringList& rowCaptions) {
  QByteArray out = "\r\n";
  for (int i = 0; i < kRows; ++i) {
    QString caption = i < rowCaptions.size() ? rowCaptions[i] : QString();
    caption.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    out += caption.toLatin1();
    out += "\r\n";
  }
  return out;
}

QStringList parseCaptions(QByteArrayView contents) {
  QStringList captions;
  qsizetype start = 0;
  for (int line = 0; line <= kRows; ++line) {
    QByteArrayView text;
    if (start <= contents.size()) {
      qsizetype end = contents.indexOf('\n', start);
      if (end < 0) end = contents.size();
      text = contents.sliced(start, end - start);
      start = end + 1;
    }
    if (text.endsWith('\r')) text.chop(1);
    if (line > 0) captions << QString::fromLatin1(text);
  }
  return captions;
}

CaptionsRead readCaptions(QByteArrayView contents) {
  CaptionsRead r;
  if (contents.size() > kMaxCaptionsFileBytes) {
    r.notCaptions = QStringLiteral("larger than %1 bytes").arg(kMaxCaptionsFileBytes);
  } else if (std::any_of(contents.begin(), contents.end(), binaryByte)) {
    r.notCaptions = QStringLiteral("not text");
  } else if (!contents.isEmpty() && !contents.contains('\n')) {
    r.notCaptions = QStringLiteral("no line end");
  }
  if (!r.notCaptions.isEmpty()) {
    r.captions = QStringList(kRows, QString());
    return r;
  }
  r.captions = parseCaptions(contents);
  // Lines past the 21st that hold anything would not survive a save.
  qsizetype at = 0;
  for (int line = 0; line <= kRows && at >= 0; ++line) {
    at = contents.indexOf('\n', at);
    if (at >= 0) ++at;
  }
  if (at >= 0 && std::any_of(contents.begin() + at, contents.end(), [](char c) { return c != '\r' && c != '\n'; })) {
    r.notCaptions = QStringLiteral("more than 21 lines");
  }
  return r;
}

#ifdef Q_OS_WIN

bool readRegularFile(const QString& path, qsizetype maxBytes, QByteArray* data, QString* error) {
  if (!QFileInfo(path).isFile()) {
    *error = QStringLiteral("not a regular file");
    return false;
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    *error = f.errorString();
    return false;
  }
  *data = f.read(maxBytes + 1);
  return true;
}

#else

bool readRegularFile(const QString& path, qsizetype maxBytes, QByteArray* data, QString* error) {
  // Non-blocking, so that opening a pipe cannot wait for a writer; the type
  // is checked on the open descriptor, so nothing can be swapped in between.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = QStringLiteral("not a regular file");
    return false;
  }
  data->resize(maxBytes + 1);
  qsizetype got = 0;
  while (got < data->size()) {
    const ssize_t n = ::read(fd, data->data() + got, static_cast<size_t>(data->size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = QString::fromLocal8Bit(std::strerror(errno));
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += n;
  }
  ::close(fd);
  data->truncate(got);
  return true;
}

#endif

bool isOtherThanRegularFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && !info.isFile();
}

QString backupPathFor(const QString& path) {
  QString candidate = path + QStringLiteral(".bak");
  for (int n = 2; QFileInfo::exists(candidate) && n < 1000; ++n) candidate = path + QStringLiteral(".bak.%1").arg(n);
  return candidate;
}

}  // namespace rvsim
