#include "console_io.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_WIN
#include <io.h>
#include <iostream>
#include <string>
#include <thread>
#else
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace rvsim {

namespace {

#ifdef Q_OS_WIN
qint64 writeSome(int fd, const char* data, qint64 size, int) { return _write(fd, data, static_cast<unsigned>(size)); }
#else
// Writes what the output takes without blocking longer than waitMs; the
// count written, 0 when it takes nothing now, -1 when it is gone.
qint64 writeSome(int fd, const char* data, qint64 size, int waitMs) {
  pollfd p{fd, POLLOUT, 0};
  const int ready = ::poll(&p, 1, waitMs);
  if (ready == 0) return 0;
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (p.revents & (POLLERR | POLLNVAL)) return -1;
  // A pipe that says it is writable takes at least PIPE_BUF bytes at once.
  const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min<qint64>(size, PIPE_BUF)));
  if (n >= 0) return n;
  return errno == EAGAIN || errno == EINTR ? 0 : -1;
}
#endif

}  // namespace

LineWriter::LineWriter(int descriptor, QObject* parent)
    : QObject(parent), descriptor_(descriptor), batchTimer_(new QTimer(this)) {
  held_.reserve(64 * 1024);
  batchTimer_->setSingleShot(true);
  batchTimer_->setInterval(kBatchMs);
  connect(batchTimer_, &QTimer::timeout, this, &LineWriter::flush);
}

LineWriter::~LineWriter() { flushAll(1000); }

void LineWriter::write(QByteArrayView line, bool urgent) {
  if (broken_) return;
  if (!urgent && held_.size() > kMaxHeldBytes) {
    ++dropped_;
    return;
  }
  if (dropped_ > 0 && held_.isEmpty()) {
    held_ += R"({"event":"dropped","positions_events":)" + QByteArray::number(dropped_) + "}\n";
    dropped_ = 0;
  }
  held_.append(line).append('\n');
  if (urgent) {
    flush();
  } else if (!batchTimer_->isActive()) {
    batchTimer_->start();
  }
}

void LineWriter::flush() {
  qsizetype done = 0;
  while (done < held_.size()) {
    const qint64 n = writeSome(descriptor_, held_.constData() + done, held_.size() - done, 0);
    if (n < 0) {
      broken_ = true;  // nobody reads the output any more
      held_.clear();
      return;
    }
    if (n == 0) break;
    done += n;
  }
  if (done == held_.size()) {
    held_.truncate(0);  // keeps the buffer
  } else {
    held_.remove(0, done);
    if (!batchTimer_->isActive()) batchTimer_->start();
  }
}

void LineWriter::flushAll(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  qsizetype done = 0;
  while (!broken_ && done < held_.size() && !deadline.hasExpired()) {
    const qint64 n = writeSome(descriptor_, held_.constData() + done, held_.size() - done,
                               static_cast<int>(deadline.remainingTime()));
    if (n < 0) break;
    done += n;
  }
  held_.clear();
}

#ifdef Q_OS_WIN

// Console input cannot be watched by the event loop here: a thread reads
// the lines and hands each to the loop.
LineReader::LineReader(int descriptor, QObject* parent) : QObject(parent), descriptor_(descriptor) {
  std::thread([this] {
    std::string line;
    while (std::getline(std::cin, line)) {
      QMetaObject::invokeMethod(this, [this, l = QString::fromLocal8Bit(line)] { emit lineRead(l.trimmed()); },
                                Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, [this] { emit finished(); }, Qt::QueuedConnection);
  }).detach();
}

LineReader::~LineReader() = default;
void LineReader::onReadable() {}
void LineReader::takeLines() {}

#else

LineReader::LineReader(int descriptor, QObject* parent)
    : QObject(parent), descriptor_(descriptor), notifier_(new QSocketNotifier(descriptor, QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &LineReader::onReadable);
}

LineReader::~LineReader() = default;

void LineReader::onReadable() {
  if (done_) return;
  char buffer[4096];
  const ssize_t n = ::read(descriptor_, buffer, sizeof buffer);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    done_ = true;
    notifier_->setEnabled(false);
    if (!pending_.isEmpty()) emit lineRead(QString::fromUtf8(pending_).trimmed());
    pending_.clear();
    emit finished();
    return;
  }
  pending_.append(buffer, n);
  takeLines();
}

void LineReader::takeLines() {
  qsizetype start = 0;
  for (qsizetype end; (end = pending_.indexOf('\n', start)) >= 0; start = end + 1) {
    emit lineRead(QString::fromUtf8(pending_.constData() + start, end - start).trimmed());
    if (done_) return;
  }
  pending_.remove(0, start);
  // A line without end that grows beyond reason is not a command.
  if (pending_.size() > kMaxLine) {
    pending_.clear();
    emit lineRead(QStringLiteral("(line too long)"));
  }
}

#endif

}  // namespace rvsim
