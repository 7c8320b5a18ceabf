#include "app_info.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

#ifndef XAV_TOOLS_VERSION
#error "XAV_TOOLS_VERSION must be defined by the build"
#endif

namespace xav {

namespace {

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

void print(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// Qt writes the program's path (or a placeholder when there is no
// application object yet) into the usage line; the program's name reads
// better there and in the manual pages made from this text.
QString helpText(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  const QString usage = QStringLiteral("Usage: ");
  if (text.startsWith(usage)) {
    const qsizetype nameEnd = text.indexOf(u' ', usage.size());
    if (nameEnd > 0) text.replace(usage.size(), nameEnd - usage.size(), QCoreApplication::applicationName());
  }
  return text;
}

}  // namespace

QString toolsVersion() { return QStringLiteral(XAV_TOOLS_VERSION); }

void describeProgram(QCommandLineParser& parser, const QString& name, const QString& description) {
  QCoreApplication::setApplicationName(name);
  QCoreApplication::setApplicationVersion(toolsVersion());
  parser.setApplicationDescription(description);
  // Own options rather than addHelpOption(): Qt's adds --help-all, whose
  // text needs an application object.
  parser.addOption(QCommandLineOption({QStringLiteral("h"), kHelp}, QStringLiteral("Displays this help.")));
  parser.addOption(QCommandLineOption({QStringLiteral("v"), kVersion}, QStringLiteral("Displays version information.")));
}

std::optional<int> parseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                    const CommandLineRules& rules) {
  if (!parser.parse(arguments)) return commandLineError(parser.errorText(), rules.errorExitCode);
  if (parser.isSet(kHelp)) {
    print(stdout, helpText(parser));
    return 0;
  }
  if (parser.isSet(kVersion)) {
    print(stdout, QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n');
    return 0;
  }
  if (!rules.takesArguments && !parser.positionalArguments().isEmpty())
    return commandLineError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()),
                            rules.errorExitCode);
  return std::nullopt;
}

QStringList argumentsOf(int argc, char** argv) {
  QStringList list;
  for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
  return list;
}

std::optional<int> answerBeforeWindow(QCommandLineParser& parser, int argc, char** argv) {
  // Options of Qt's own (-platform ...) are unknown to the parser until the
  // application has taken them out: a failed parse here is judged later.
  if (!parser.parse(argumentsOf(argc, argv))) return std::nullopt;
  if (!parser.isSet(kHelp) && !parser.isSet(kVersion)) return std::nullopt;
  return parseCommandLine(parser, argumentsOf(argc, argv), {.errorExitCode = 2, .takesArguments = true});
}

int commandLineError(const QString& text, int exitCode) {
  const QString name = QCoreApplication::applicationName();
  print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(name, text));
  return exitCode;
}

QCommandLineOption addOption(QCommandLineParser& parser, const char* name, const char* description,
                             const char* valueName) {
  const QCommandLineOption option(QLatin1String(name), QLatin1String(description),
                                  valueName ? QLatin1String(valueName) : QString());
  parser.addOption(option);
  return option;
}

}  // namespace xav
