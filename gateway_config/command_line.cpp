#include "command_line.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace gw {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Program up to the closing quote; the quote at `from` or later closes it.
CommandLineSplit splitQuoted(const QString& line, qsizetype from) {
  const qsizetype close = line.indexOf(u'"', from);
  if (close < 0) return {line.mid(1), QString()};
  return {line.mid(1, close - 1), line.mid(close + 1)};
}

CommandLineSplit splitAt(const QString& line, qsizetype end) { return {line.left(end), line.mid(end)}; }

qsizetype firstBlankFrom(const QString& line, qsizetype from) {
  qsizetype end = from;
  while (end < line.size() && !isBlank(line[end])) ++end;
  return end;
}

CommandLineSplit splitPosix(const QString& line, const QString& workDir) {
  const QString dirPrefix = workDir.endsWith(u'/') ? workDir : workDir + u'/';
  if (line.startsWith(u'"')) return splitQuoted(line, line.startsWith(u'"' + dirPrefix) ? 1 + dirPrefix.size() : 1);
  return splitAt(line, firstBlankFrom(line, line.startsWith(dirPrefix) ? dirPrefix.size() : 0));
}

CommandLineSplit splitWindows(const QString& line, const ProgramExists& programExists) {
  if (line.startsWith(u'"')) return splitQuoted(line, 1);
  if (programExists) {
    for (qsizetype i = 1; i < line.size(); ++i) {
      if (isBlank(line[i]) && !isBlank(line[i - 1]) && programExists(line.left(i))) return splitAt(line, i);
    }
    if (!line.isEmpty() && programExists(line)) return {line, QString()};
  }
  return splitAt(line, firstBlankFrom(line, 0));
}

}  // namespace

CommandLineSplit splitCommandLine(const QString& rawLine, const QString& workDir, Flavour flavour,
                                  const ProgramExists& programExists) {
  const QString line = rawLine.trimmed();
  return flavour == Flavour::Windows ? splitWindows(line, programExists) : splitPosix(line, workDir);
}

bool windowsProgramExists(const QString& candidate, const QString& workDir) {
  if (candidate.isEmpty()) return false;
  QStringList names{candidate};
  if (QFileInfo(candidate).suffix().isEmpty()) names << candidate + QStringLiteral(".exe");
  const bool hasFolder = candidate.contains(u'\\') || candidate.contains(u'/') || candidate.contains(u':');
  for (const QString& name : names) {
    if (hasFolder) {
      if (QFileInfo(name).isFile()) return true;
    } else if (QFileInfo(QDir(workDir).filePath(name)).isFile() || !QStandardPaths::findExecutable(name).isEmpty()) {
      return true;
    }
  }
  return false;
}

}  // namespace gw
