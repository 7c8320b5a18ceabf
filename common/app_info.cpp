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

// Qt's options (QGuiApplication's and QApplication's) and whether each takes a value.
struct QtOption {
  const char* name;
  bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},     {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qmljsdebugger", true}, {"qwindowgeometry", true},   {"qwindowicon", true},   {"qwindowtitle", true},
    {"session", true},      {"style", true},              {"stylesheet", true},    {"display", true},
    {"geometry", true},     {"title", true},              {"name", true},          {"reverse", false},
    {"widgetcount", false}, {"nograb", false},            {"dograb", false},       {"sync", false},
    {"testability", false},
};

// The Qt option an argument names, or null; sets inlineValue for "-name=value".
const QtOption* qtOption(const QString& argument, bool* inlineValue) {
  if (!argument.startsWith(u'-') || argument == QLatin1String("-") || argument == QLatin1String("--")) return nullptr;
  QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
  const qsizetype equals = name.indexOf(u'=');
  *inlineValue = equals >= 0;
  if (equals >= 0) name.truncate(equals);
  for (const QtOption& o : kQtOptions)
    if (name == QLatin1String(o.name) && (o.takesValue || !*inlineValue)) return &o;
  return nullptr;
}

}  // namespace

QStringList withoutQtOptions(const QStringList& arguments) {
  QStringList kept;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    bool inlineValue = false;
    const QtOption* o = i > 0 ? qtOption(arguments[i], &inlineValue) : nullptr;  // [0] is the program
    if (!o) {
      kept << arguments[i];
      continue;
    }
    if (o->takesValue && !inlineValue) ++i;  // its value goes with it
  }
  return kept;
}

bool styleChosenByUser(const QStringList& arguments) {
  if (!qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE")) return true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    bool inlineValue = false;
    const QtOption* o = qtOption(arguments[i], &inlineValue);
    if (o && QLatin1String(o->name) == QLatin1String("style")) return true;
  }
  return false;
}

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
  // Qt's own options (-platform, -style ...) are taken out here as the
  // application would, so "--help -style Fusion" needs no display either; a
  // failed parse is judged again once the application exists.
  const QStringList arguments = withoutQtOptions(argumentsOf(argc, argv));
  if (!parser.parse(arguments)) return std::nullopt;
  if (!parser.isSet(kHelp) && !parser.isSet(kVersion)) return std::nullopt;
  return parseCommandLine(parser, arguments, {.errorExitCode = 2, .takesArguments = true});
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
