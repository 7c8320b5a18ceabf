#pragma once
// The service log: one line for every operation that touches a module, in
// dataFolder() + "/service-log.csv" (history.h says where that is). A
// technician opens it in a spreadsheet to prove what was done where and
// when. Widget-free.
//
// The file is UTF-8 CSV with CR LF line ends and a heading line:
//   time,tool,operation,module,name,com_port,protocol,plc_address,title,outcome,reason
// time is ISO 8601 with the UTC offset; outcome is "ok" or "failed"; a
// field holding a comma, a double quote, a line end or outer blanks is
// quoted, double quotes doubled. Each line is appended and the file closed
// at once; a write that fails part-way is cut back, so the file never holds
// half a line. A line that cannot be written is told once (problem()),
// never stops the operation.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "history.h"

namespace gw {

struct ServiceLogLine {
  QDateTime time;  // empty: now
  QString tool;
  QString operation;  // "read-back", "save", "verify", "restore", "ip-change", "serial-record", "serial-verify"
  QString moduleAddress;
  QString name;     // bridge name or hardware address, when known
  QString comPort;  // "COM 5" for the serial line
  QString protocol;
  QString plcAddress;
  QString title;
  bool succeeded = true;
  QString reason;  // why it failed, or what was found ("Line 4 differs ...")

  QStringList fields() const;  // in column order
  static ServiceLogLine fromFields(const QStringList& fields);
};

// One CSV record of the fields (CR LF at the end).
QByteArray csvRecord(const QStringList& fields);
// All records of a CSV text; quoted fields may hold line ends.
QList<QStringList> parseCsv(const QByteArray& text);

struct ServiceLogFilter {
  QDateTime since;      // invalid: no limit
  QString moduleAddress;  // empty: every module
};

// "2026-12-01" (start of that day, local time) or an ISO 8601 date and
// time; invalid when it is neither.
QDateTime parseSinceDate(const QString& text);

class ServiceLog : public QObject {
  Q_OBJECT
 public:
  explicit ServiceLog(const QString& folder = dataFolder(), QObject* parent = nullptr);
  QString path() const;

  static QStringList columns();

  // Appends the line; false (and *error) when it could not be written.
  bool append(ServiceLogLine line, QString* error = nullptr);

  // The lines that pass the filter, oldest first. A missing file has none.
  QList<ServiceLogLine> read(const ServiceLogFilter& filter = {}, QString* error = nullptr) const;

  void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

 signals:
  // Once, until a line is written again.
  void problem(const QString& message);

 private:
  QString folder_;
  std::function<QDateTime()> clock_;
  bool problemTold_ = false;
};

}  // namespace gw
