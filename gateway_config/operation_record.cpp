#include "operation_record.h"

namespace gw {

std::optional<HistoryOperation> historyOperationOf(const QString& op) {
  if (op == QLatin1String("read")) return HistoryOperation::ReadBack;
  if (op == QLatin1String("save")) return HistoryOperation::Save;
  if (op == QLatin1String("verify")) return HistoryOperation::Verify;
  if (op == QLatin1String("restore")) return HistoryOperation::Restore;
  if (op == QLatin1String("set-ip")) return HistoryOperation::IpChange;
  return std::nullopt;
}

OperationRecorder::OperationRecorder(const QString& tool, const QString& folder, QObject* parent)
    : QObject(parent), tool_(tool), history_(folder), log_(folder) {
  connect(&history_, &HistoryStore::storageProblem, this, &OperationRecorder::tell);
  connect(&log_, &ServiceLog::problem, this, &OperationRecorder::tell);
}

void OperationRecorder::tell(const QString& message) {
  if (told_) return;
  told_ = true;
  emit problem(message);
}

namespace {

// Failures that end an operation before any module was asked.
bool touchedNoModule(SessionFailure f) {
  return f == SessionFailure::NotAnAddress || f == SessionFailure::Busy || f == SessionFailure::InvalidEntries ||
         f == SessionFailure::WriteFailed;
}

}  // namespace

OperationRecorder::Recorded OperationRecorder::record(const SessionOutcome& o) {
  Recorded done;
  const auto op = historyOperationOf(o.operation);
  if (!op || touchedNoModule(o.failure)) return done;
  // A save or restore that never got to the loader sent nothing.
  const bool sendsConfig = *op == HistoryOperation::Save || *op == HistoryOperation::Restore;
  if (sendsConfig && o.configSent.isEmpty()) return done;

  const QByteArray& config = sendsConfig ? o.configSent : o.configRead;
  bool keep = true;
  bool kept = true;
  switch (*op) {
    case HistoryOperation::ReadBack: keep = o.succeeded() && !config.isEmpty(); break;
    case HistoryOperation::IpChange: keep = !o.networkSettingsBefore.isEmpty(); break;
    default: break;
  }
  const QString summary = o.summaryLine.isEmpty() ? configLines(config).value(0) : o.summaryLine;
  QString outcomeText = o.message;
  if (outcomeText.isEmpty()) outcomeText = o.succeeded() ? QStringLiteral("Done.") : failureName(o.failure);

  if (keep) {
    HistoryEntry e;
    e.time = o.finishedAt;
    e.tool = tool_;
    e.operation = *op;
    e.moduleAddress = o.moduleAddress;
    e.bridgeName = o.bridgeName;
    e.hardwareAddress = o.hardwareAddress;
    e.title = o.title;
    e.summaryLine = summary;
    e.succeeded = o.succeeded();
    e.outcome = outcomeText;
    e.config = config;
    e.networkBefore = o.networkSettingsBefore;
    e.networkAfter = o.networkSettingsAfter;
    const RecordResult r = history_.record(e);
    if (r.stored) done.historyId = r.id;
    kept = r.stored;
  }

  ServiceLogLine line;
  line.time = o.finishedAt;
  line.tool = tool_;
  line.operation = operationName(*op);
  line.moduleAddress = o.moduleAddress;
  line.name = !o.bridgeName.isEmpty() ? o.bridgeName : o.hardwareAddress;
  line.protocol = protocolNameOfSummary(summary);
  line.plcAddress = summary.section(u',', 1, 1).trimmed();
  line.title = o.title;
  line.succeeded = o.succeeded();
  line.reason = o.succeeded() ? (o.operation == QLatin1String("set-ip") ? o.newAddress : QString()) : outcomeText;
  done.logged = log_.append(line);
  if (kept && done.logged) told_ = false;  // a later failure is news again
  return done;
}

bool OperationRecorder::recordSerialRecord(const QString& comPort, const QString& protocol,
                                           const QString& plcAddress, const QString& title, bool succeeded,
                                           const QString& reason) {
  ServiceLogLine line;
  line.operation = QStringLiteral("serial-record");
  line.comPort = comPort;
  line.protocol = protocol;
  line.plcAddress = plcAddress;
  line.title = title;
  line.succeeded = succeeded;
  line.reason = reason;
  return logSerial(line);
}

bool OperationRecorder::recordSerialVerify(const QString& comPort, bool succeeded, const QString& reason) {
  ServiceLogLine line;
  line.operation = QStringLiteral("serial-verify");
  line.comPort = comPort;
  line.succeeded = succeeded;
  line.reason = reason;
  return logSerial(line);
}

// The serial side keeps no history (a record is not a Config.csv): its lines
// go to the service log alone.
bool OperationRecorder::logSerial(ServiceLogLine line) {
  line.tool = tool_;
  const bool logged = log_.append(line);
  if (logged) told_ = false;
  return logged;
}

}  // namespace gw
