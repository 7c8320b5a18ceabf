#include "batch_plan.h"

#include <QHash>

#include "commands.h"

namespace xavconfig {

namespace {

const QStringList kColumns{QStringLiteral("address"), QStringLiteral("protocol"), QStringLiteral("plc"),
                           QStringLiteral("file"),    QStringLiteral("base"),     QStringLiteral("slot"),
                           QStringLiteral("register"), QStringLiteral("title")};

}  // namespace

Plan parsePlan(const QByteArray& bytes) {
  Plan plan;
  const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
  QHash<QString, int> column;  // name -> index in the row
  QHash<QString, int> seenAt;  // address -> line
  bool haveHeader = false;
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.trimmed().isEmpty() || line.trimmed().startsWith(u'#')) continue;
    const int lineNo = i + 1;
    QStringList cells = line.split(u',');
    for (QString& c : cells) c = c.trimmed();
    if (!haveHeader) {
      haveHeader = true;
      for (int c = 0; c < cells.size(); ++c) {
        const QString name = cells[c].toLower();
        if (!kColumns.contains(name))
          plan.errors << QStringLiteral("line %1: unknown column \"%2\"").arg(lineNo).arg(cells[c]);
        else if (column.contains(name))
          plan.errors << QStringLiteral("line %1: column \"%2\" named twice").arg(lineNo).arg(name);
        else
          column.insert(name, c);
      }
      for (const char* need : {"address", "protocol", "plc"})
        if (!column.contains(QLatin1String(need)))
          plan.errors << QStringLiteral("line %1: no column \"%2\"").arg(lineNo).arg(QLatin1String(need));
      if (!plan.errors.isEmpty()) return plan;
      continue;
    }
    if (cells.size() > column.size()) {
      plan.errors << QStringLiteral("line %1: %2 cells for %3 columns (a title cannot hold a comma)")
                         .arg(lineNo)
                         .arg(cells.size())
                         .arg(column.size());
      continue;
    }
    auto cell = [&](const char* name, const QString& fallback = QString()) {
      const int c = column.value(QLatin1String(name), -1);
      const QString v = c >= 0 && c < cells.size() ? cells[c] : QString();
      return v.isEmpty() ? fallback : v;
    };
    PlanRow row;
    row.line = lineNo;
    const QString address = cell("address");
    row.address = gw::normalAddress(address);
    if (row.address.isEmpty()) {
      plan.errors << QStringLiteral("line %1: \"%2\" is not a dotted IPv4 module address").arg(lineNo).arg(address);
      continue;
    }
    gw::Entries& e = row.entries;
    e.protocol = gw::protocolFromName(cell("protocol"));
    if (e.protocol == gw::kNoProtocol) {
      plan.errors << QStringLiteral("line %1: protocol \"%2\" is none of pccc, cip, modbus")
                         .arg(lineNo)
                         .arg(cell("protocol"));
      continue;
    }
    e.plcAddress = cell("plc");
    e.fileNumber = cell("file", e.fileNumber);
    e.baseElement = cell("base", e.baseElement);
    e.slot = cell("slot", e.slot);
    e.startRegister = cell("register", e.startRegister);
    e.title = cell("title");
    gw::Entries::Field bad{};
    if (e.firstInvalidField(&bad)) {
      plan.errors << QStringLiteral("line %1: %2 (\"%3\")")
                         .arg(lineNo)
                         .arg(gw::Entries::invalidFieldMessage(bad), e.text(bad));
      continue;
    }
    if (seenAt.contains(row.address)) {
      plan.errors << QStringLiteral("line %1: module %2 is already planned on line %3")
                         .arg(lineNo)
                         .arg(row.address)
                         .arg(seenAt.value(row.address));
      continue;
    }
    seenAt.insert(row.address, lineNo);
    plan.rows << row;
  }
  if (!haveHeader) plan.errors << QStringLiteral("the plan has no header row");
  else if (plan.rows.isEmpty() && plan.errors.isEmpty()) plan.errors << QStringLiteral("the plan has no rows");
  return plan;
}

}  // namespace xavconfig
