#include "processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include "messages.h"
#include "process_platform.h"
#include "process_tree.h"

namespace gw {

namespace detail {

QStringList commandLines(const QString& text) {
  QStringList lines;
  for (const QString& l : text.split(u'\n')) {
    QString line = l;
    if (line.endsWith(u'\r')) line.chop(1);
    if (!line.trimmed().isEmpty()) lines << line;
  }
  return lines;
}

void prepareProcess(QProcess& p, const QString& workDir) {
  p.setWorkingDirectory(workDir);
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.setStandardInputFile(QProcess::nullDevice());
}

}  // namespace detail

QString findProgramInDir(const QString& dir, const QString& name) {
  if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\')) return {};
  const QString lower = name.toLower();
  const QString bare = lower.endsWith(QStringLiteral(".exe")) ? lower.chopped(4) : lower;
  const QString withExe = bare + QStringLiteral(".exe");
  QString candidate;
  const QFileInfoList entries =
      QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  for (const QFileInfo& fi : entries) {
    const QString n = fi.fileName();
    if (n == name) return fi.absoluteFilePath();
    const QString nl = n.toLower();
    if (candidate.isEmpty() && (nl == bare || nl == withExe)) candidate = fi.absoluteFilePath();
  }
  return candidate;
}

void KillProcess(const QString& name) {
  if (name.isEmpty()) return;
  bool ok = false;
  const qint64 root = qEnvironmentVariable("XAV_KILL_TREE_PID").toLongLong(&ok);
  detail::killByExecutableSuffix(name.toLower(), ok && root > 0 ? root : 0);
}

QString benchUtilityDir() {
  const QString beside =
      QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../libexec/xav-tools/bench"));
  if (QFileInfo(beside).isDir()) return beside;
  return QStringLiteral("/usr/libexec/xav-tools/bench");
}

QString startupAdvice(const QStringList& missingUtilities) {
  const QString tool = QCoreApplication::applicationName();
  const QString bench = QDir::toNativeSeparators(benchUtilityDir());
  QStringList parts;
  QStringList links;
  for (const QString& u : missingUtilities) {
    const QString lower = u.toLower();
    if (lower.startsWith(QLatin1String("ruinet")))
      parts << u + QStringLiteral(" is the gateway platform's loader: it sends a configuration to a module "
                                  "and fetches files from it.");
    else if (lower.startsWith(QLatin1String("ruiping")))
      parts << u + QStringLiteral(" is the gateway platform's discovery utility: it lists the modules on "
                                  "the network.");
    links << bench + u'/' + lower;
  }
  if (!missingUtilities.isEmpty())
    parts << QStringLiteral("They come with the gateway platform, not with this package. Bench stand-ins that "
                            "serve simulated modules on 127.0.0.x lie in %1/ (libexec/xav-tools/bench/ of the "
                            "installation).")
                 .arg(bench);
  parts << QStringLiteral("%1 works in the folder it is started in, which must hold the utilities and be "
                          "writable; from the desktop menu that is your home folder. To try it on the bench:")
               .arg(tool);
  QString recipe = QStringLiteral("  mkdir -p ~/xav-bench && cd ~/xav-bench\n");
  if (!links.isEmpty()) recipe += QStringLiteral("  ln -sf ") + links.join(u' ') + QStringLiteral(" .\n");
  recipe += QStringLiteral("  ") + tool;
  parts << recipe;
  parts << QStringLiteral("The user guide (/usr/share/doc/xav-tools/user-guide.md) tells more.");
  return parts.join(QStringLiteral("\n\n"));
}

bool CheckForRuiFiles() {
  const QString workDir = QDir::currentPath();
  const QString shown = QDir::toNativeSeparators(workDir);
  const struct {
    const char* file;
    const char* caption;
  } utilities[] = {{"ruinet.exe", "RuiNet.exe"}, {"ruiping.exe", "RuiPing.exe"}};
  // Every missing utility in one box, so a newcomer does not fix one only
  // to meet the next.
  QStringList lines;
  QStringList missing;
  for (const auto& u : utilities) {
    if (!findProgramInDir(workDir, QLatin1String(u.file)).isEmpty()) continue;
    lines << QLatin1String(u.caption) + QStringLiteral(" not found in ") + shown + QStringLiteral(". Correct and try again.");
    missing << QLatin1String(u.caption);
  }
  if (lines.isEmpty()) return true;
  xav::tell(xav::MessageIcon::Critical, QStringLiteral("XAV.exe File Check"), lines.join(QStringLiteral("\r\n")),
            startupAdvice(missing));
  return false;
}

bool CheckReadWriteAccesss() {
  const QString written = QString::number(QRandomGenerator::global()->generateDouble(), 'g', 15);
  const QString name = QStringLiteral("testFile.txt");
  {
    QFile f(name);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      f.write(written.toLatin1() + "\r\n");
      f.close();
    }
  }
  QString read;
  {
    QFile f(name);
    if (f.open(QIODevice::ReadOnly)) {
      QByteArray line = f.readLine(4096);
      while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
      read = QString::fromLatin1(line);
      f.close();
    }
  }
  QFile::remove(name);
  if (read == written) return true;
  xav::tell(xav::MessageIcon::Critical, QString(),
                   QStringLiteral("Read/Write access is not available with\r\n"
                                  "the current directory.\r\n"
                                  "\r\n"
                                  "Be sure all XAV program are located in a\r\n"
                                  "directory that allows Read/Write access.\r\n"
                                  "\r\n"
                                  "This program will close."),
            startupAdvice({}));
  return false;
}

BackgroundCommand::BackgroundCommand(QObject* parent) : QObject(parent) {}

BackgroundCommand::~BackgroundCommand() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    process_->disconnect(this);
    detail::endProcessTree(*process_);
    process_->waitForFinished(2000);
  }
}

bool BackgroundCommand::start(const QString& commandText) {
  if (isRunning()) return false;
  startError_.clear();
  const QString workDir = QDir::currentPath();
  const QStringList lines = detail::commandLines(commandText);
  if (lines.isEmpty()) return false;
  // Every line must name a program that exists before anything runs.
  for (const QString& line : lines) {
    detail::PreparedLine prepared;
    if (!detail::prepareLine(line, workDir, &prepared, &startError_)) return false;
  }
  workDir_ = workDir;
  pending_ = lines;
  if (!process_) {
    process_ = new QProcess(this);
    connect(process_, &QProcess::finished, this, [this] { startNext(); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
      if (e != QProcess::FailedToStart) return;
      startError_ = process_->errorString();
      startNext();
    });
  }
  startNext();
  return true;
}

void BackgroundCommand::startNext() {
  while (!pending_.isEmpty()) {
    const QString line = pending_.takeFirst();
    detail::PreparedLine prepared;
    if (!detail::prepareLine(line, workDir_, &prepared, nullptr)) continue;
    detail::prepareProcess(*process_, workDir_);
    detail::applyLine(*process_, prepared);
    detail::prepareProcessTree(*process_);
    process_->start();
    return;
  }
  emit finished();
}

bool BackgroundCommand::isRunning() const {
  return !pending_.isEmpty() || (process_ && process_->state() != QProcess::NotRunning);
}

}  // namespace gw
