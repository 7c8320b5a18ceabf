#include "processes.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QWidget>

#include <vector>

#include "messages.h"
#include "process_platform.h"

namespace gw {

namespace {

QStringList commandLines(const QString& text) {
  QStringList lines;
  for (const QString& l : text.split(u'\n')) {
    QString line = l;
    if (line.endsWith(u'\r')) line.chop(1);
    if (!line.trimmed().isEmpty()) lines << line;
  }
  return lines;
}

// Keeps every top-level window disabled while it lives: the windows go on
// painting but take no input.
class InputBlock {
 public:
  InputBlock() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isEnabled()) continue;
      w->setEnabled(false);
      disabled_.emplace_back(w);
    }
  }
  ~InputBlock() {
    for (const QPointer<QWidget>& w : disabled_)
      if (w) w->setEnabled(true);
  }
  InputBlock(const InputBlock&) = delete;
  InputBlock& operator=(const InputBlock&) = delete;

 private:
  std::vector<QPointer<QWidget>> disabled_;
};

void showStartError(const QString& commandText, const QString& description) {
  xav::showMessage(QApplication::activeWindow(), xav::MessageIcon::Exclamation, QStringLiteral("Error"),
                   QStringLiteral("Error starting task ") + QStringLiteral("\r\n") + commandText +
                       QStringLiteral("\r\n") + description);
}

void prepareProcess(QProcess& p, const QString& workDir) {
  p.setWorkingDirectory(workDir);
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.setStandardInputFile(QProcess::nullDevice());
}

}  // namespace

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

void ShellAndWait(const QString& commandText, int windowStyle) {
  Q_UNUSED(windowStyle);  // no console windows to style here
  const QString workDir = QDir::currentPath();
  std::vector<detail::PreparedLine> lines;
  for (const QString& line : commandLines(commandText)) {
    detail::PreparedLine prepared;
    QString error;
    if (!detail::prepareLine(line, workDir, &prepared, &error)) {
      showStartError(commandText, error);
      return;
    }
    lines.push_back(prepared);
  }
  if (lines.empty()) return;

  InputBlock block;
  for (const detail::PreparedLine& line : lines) {
    QProcess process;
    prepareProcess(process, workDir);
    detail::applyLine(process, line);
    QEventLoop loop;
    bool done = false;
    bool failed = false;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
      done = true;
      loop.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
      if (e != QProcess::FailedToStart) return;
      done = failed = true;
      loop.quit();
    });
    process.start();
    if (!done && process.state() != QProcess::NotRunning) loop.exec();
    if (failed || process.error() == QProcess::FailedToStart) {
      showStartError(commandText, process.errorString());
      return;
    }
  }
}

void KillProcess(const QString& name) {
  if (name.isEmpty()) return;
  detail::killByExecutableSuffix(name.toLower());
}

bool CheckForRuiFiles() {
  const QString workDir = QDir::currentPath();
  const QString shown = QDir::toNativeSeparators(workDir);
  const struct {
    const char* file;
    const char* caption;
  } utilities[] = {{"ruinet.exe", "RuiNet.exe"}, {"ruiping.exe", "RuiPing.exe"}};
  for (const auto& u : utilities) {
    if (!findProgramInDir(workDir, QLatin1String(u.file)).isEmpty()) continue;
    xav::showMessage(QApplication::activeWindow(), xav::MessageIcon::Critical, QStringLiteral("XAV.exe File Check"),
                     QLatin1String(u.caption) + QStringLiteral(" not found in ") + shown +
                         QStringLiteral(". Correct and try again."));
    return false;
  }
  return true;
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
  xav::showMessage(QApplication::activeWindow(), xav::MessageIcon::Critical, QString(),
                   QStringLiteral("Read/Write access is not available with\r\n"
                                  "the current directory.\r\n"
                                  "\r\n"
                                  "Be sure all XAV program are located in a\r\n"
                                  "directory that allows Read/Write access.\r\n"
                                  "\r\n"
                                  "This program will close."));
  return false;
}

BackgroundCommand::BackgroundCommand(QObject* parent) : QObject(parent) {}

BackgroundCommand::~BackgroundCommand() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    process_->disconnect(this);
    process_->kill();
    process_->waitForFinished(2000);
  }
}

bool BackgroundCommand::start(const QString& commandText) {
  if (isRunning()) return false;
  const QString workDir = QDir::currentPath();
  const QStringList lines = commandLines(commandText);
  if (lines.isEmpty()) return false;
  // Every line must name a program that exists before anything runs.
  for (const QString& line : lines) {
    detail::PreparedLine prepared;
    if (!detail::prepareLine(line, workDir, &prepared, nullptr)) return false;
  }
  workDir_ = workDir;
  pending_ = lines;
  if (!process_) {
    process_ = new QProcess(this);
    connect(process_, &QProcess::finished, this, [this] { startNext(); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
      if (e == QProcess::FailedToStart) startNext();
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
    prepareProcess(*process_, workDir_);
    detail::applyLine(*process_, prepared);
    process_->start();
    return;
  }
  emit finished();
}

bool BackgroundCommand::isRunning() const {
  return !pending_.isEmpty() || (process_ && process_->state() != QProcess::NotRunning);
}

}  // namespace gw
