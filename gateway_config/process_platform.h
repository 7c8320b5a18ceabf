#pragma once
// The two places where starting and ending processes differ between Windows
// and POSIX; process_posix.cpp and process_win.cpp each implement them.

#include <QString>
#include <QStringList>

class QProcess;

namespace gw::detail {

// One line of a command text, ready for QProcess.
struct PreparedLine {
  QString program;
  QStringList arguments;
  QString nativeArguments;  // Windows: the command line after the program
};

// Makes a line of a command text startable from workDir. False, with the
// system's description in *error, when the program it names is not found.
bool prepareLine(const QString& line, const QString& workDir, PreparedLine* out, QString* error);

void applyLine(QProcess& process, const PreparedLine& line);

// Ends every process but the caller whose executable file name, lowercased,
// ends with lowerSuffix; with treeRoot > 0, only those descended from the
// process treeRoot.
void killByExecutableSuffix(const QString& lowerSuffix, qint64 treeRoot);

}  // namespace gw::detail
