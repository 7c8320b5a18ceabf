#include "bench_behaviour.h"

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
  const QString hang = qEnvironmentVariable(qPrintable(p + QStringLiteral("HANG"))).trimmed().toLower();
  if (hang == QStringLiteral("1") || hang == QStringLiteral("all")) b.hangAlways = true;
  else if (!hang.isEmpty() && hang != QStringLiteral("0")) b.hangOn = hang.split(u',', Qt::SkipEmptyParts);
  for (QString& op : b.hangOn) op = op.trimmed();
  return b;
}

bool takeBehaviourOptions(QStringList* args, Behaviour* b, QString* error) {
  for (int i = 0; i < args->size();) {
    const QString a = args->at(i);
    if (a == QStringLiteral("--hang")) {
      b->hangAlways = true;
      args->removeAt(i);
      continue;
    }
    int* target = a == QStringLiteral("--delay-ms") ? &b->delayMs : a == QStringLiteral("--alter-line") ? &b->alterLine : nullptr;
    if (!target) {
      ++i;
      continue;
    }
    if (i + 1 >= args->size() || !readCount(args->at(i + 1), target)) {
      *error = a + QStringLiteral(" needs a number of 0 or more");
      return false;
    }
    args->remove(i, 2);
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
