#include "bench_behaviour.h"

#include <QCommandLineParser>
#include <QList>

#include <chrono>
#include <thread>

namespace xav::bench {

namespace {

// A hung utility nobody ends goes by itself after this long.
constexpr auto kLongestHang = std::chrono::minutes(10);

bool readCount(const QString& text, int* out) {
  bool ok = false;
  const int v = text.toInt(&ok);
  if (!ok || v < 0) return false;
  *out = v;
  return true;
}

}  // namespace

Behaviour behaviourFromEnvironment(const char* prefix) {
  const QString p = QLatin1String(prefix);
  Behaviour b;
  readCount(qEnvironmentVariable(qPrintable(p + QStringLiteral("DELAY_MS"))), &b.delayMs);
  readCount(qEnvironmentVariable(qPrintable(p + QStringLiteral("ALTER_LINE"))), &b.alterLine);
  const QString keep = qEnvironmentVariable(qPrintable(p + QStringLiteral("KEEP_OLD"))).trimmed();
  b.keepsOld = !keep.isEmpty() && keep != QStringLiteral("0");
  const QString hang = qEnvironmentVariable(qPrintable(p + QStringLiteral("HANG"))).trimmed().toLower();
  if (hang == QStringLiteral("1") || hang == QStringLiteral("all")) b.hangAlways = true;
  else if (!hang.isEmpty() && hang != QStringLiteral("0")) b.hangOn = hang.split(u',', Qt::SkipEmptyParts);
  for (QString& op : b.hangOn) op = op.trimmed();
  return b;
}

void addBehaviourOptions(QCommandLineParser& parser, bool loader) {
  parser.addOption({QStringLiteral("delay-ms"), QStringLiteral("Wait <N> ms before doing anything."), QStringLiteral("N")});
  parser.addOption({QStringLiteral("hang"), QStringLiteral("Never do the work: wait until ended (at most 10 min).")});
  if (loader) {
    parser.addOption({QStringLiteral("alter-line"),
                      QStringLiteral("The module keeps a sent file with its line <N> changed."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("keep-old"),
                      QStringLiteral("A send reports success, but the module keeps the file it had.")});
  }
}

bool takeBehaviourOptions(const QCommandLineParser& parser, Behaviour* b, QString* error) {
  if (parser.isSet(QStringLiteral("hang"))) b->hangAlways = true;
  if (parser.optionNames().contains(QStringLiteral("keep-old"))) b->keepsOld = true;
  for (const char* name : {"delay-ms", "alter-line"}) {
    const QString option = QLatin1String(name);
    if (!parser.optionNames().contains(option)) continue;
    int* target = option == QStringLiteral("delay-ms") ? &b->delayMs : &b->alterLine;
    if (!readCount(parser.value(option), target)) {
      *error = QStringLiteral("--") + option + QStringLiteral(" needs a number of 0 or more");
      return false;
    }
  }
  return true;
}

void actOut(const Behaviour& b, const QString& operation) {
  if (b.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(b.delayMs));
  if (b.hangs(operation)) std::this_thread::sleep_for(kLongestHang);
}

QByteArray alteredCopy(const QByteArray& data, int line) {
  if (line < 1) return data;
  QList<QByteArray> lines = data.split('\n');
  while (lines.size() < line) lines.append(QByteArray());
  QByteArray& l = lines[line - 1];
  const bool cr = l.endsWith('\r');
  if (cr) l.chop(1);
  l += " [altered]";
  if (cr) l += '\r';
  return lines.join('\n');
}

}  // namespace xav::bench
