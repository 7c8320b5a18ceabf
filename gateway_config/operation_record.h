#pragma once
// Keeps what an operation did: the module history entry and the service
// log line, from a session's outcome. XAVE, XAV_Cfg and xav-config all
// record through this, so the three keep the same history. Widget-free.
//
// What is kept:
//   read        history entry when it succeeded; log line whenever the
//               module was asked (not for a bad address or a busy runner)
//   save, restore   history entry and log line once something was sent or
//               an upload was tried
//   verify      history entry and log line whenever a fetch was tried
//   set-ip      history entry (fs_tcp.ini before and after) and log line
//               once the module was asked
//   scan, discover  nothing: they touch no module
// A folder that cannot be written never stops anything: problem() is
// emitted once (the window's status line shows it) until a write succeeds.

#include <QObject>
#include <QString>
#include <optional>

#include "history.h"
#include "service_log.h"
#include "sessions.h"

namespace gw {

// The history operation an outcome's operation is kept as; nothing for a
// scan or a discovery.
std::optional<HistoryOperation> historyOperationOf(const QString& sessionOperation);

class OperationRecorder : public QObject {
  Q_OBJECT
 public:
  // tool: "XAVE", "XAV_Cfg", "xav-config". folder: the data folder.
  explicit OperationRecorder(const QString& tool, const QString& folder = dataFolder(), QObject* parent = nullptr);

  HistoryStore& history() { return history_; }
  ServiceLog& log() { return log_; }
  const QString& tool() const { return tool_; }

  struct Recorded {
    QString historyId;  // empty when no entry was kept
    bool logged = false;
  };
  // Keeps the outcome as described above. Set outcome.bridgeName or
  // hardwareAddress first when the caller knows them.
  Recorded record(const SessionOutcome& outcome);

  // XAV_Cfg's serial record: one log line ("serial-record").
  bool recordSerialRecord(const QString& comPort, const QString& protocol, const QString& plcAddress,
                          const QString& title, bool succeeded, const QString& reason);
  // XAV_Cfg's serial Verify: one log line ("serial-verify").
  bool recordSerialVerify(const QString& comPort, bool succeeded, const QString& reason);

 signals:
  // Once per run of failures, from the history or the log: one unwritable
  // folder is one message, not one per file per operation.
  void problem(const QString& message);

 private:
  void tell(const QString& message);
  bool logSerial(ServiceLogLine line);

  QString tool_;
  HistoryStore history_;
  ServiceLog log_;
  bool told_ = false;
};

}  // namespace gw
