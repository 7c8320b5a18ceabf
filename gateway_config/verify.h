#pragma once
// Read-after-write check of an Ethernet save: the module's Config.csv is
// fetched again with the read-back's own fetch command and compared byte for
// byte with the file that was loaded. Also the status line a window shows
// after a save. Widget-free.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTime>

#include "utility_runner.h"

namespace gw {

struct VerifyResult {
  enum class Kind {
    Identical,    // the module holds exactly the bytes sent
    Differs,      // lineNumber, sentLine and moduleLine name the first difference
    FetchFailed,  // no file came back (utility not started, failed, or left no Config.csv); detail says why
    Cancelled,    // the fetch was cancelled or timed out
  };
  Kind kind = Kind::FetchFailed;
  QString moduleAddress;  // normal form
  int lineNumber = 0;     // first differing line, from 1
  QString sentLine;       // that line as sent, without its line end (8-bit text)
  QString moduleLine;     // as the module holds it; "(end of file)" texts are not invented: empty when missing
  bool sentLineMissing = false;    // the sent file ended before lineNumber
  bool moduleLineMissing = false;  // the module's file ended before lineNumber
  QString detail;

  bool identical() const { return kind == Kind::Identical; }
  // "Module holds the configuration sent", "Line 4 differs: sent "...",
  // module holds "..."", "The module's Config.csv could not be fetched: ...".
  QString message() const;
};

// Compares what was sent with what the module returned (CR LF or LF lines).
// Only kind and the line fields are set.
VerifyResult compareConfigs(const QByteArray& sent, const QByteArray& fetched);

// Fetches moduleAddress's Config.csv into workDir on the runner, compares it
// with sent and deletes the fetched copy again (as after a save);
// finished() once the run has ended.
class ConfigVerifier : public QObject {
  Q_OBJECT
 public:
  explicit ConfigVerifier(UtilityRunner& runner, QObject* parent = nullptr);
  // False when the runner is busy or the address is unusable (then
  // finished() does not follow).
  bool start(const QString& workDir, const QString& moduleAddress, const QByteArray& sent);

 signals:
  void finished(const gw::VerifyResult& result);

 private:
  void onRunFinished(const RunResult& run);

  UtilityRunner& runner_;
  bool active_ = false;
  QString workDir_;
  QString address_;
  QByteArray sent_;
};

// The window's status line after an Ethernet save at the time at:
// "Config.csv loaded to 192.168.1.20 at 15:02:11" when every line of the
// upload succeeded; otherwise "Config.csv NOT loaded to 192.168.1.20 at
// 15:02:11: " + what went wrong (upload.describe()).
QString uploadStatusLine(const QString& fileName, const QString& moduleAddress, const RunResult& upload,
                         const QTime& at);

}  // namespace gw

Q_DECLARE_METATYPE(gw::VerifyResult)
