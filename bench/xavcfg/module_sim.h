#pragma once
// The behaviour of a serial XAV module on its configuration line, apart
// from the port: what it answers to the wake-up and query, how it takes a
// record, and the end marker.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace xav::bench {

struct ModuleSimOptions {
  // The module's settings: the 44 characters after the record's "@".
  QByteArray settings = QByteArrayLiteral("1000000000000") + QByteArray(31, ' ');
  bool silent = false;
  int answerAttempt = 0;  // answer only this query (1-based); 0 = every one
  int lateMs = 0;         // wait this long before answering
  int shortLength = -1;   // answer only this many characters; -1 = whole
  int ignoreRecord = 0;   // keep the settings at this record (1-based); 0 = take every one
};

// Everything the module should do after some bytes came in.
struct SimActions {
  QByteArray reply;   // bytes to send (empty: nothing)
  int delayMs = 0;    // before sending the reply
  QStringList log;    // lines for stdout
};

class ModuleSim {
 public:
  explicit ModuleSim(ModuleSimOptions options) : opt_(std::move(options)) {}
  // Feeds received bytes; returns what to do.
  SimActions receive(const QByteArray& bytes);
  QByteArray settings() const { return opt_.settings; }
  int queries() const { return queries_; }
  int records() const { return records_; }

 private:
  ModuleSimOptions opt_;
  QByteArray buffer_;
  bool awake_ = false;
  int queries_ = 0;
  int records_ = 0;
};

}  // namespace xav::bench
