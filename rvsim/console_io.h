#pragma once
// Standard input and output of the headless mode, inside the event loop:
// command lines are read as they come, and output lines are written without
// ever holding up the server. A reader of the output that stops reading
// makes position events wait, then be dropped (and counted), while the
// gateway is still answered at once.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace rvsim {

class LineWriter : public QObject {
  Q_OBJECT
 public:
  // Position events wait at most this long, so a fast gateway costs one
  // write to the output per interval rather than one per frame.
  static constexpr int kBatchMs = 20;
  // Output held for a reader that does not keep up; beyond it the oldest
  // lines are dropped (down to three quarters, so dropping stays cheap) and
  // counted, and a "dropped" event says how many once the output flows.
  static constexpr qsizetype kMaxHeldBytes = 1 << 20;

  explicit LineWriter(int descriptor, QObject* parent = nullptr);
  ~LineWriter() override;
  // Adds a line (a line end is added); urgent lines are written at once.
  void write(QByteArrayView line, bool urgent);
  // Writes what is held, as far as the output takes it now.
  void flush();
  // Writes everything, waiting for the output if need be (at the end).
  void flushAll(int timeoutMs);
  qsizetype heldBytes() const { return held_.size(); }
  // Lines dropped since the start.
  quint64 droppedLines() const { return droppedTotal_; }

 private:
  void dropOldest();
  void flushed(qsizetype done);

  int descriptor_;
  QByteArray held_;
  QTimer* batchTimer_;
  quint64 droppedPositions_ = 0;  // not yet told
  quint64 droppedOther_ = 0;
  quint64 droppedTotal_ = 0;
  bool partialHead_ = false;  // the first line held is partly written already
  bool broken_ = false;
};

// Cuts a byte stream into command lines (LF ends a line; a CR before it
// goes with the blanks). A line longer than kMaxLine is no command: it is
// reported once, as soon as it is known, and everything up to its line end
// is dropped, so no tail of it can run as a command of its own.
class LineSplitter {
 public:
  static constexpr qsizetype kMaxLine = 64 * 1024;
  using LineSink = std::function<void(QByteArrayView line)>;
  // Receives the first bytes of the overlong line.
  using TooLongSink = std::function<void(QByteArrayView head)>;

  // Hands out every line this data completes.
  void feed(QByteArrayView data, const LineSink& line, const TooLongSink& tooLong);
  // The end of the input: a last line without its end is handed out too.
  void finish(const LineSink& line);
  qsizetype pendingBytes() const { return pending_.size(); }

 private:
  QByteArray pending_;
  bool discarding_ = false;  // inside an overlong line, up to its end
};

class LineReader : public QObject {
  Q_OBJECT
 public:
  static constexpr qsizetype kMaxLine = LineSplitter::kMaxLine;
  explicit LineReader(int descriptor, QObject* parent = nullptr);
  ~LineReader() override;

 signals:
  void lineRead(const QString& line);
  // A line over kMaxLine; it is dropped up to its end (head: its first bytes).
  void lineTooLong(const QByteArray& head);
  // The input has ended (closed, or cannot be read).
  void finished();

 private:
  void onReadable();
  int descriptor_;
  QSocketNotifier* notifier_ = nullptr;
  LineSplitter splitter_;
  bool done_ = false;
};

}  // namespace rvsim
