#include "service_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "commands.h"
#include "files.h"

namespace gw {

namespace {

bool needsQuotes(const QString& f) {
  if (f.isEmpty()) return false;
  return f.contains(u',') || f.contains(u'"') || f.contains(u'\r') || f.contains(u'\n') || f.front().isSpace() ||
         f.back().isSpace();
}

// Appends data and closes the file; a failed write is cut back to the old
// length so the next line does not glue onto half of this one.
bool appendWhole(const QString& path, const QByteArray& data, QString* error) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::ReadWrite | QIODevice::Append)) {
    *error = f.errorString();
    return false;
  }
  const qint64 before = f.size();
  if (f.write(data) != data.size() || !f.flush()) {
    *error = f.errorString();
    f.resize(before);
    return false;
  }
  f.close();
  if (f.error() != QFileDevice::NoError) {
    *error = f.errorString();
    return false;
  }
  return true;
}

}  // namespace

QStringList ServiceLogLine::fields() const {
  return {isoTimeWithOffset(time), tool,       operation, moduleAddress, name, comPort, protocol, plcAddress,
          title,                   succeeded ? QStringLiteral("ok") : QStringLiteral("failed"), reason};
}

ServiceLogLine ServiceLogLine::fromFields(const QStringList& f) {
  ServiceLogLine l;
  l.time = QDateTime::fromString(f.value(0), Qt::ISODate);
  l.tool = f.value(1);
  l.operation = f.value(2);
  l.moduleAddress = f.value(3);
  l.name = f.value(4);
  l.comPort = f.value(5);
  l.protocol = f.value(6);
  l.plcAddress = f.value(7);
  l.title = f.value(8);
  l.succeeded = f.value(9) == QLatin1String("ok");
  l.reason = f.value(10);
  return l;
}

QByteArray csvRecord(const QStringList& fields) {
  QStringList out;
  for (const QString& f : fields) {
    if (!needsQuotes(f)) {
      out << f;
      continue;
    }
    QString q = f;
    q.replace(u'"', QStringLiteral("\"\""));
    out << u'"' + q + u'"';
  }
  return out.join(u',').toUtf8() + "\r\n";
}

QList<QStringList> parseCsv(const QByteArray& bytes) {
  const QString text = QString::fromUtf8(bytes);
  QList<QStringList> records;
  QStringList record;
  QString field;
  bool quoted = false, any = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (quoted) {
      if (c == u'"') {
        if (i + 1 < text.size() && text.at(i + 1) == u'"') field += u'"', ++i;
        else quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    if (c == u'"') {
      quoted = true;
      any = true;
    } else if (c == u',') {
      record << field;
      field.clear();
      any = true;
    } else if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
      if (any || !field.isEmpty()) records << (record << field);
      record.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any || !field.isEmpty()) records << (record << field);
  return records;
}

QDateTime parseSinceDate(const QString& text) {
  const QString t = text.trimmed();
  const QDate day = QDate::fromString(t, Qt::ISODate);
  if (day.isValid() && t.size() == 10) return day.startOfDay();
  return QDateTime::fromString(t, Qt::ISODate);
}

ServiceLog::ServiceLog(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {}

QString ServiceLog::path() const { return folder_ + QStringLiteral("/service-log.csv"); }

QStringList ServiceLog::columns() {
  return {QStringLiteral("time"),     QStringLiteral("tool"),        QStringLiteral("operation"),
          QStringLiteral("module"),   QStringLiteral("name"),        QStringLiteral("com_port"),
          QStringLiteral("protocol"), QStringLiteral("plc_address"), QStringLiteral("title"),
          QStringLiteral("outcome"),  QStringLiteral("reason")};
}

bool ServiceLog::append(ServiceLogLine line, QString* error) {
  if (!line.time.isValid()) line.time = clock_ ? clock_() : QDateTime::currentDateTime();
  line.moduleAddress = moduleAddressKey(line.moduleAddress);
  QByteArray data;
  if (QFileInfo(path()).size() == 0) data = csvRecord(columns());
  data += csvRecord(line.fields());
  QString why;
  if (!appendWhole(path(), data, &why)) {
    const QString message = QStringLiteral("The service log %1 could not be written (%2); the operation goes on.")
                                .arg(QDir::toNativeSeparators(path()), why);
    if (error) *error = message;
    if (!problemTold_) emit problem(message);
    problemTold_ = true;
    return false;
  }
  problemTold_ = false;
  return true;
}

QList<ServiceLogLine> ServiceLog::read(const ServiceLogFilter& filter, QString* error) const {
  QList<ServiceLogLine> out;
  if (!QFile::exists(path())) return out;
  QByteArray data;
  QString why;
  if (!xav::readWholeFile(path(), &data, &why)) {
    if (error) *error = why;
    return out;
  }
  const QString key = filter.moduleAddress.trimmed().isEmpty() ? QString() : moduleAddressKey(filter.moduleAddress);
  const QList<QStringList> records = parseCsv(data);
  for (qsizetype i = 0; i < records.size(); ++i) {
    if (i == 0 && records[i] == columns()) continue;
    const ServiceLogLine l = ServiceLogLine::fromFields(records[i]);
    if (filter.since.isValid() && (!l.time.isValid() || l.time < filter.since)) continue;
    if (!key.isEmpty() && moduleAddressKey(l.moduleAddress) != key) continue;
    out << l;
  }
  return out;
}

}  // namespace gw
