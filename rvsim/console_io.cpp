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
  if ((droppedPositions_ > 0 || droppedOther_ > 0) && held_.isEmpty()) {
    QByteArray told = R"({"event":"dropped",)";
    if (droppedOther_ > 0) told += R"("other_lines":)" + QByteArray::number(droppedOther_) + ',';
    told += R"("positions_events":)" + QByteArray::number(droppedPositions_) + "}\n";
    held_ += told;
    droppedPositions_ = droppedOther_ = 0;
  }
  held_.append(line).append('\n');
  if (held_.size() > kMaxHeldBytes) dropOldest();
  if (urgent) {
    flush();
  } else if (!batchTimer_->isActive()) {
    batchTimer_->start();
  }
}

// Nobody reads: the oldest whole lines go, never the rest of one begun.
void LineWriter::dropOldest() {
  qsizetype start = 0;
  if (partialHead_) {
    start = held_.indexOf('\n') + 1;
    if (start <= 0) return;
  }
  const qsizetype excess = held_.size() - kMaxHeldBytes * 3 / 4;
  if (start + excess >= held_.size()) return;
  const qsizetype cut = held_.indexOf('\n', start + excess) + 1;
  if (cut <= start) return;
  const QByteArrayView gone = QByteArrayView(held_).sliced(start, cut - start);
  const auto lines = static_cast<quint64>(gone.count('\n'));
  const auto positions = static_cast<quint64>(gone.count(QByteArrayView(R"({"event":"positions")")));
  droppedPositions_ += positions;
  droppedOther_ += lines - positions;
  droppedTotal_ += lines;
  held_.remove(start, cut - start);
}

void LineWriter::flushed(qsizetype done) {
  if (done == 0) return;
  partialHead_ = held_.at(done - 1) != '\n';
  if (done == held_.size()) {
    held_.truncate(0);  // keeps the buffer
  } else {
    held_.remove(0, done);
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
  flushed(done);
  if (!held_.isEmpty() && !batchTimer_->isActive()) batchTimer_->start();
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

void LineSplitter::feed(QByteArrayView data, const LineSink& line, const TooLongSink& tooLong) {
  qsizetype start = 0;
  while (start < data.size()) {
    const qsizetype end = data.indexOf('\n', start);
    const QByteArrayView piece = data.sliced(start, (end < 0 ? data.size() : end) - start);
    if (!discarding_) {
      if (pending_.size() + piece.size() > kMaxLine) {
        QByteArray head = pending_.left(40);
        head += piece.first(std::min<qsizetype>(piece.size(), 40 - head.size()));
        pending_.clear();
        discarding_ = true;
        tooLong(head);
      } else {
        pending_.append(piece);
      }
    }
    if (end < 0) return;
    if (!discarding_) {
      const QByteArray whole = std::exchange(pending_, QByteArray());
      line(whole);
    }
    discarding_ = false;
    start = end + 1;
  }
}

void LineSplitter::finish(const LineSink& line) {
  if (!discarding_ && !pending_.isEmpty()) line(pending_);
  pending_.clear();
  discarding_ = false;
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
  auto line = [this](QByteArrayView l) { emit lineRead(QString::fromUtf8(l).trimmed()); };
  if (n <= 0) {
    done_ = true;
    notifier_->setEnabled(false);
    splitter_.finish(line);
    emit finished();
    return;
  }
  // A quit ends the reading: lines behind it are not served.
  splitter_.feed(QByteArrayView(buffer, n), [&](QByteArrayView l) { if (!done_) line(l); },
                 [this](QByteArrayView head) { emit lineTooLong(head.toByteArray()); });
}

#endif

}  // namespace rvsim
