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

class QSocketNotifier;
class QTimer;

namespace rvsim {

class LineWriter : public QObject {
  Q_OBJECT
 public:
  // Position events wait at most this long, so a fast gateway costs one
  // write to the output per interval rather than one per frame.
  static constexpr int kBatchMs = 20;
  // Output held for a reader that does not keep up; beyond it events are dropped.
  static constexpr qsizetype kMaxHeldBytes = 1 << 20;

  explicit LineWriter(int descriptor, QObject* parent = nullptr);
  ~LineWriter() override;
  // Adds a line (a line end is added); urgent lines are written at once.
  void write(QByteArrayView line, bool urgent);
  // Writes what is held, as far as the output takes it now.
  void flush();
  // Writes everything, waiting for the output if need be (at the end).
  void flushAll(int timeoutMs);

 private:
  int descriptor_;
  QByteArray held_;
  QTimer* batchTimer_;
  quint64 dropped_ = 0;
  bool broken_ = false;
};

class LineReader : public QObject {
  Q_OBJECT
 public:
  static constexpr qsizetype kMaxLine = 64 * 1024;
  explicit LineReader(int descriptor, QObject* parent = nullptr);
  ~LineReader() override;

 signals:
  void lineRead(const QString& line);
  // The input has ended (closed, or cannot be read).
  void finished();

 private:
  void onReadable();
  void takeLines();
  int descriptor_;
  QSocketNotifier* notifier_ = nullptr;
  QByteArray pending_;
  bool done_ = false;
};

}  // namespace rvsim
