#include "verify.h"

#include <QDir>
#include <QList>

#include "commands.h"
#include "files.h"
#include "profiles.h"

namespace gw {

namespace {

// The file's lines, each with its CR; a final line end opens no further line.
QList<QByteArray> linesOf(const QByteArray& file) {
  QList<QByteArray> lines = file.split('\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

QString lineText(const QByteArray& line) {
  QByteArray l = line;
  if (l.endsWith('\r')) l.chop(1);
  return QString::fromLatin1(l);
}

VerifyResult fetchFailed(const QString& address, const QString& detail) {
  VerifyResult r;
  r.kind = VerifyResult::Kind::FetchFailed;
  r.moduleAddress = address;
  r.detail = detail;
  return r;
}

// What the fetch left, judged: the file compared, or why there is none.
VerifyResult judgeFetch(const RunResult& run, const QString& workDir, const QString& address,
                        const QByteArray& sent) {
  if (run.interrupted()) {
    VerifyResult r;
    r.kind = VerifyResult::Kind::Cancelled;
    r.moduleAddress = address;
    r.detail = run.describe();
    return r;
  }
  if (!run.succeeded()) return fetchFailed(address, run.describe());
  QByteArray fetched;
  QString error;
  const bool read = xav::readWholeFile(QDir(workDir).filePath(QStringLiteral("Config.csv")), &fetched, &error);
  deleteConfigCsv(workDir);
  if (!read) return fetchFailed(address, QStringLiteral("no Config.csv came back (") + error + u')');
  VerifyResult r = compareConfigs(sent, fetched);
  r.moduleAddress = address;
  return r;
}

}  // namespace

QString VerifyResult::message() const {
  switch (kind) {
    case Kind::Identical: return QStringLiteral("Module holds the configuration sent");
    case Kind::Differs: {
      const QString sent = sentLineMissing ? QStringLiteral("nothing") : u'"' + sentLine + u'"';
      const QString held = moduleLineMissing ? QStringLiteral("nothing") : u'"' + moduleLine + u'"';
      return QStringLiteral("Module holds a different configuration: line %1 differs (sent %2, module holds %3)")
          .arg(QString::number(lineNumber), sent, held);
    }
    case Kind::FetchFailed:
      return QStringLiteral("The module's Config.csv could not be fetched: ") + detail;
    case Kind::Cancelled: return QStringLiteral("Verify was cancelled: ") + detail;
  }
  return {};
}

VerifyResult compareConfigs(const QByteArray& sent, const QByteArray& fetched) {
  VerifyResult r;
  if (sent == fetched) {
    r.kind = VerifyResult::Kind::Identical;
    return r;
  }
  r.kind = VerifyResult::Kind::Differs;
  const QList<QByteArray> a = linesOf(sent);
  const QList<QByteArray> b = linesOf(fetched);
  qsizetype i = 0;
  // Lines compare with their CR, so a changed line end is a difference too.
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  r.lineNumber = static_cast<int>(i + 1);
  r.sentLineMissing = i >= a.size();
  r.moduleLineMissing = i >= b.size();
  if (!r.sentLineMissing) r.sentLine = lineText(a[i]);
  if (!r.moduleLineMissing) r.moduleLine = lineText(b[i]);
  return r;
}

ConfigVerifier::ConfigVerifier(UtilityRunner& runner, QObject* parent) : QObject(parent), runner_(runner) {
  qRegisterMetaType<gw::VerifyResult>();
  connect(&runner_, &UtilityRunner::finished, this, &ConfigVerifier::onRunFinished);
}

bool ConfigVerifier::start(const QString& workDir, const QString& moduleAddress, const QByteArray& sent) {
  const QString address = normalAddress(moduleAddress);
  const QString fetch = fetchConfigurationCommand(workDir, address);
  if (active_ || fetch.isEmpty() || runner_.isBusy()) return false;
  deleteConfigCsv(workDir);
  workDir_ = workDir;
  address_ = address;
  sent_ = sent;
  active_ = runner_.start(fetch, kHidden);
  return active_;
}

void ConfigVerifier::onRunFinished(const RunResult& run) {
  if (!active_) return;
  active_ = false;
  emit finished(judgeFetch(run, workDir_, address_, sent_));
}

QString uploadStatusLine(const QString& fileName, const QString& moduleAddress, const RunResult& upload,
                         const QTime& at) {
  const QString address = normalAddress(moduleAddress).isEmpty() ? moduleAddress : normalAddress(moduleAddress);
  const QString when = at.toString(QStringLiteral("HH:mm:ss"));
  if (upload.succeeded()) return fileName + QStringLiteral(" loaded to ") + address + QStringLiteral(" at ") + when;
  return fileName + QStringLiteral(" NOT loaded to ") + address + QStringLiteral(" at ") + when +
         QStringLiteral(": ") + upload.describe();
}

}  // namespace gw
