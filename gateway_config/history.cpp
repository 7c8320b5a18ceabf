#include "history.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

#include "commands.h"
#include "files.h"
#include "readback.h"

namespace gw {

QString dataFolder() {
  const QString own = qEnvironmentVariable("XAV_DATA_HOME");
  if (!own.isEmpty()) return own;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/xav");
}

namespace {

struct OperationName {
  HistoryOperation op;
  const char* name;
};
constexpr OperationName kOperationNames[] = {
    {HistoryOperation::ReadBack, "read-back"}, {HistoryOperation::Save, "save"},
    {HistoryOperation::Verify, "verify"},      {HistoryOperation::Restore, "restore"},
    {HistoryOperation::IpChange, "ip-change"},
};

bool isEntryId(const QString& id) {
  static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{4,16}$"));
  return hex.match(id).hasMatch();
}

QString base64(const QByteArray& b) { return QString::fromLatin1(b.toBase64()); }

bool fromBase64(const QJsonValue& v, QByteArray* out) {
  if (!v.isString()) return v.isUndefined();  // absent reads as empty
  const auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return false;
  *out = *decoded;
  return true;
}

}  // namespace

QString moduleAddressKey(const QString& address) {
  const QString normal = normalAddress(address.trimmed());
  return normal.isEmpty() ? address.trimmed() : normal;
}

QString operationName(HistoryOperation op) {
  for (const auto& n : kOperationNames)
    if (n.op == op) return QString::fromLatin1(n.name);
  return {};
}

std::optional<HistoryOperation> operationFromName(const QString& name) {
  for (const auto& n : kOperationNames)
    if (name == QLatin1String(n.name)) return n.op;
  return std::nullopt;
}

QString isoTimeWithOffset(const QDateTime& t, bool withMs) {
  const int offset = t.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return t.toString(withMs ? QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
         (offset < 0 ? u'-' : u'+') + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString protocolNameOfSummary(const QString& summaryLine) {
  if (!summaryLine.startsWith(QLatin1String("//")) || summaryLine.size() < 3) return {};
  switch (summaryLine.at(2).unicode()) {
    case '1': return QStringLiteral("EtherNet/IP PCCC");
    case '2': return QStringLiteral("EtherNet/IP CIP");
    case '3': return QStringLiteral("Modbus/TCP");
    default: return {};
  }
}

QString HistoryEntry::plcAddress() const { return summaryLine.section(u',', 1, 1).trimmed(); }

QString HistoryEntry::protocolAndPlc() const {
  const QString name = protocolNameOfSummary(summaryLine);
  if (name.isEmpty()) return {};
  const QString plc = plcAddress();
  return plc.isEmpty() ? name : name + u' ' + plc;
}

QByteArray HistoryEntry::toJson() const {
  QJsonObject o;
  o[QStringLiteral("format")] = 1;
  o[QStringLiteral("id")] = id;
  o[QStringLiteral("time")] = isoTimeWithOffset(time, true);
  o[QStringLiteral("tool")] = tool;
  o[QStringLiteral("operation")] = operationName(operation);
  o[QStringLiteral("module")] = moduleAddress;
  o[QStringLiteral("bridgeName")] = bridgeName;
  o[QStringLiteral("hardwareAddress")] = hardwareAddress;
  o[QStringLiteral("title")] = title;
  o[QStringLiteral("summary")] = summaryLine;
  o[QStringLiteral("succeeded")] = succeeded;
  o[QStringLiteral("outcome")] = outcome;
  o[QStringLiteral("config")] = base64(config);
  if (!networkBefore.isEmpty() || !networkAfter.isEmpty()) {
    o[QStringLiteral("networkBefore")] = base64(networkBefore);
    o[QStringLiteral("networkAfter")] = base64(networkAfter);
  }
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<HistoryEntry> HistoryEntry::fromJson(const QByteArray& json) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
  const QJsonObject o = doc.object();
  if (o.value(QStringLiteral("format")).toInt() != 1) return std::nullopt;
  HistoryEntry e;
  e.id = o.value(QStringLiteral("id")).toString();
  e.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
  const auto op = operationFromName(o.value(QStringLiteral("operation")).toString());
  if (!isEntryId(e.id) || !e.time.isValid() || !op) return std::nullopt;
  e.operation = *op;
  e.tool = o.value(QStringLiteral("tool")).toString();
  e.moduleAddress = o.value(QStringLiteral("module")).toString();
  e.bridgeName = o.value(QStringLiteral("bridgeName")).toString();
  e.hardwareAddress = o.value(QStringLiteral("hardwareAddress")).toString();
  e.title = o.value(QStringLiteral("title")).toString();
  e.summaryLine = o.value(QStringLiteral("summary")).toString();
  e.succeeded = o.value(QStringLiteral("succeeded")).toBool();
  e.outcome = o.value(QStringLiteral("outcome")).toString();
  if (!fromBase64(o.value(QStringLiteral("config")), &e.config) ||
      !fromBase64(o.value(QStringLiteral("networkBefore")), &e.networkBefore) ||
      !fromBase64(o.value(QStringLiteral("networkAfter")), &e.networkAfter))
    return std::nullopt;
  return e;
}

HistoryStore::HistoryStore(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {}

QString HistoryStore::historyFolder() const { return folder_ + QStringLiteral("/history"); }

RecordResult HistoryStore::record(HistoryEntry e) {
  RecordResult result;
  if (!e.time.isValid()) {
    e.time = clock_ ? clock_() : QDateTime::currentDateTime();
    // Entries stamped here keep their order even within one millisecond.
    if (last_.isValid() && e.time <= last_) e.time = last_.addMSecs(1);
    last_ = e.time;
  }
  e.time = e.time.toOffsetFromUtc(e.time.offsetFromUtc());
  e.moduleAddress = moduleAddressKey(e.moduleAddress);
  if (!e.config.isEmpty()) {
    if (e.summaryLine.isEmpty()) e.summaryLine = configLines(e.config).value(0);
    if (e.title.isEmpty()) {
      const CurrentConfig parsed = parseCurrentConfig(e.config);
      if (parsed.readable) e.title = parsed.title;
    }
  }
  // Short ids from the content; a clash with another entry takes the next.
  QDir dir(historyFolder());
  for (int salt = 0;; ++salt) {
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(isoTimeWithOffset(e.time, true).toUtf8());
    h.addData(e.moduleAddress.toUtf8());
    h.addData(operationName(e.operation).toUtf8());
    h.addData(e.config);
    h.addData(e.networkAfter);
    h.addData(QByteArray::number(salt));
    e.id = QString::fromLatin1(h.result().toHex().left(8));
    if (!QFile::exists(dir.filePath(e.id + QStringLiteral(".json")))) break;
  }
  QString error;
  if (!xav::writeWholeFile(dir.filePath(e.id + QStringLiteral(".json")), e.toJson(), &error)) {
    result.error = QStringLiteral("The module history could not be kept in %1 (%2); the operation goes on without it.")
                       .arg(QDir::toNativeSeparators(historyFolder()), error);
    if (!problemTold_) emit storageProblem(result.error);
    problemTold_ = true;
    return result;
  }
  problemTold_ = false;
  result.stored = true;
  result.id = e.id;
  return result;
}

QList<HistoryEntry> HistoryStore::entries(const QString& moduleAddress) const {
  QList<HistoryEntry> out;
  const QString key = moduleAddress.trimmed().isEmpty() ? QString() : moduleAddressKey(moduleAddress);
  QDir dir(historyFolder());
  for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
    QByteArray data;
    if (!xav::readWholeFile(dir.filePath(name), &data)) continue;
    auto e = HistoryEntry::fromJson(data);
    if (!e || e->id + QStringLiteral(".json") != name) continue;
    if (!key.isEmpty() && e->moduleAddress != key) continue;
    out << *e;
  }
  std::sort(out.begin(), out.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
    return a.time != b.time ? a.time > b.time : a.id < b.id;
  });
  return out;
}

std::optional<HistoryEntry> HistoryStore::entry(const QString& idOrPrefix) const {
  const QString id = idOrPrefix.trimmed().toLower();
  if (!isEntryId(id)) return std::nullopt;  // also keeps paths out of the name
  QDir dir(historyFolder());
  QString name = id + QStringLiteral(".json");
  if (!QFile::exists(dir.filePath(name))) {
    const QStringList matches = dir.entryList({id + QStringLiteral("*.json")}, QDir::Files);
    if (matches.size() != 1) return std::nullopt;
    name = matches.first();
  }
  QByteArray data;
  if (!xav::readWholeFile(dir.filePath(name), &data)) return std::nullopt;
  auto e = HistoryEntry::fromJson(data);
  if (!e || e->id + QStringLiteral(".json") != name) return std::nullopt;
  return e;
}

QStringList configLines(const QByteArray& file) {
  QString text = QString::fromLatin1(file);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = text.split(u'\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the final line end
  return lines;
}

namespace {

struct NumberedLine {
  QString text;
  int number;
};

bool isSectionHead(const QString& line) {
  static const QRegularExpression head(QStringLiteral("^[A-Za-z_]+$"));
  return head.match(line.trimmed()).hasMatch();
}

// Splits a file's lines into the key part (summary line, Nodes and
// Map_Descriptors sections) and the rest. Captions are never sections.
void partition(const QStringList& lines, QList<NumberedLine>* key, QList<NumberedLine>* rest) {
  QString section;
  bool inCaptions = false;
  for (int i = 0; i < lines.size(); ++i) {
    const QString& l = lines[i];
    if (l.startsWith(QLatin1String("//RVSIM_Captions"))) inCaptions = true;
    bool isKey = false;
    if (i == 0) {
      isKey = true;
    } else if (!inCaptions) {
      if (l.trimmed().isEmpty() || l.startsWith(QLatin1String("//"))) section.clear();
      else if (isSectionHead(l)) section = l.trimmed();
      isKey = section == QLatin1String("Nodes") || section == QLatin1String("Map_Descriptors");
    }
    (isKey ? key : rest)->append({l, i + 1});
  }
}

// Longest-common-subsequence difference; files are a few hundred lines.
QList<DiffLine> diffLines(const QList<NumberedLine>& a, const QList<NumberedLine>& b) {
  const qsizetype n = a.size(), m = b.size();
  QList<DiffLine> out;
  if ((n + 1) * (m + 1) > 4'000'000) {  // no Config.csv is this long: show both whole
    for (const NumberedLine& l : a) out.append({DiffLine::Kind::OnlyFirst, l.text, l.number, 0});
    for (const NumberedLine& l : b) out.append({DiffLine::Kind::OnlySecond, l.text, 0, l.number});
    return out;
  }
  std::vector<int> len(static_cast<size_t>((n + 1) * (m + 1)), 0);
  auto at = [&](qsizetype i, qsizetype j) -> int& { return len[static_cast<size_t>(i * (m + 1) + j)]; };
  for (qsizetype i = n - 1; i >= 0; --i)
    for (qsizetype j = m - 1; j >= 0; --j)
      at(i, j) = a[i].text == b[j].text ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
  qsizetype i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[i].text == b[j].text) {
      out.append({DiffLine::Kind::Same, a[i].text, a[i].number, b[j].number});
      ++i, ++j;
    } else if (j < m && (i == n || at(i, j + 1) > at(i + 1, j))) {
      out.append({DiffLine::Kind::OnlySecond, b[j].text, 0, b[j].number});
      ++j;
    } else {
      out.append({DiffLine::Kind::OnlyFirst, a[i].text, a[i].number, 0});
      ++i;
    }
  }
  return out;
}

int countChanged(const QList<DiffLine>& lines) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [](const DiffLine& l) { return l.kind != DiffLine::Kind::Same; }));
}

void appendPart(QString& out, const QString& heading, const QList<DiffLine>& lines, bool changedOnly) {
  out += QStringLiteral("== ") + heading + u'\n';
  for (const DiffLine& l : lines) {
    if (changedOnly && l.kind == DiffLine::Kind::Same) continue;
    const char* mark = l.kind == DiffLine::Kind::Same ? "  " : l.kind == DiffLine::Kind::OnlyFirst ? "- " : "+ ";
    out += QLatin1String(mark) + l.text + u'\n';
  }
}

}  // namespace

ConfigDiff diffConfigs(const QByteArray& first, const QByteArray& second) {
  QList<NumberedLine> keyA, restA, keyB, restB;
  partition(configLines(first), &keyA, &restA);
  partition(configLines(second), &keyB, &restB);
  return {diffLines(keyA, keyB), diffLines(restA, restB)};
}

int ConfigDiff::changedLines() const { return countChanged(key) + countChanged(rest); }

QString ConfigDiff::text(const QString& firstLabel, const QString& secondLabel, bool changedOnly) const {
  QString out = QStringLiteral("--- ") + firstLabel + QStringLiteral("\n+++ ") + secondLabel + u'\n';
  if (identical()) return out + QStringLiteral("The files are identical.\n");
  appendPart(out, QStringLiteral("Summary, Nodes and Map_Descriptors"), key, changedOnly);
  appendPart(out, QStringLiteral("Rest of the file"), rest, changedOnly);
  out += QStringLiteral("%1 line(s) differ.\n").arg(changedLines());
  return out;
}

}  // namespace gw
