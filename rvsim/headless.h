#pragma once
// RVSIM without a window, for gateway test rigs: commands come in one a
// line, and everything goes out as one JSON object a line. Events tell of
// each connection change and each write of positions; every command gets
// one answer (or an object with "error").
//
//   set <drive> <request>    commit a request, 0..254      {"reply":"set",...}
//   get                      positions, requests, captions  {"reply":"get",...}
//   caption <drive> <text>   name a row (saved to the captions file)
//   stats                    the traffic counters
//   fault delay MS | silent | drop | exception CODE | refuse-writes | off
//                            PLC-side faults (fault alone: those set)
//   quit                     ends the program
//
// Drives are the letters A to R, T and U (S is never used).

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>

#include "modbus_server.h"

namespace rvsim {

class Simulator;

class HeadlessSession : public QObject {
  Q_OBJECT
 public:
  // Receives each line (without its line end); urgent lines are to go out
  // at once, the others (position events) may wait a moment to be batched.
  using Sink = std::function<void(QByteArrayView line, bool urgent)>;

  HeadlessSession(Simulator& simulator, Sink sink, QObject* parent = nullptr);

  // Answers one command line.
  void handleCommand(const QString& line);
  // A line over the limit: one error, and nothing of it is run.
  void reportLineTooLong(QByteArrayView head);
  // The event that says the port is bound and served.
  void announceListening();
  // An error event (the port cannot be bound and the like).
  void reportFailure(const QString& text);
  // Where stats finds the count of output lines dropped for a reader that
  // does not keep up.
  void setOutputDropCount(std::function<quint64()> count) { outputDropped_ = std::move(count); }

 signals:
  void quitRequested();

 private:
  void writeEvent(const char* name, const QString& key = {}, const QString& value = {});
  void positionsEvent();
  void answerSet(const QStringList& words);
  void answerGet();
  void answerCaption(const QString& line);
  void answerStats();
  void answerFault(const QStringList& words);
  void error(const QString& message, const QString& line);

  Simulator& simulator_;
  Sink sink_;
  std::function<quint64()> outputDropped_;
  bool quitting_ = false;
};

// The time stamp of events: UTC in ISO 8601 with milliseconds
// ("2024-05-01T12:00:00.123Z", 24 characters).
QByteArray eventTime(qint64 msSinceEpoch);
inline constexpr int kEventTimeSize = 24;
// The same written to out, which must hold kEventTimeSize characters.
void writeEventTime(qint64 msSinceEpoch, char* out);

const char* connectionEndName(ConnectionEnd how);

}  // namespace rvsim
