#pragma once
// What every program of the tool set says about itself: its name, the tool
// set's version, and the two options every program answers, --help and
// --version. Programs add their own options to the same parser.
//
// A windowed program calls answerBeforeWindow() before it creates its
// QApplication (which needs a display; --help and --version must not), then
// parseCommandLine() on the application's arguments, from which Qt has taken
// its own options (-platform, -style ...):
//
//   QCommandLineParser parser;
//   xav::describeProgram(parser, "XAVE", "...");
//   if (const auto end = xav::answerBeforeWindow(parser, argc, argv)) return *end;
//   QApplication app(argc, argv);
//   if (const auto end = xav::parseCommandLine(parser, app.arguments())) return *end;

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace xav {

// The tool set's version, as the build names it ("1.0.0").
QString toolsVersion();

// Sets the application name and version (usable before any application
// object exists) and gives the parser the description and the -h/--help and
// -v/--version options.
void describeProgram(QCommandLineParser& parser, const QString& name, const QString& description);

// How a program treats what is not one of its options.
struct CommandLineRules {
  int errorExitCode = 2;        // exit status for a command line it cannot take
  bool takesArguments = false;  // whether words other than options are allowed
};

// Parses a program's arguments (its own path first). --help and --version
// print to standard output and end the program with status 0; a command
// line it cannot take prints the reason and a hint to --help on standard
// error and ends it with rules.errorExitCode. Returns that exit status when
// the program must end here, nothing when it goes on.
std::optional<int> parseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                    const CommandLineRules& rules = {});

// Adds an option (with a value when valueName is given) and returns it.
QCommandLineOption addOption(QCommandLineParser& parser, const char* name, const char* description,
                             const char* valueName = nullptr);

// argv as a list, for parsing before an application object exists.
QStringList argumentsOf(int argc, char** argv);

// Answers --help and --version from argv before any application object
// exists; everything else is left to parseCommandLine() after. Returns the
// exit status when the program must end here.
std::optional<int> answerBeforeWindow(QCommandLineParser& parser, int argc, char** argv);

// The arguments without Qt's own options of a windowed program (-style,
// -stylesheet, -platform, ... with their values, in the forms Qt takes:
// "-style X", "-style=X", "--style X"), which only a QApplication removes.
QStringList withoutQtOptions(const QStringList& arguments);

// Whether the user picked the widget style (-style or QT_STYLE_OVERRIDE),
// so that a program's own default style gives way.
bool styleChosenByUser(const QStringList& arguments);

// Prints "<program>: <text>" and the hint to --help on standard error;
// returns exitCode, for a program's own checks of its option values.
int commandLineError(const QString& text, int exitCode = 2);

}  // namespace xav
