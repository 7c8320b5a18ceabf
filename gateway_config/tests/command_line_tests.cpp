// The line splitter of both process layers: one table, each row with what
// each platform's rule makes of the line, and the Windows test of a
// candidate program against real files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "command_line.h"
#include "commands.h"

namespace {

struct Row {
  const char* what;
  QString line;
  QString workDir;
  QStringList programs;  // what exists as a program, for the Windows rule
  QString posixProgram, posixRest;
  QString windowsProgram, windowsRest;
};

const QString kCmd = QStringLiteral("C:\\WINDOWS\\system32\\cmd.exe");

const Row kRows[] = {
    {"bare name and options", "ruinet -i127.0.0.5 -u1 -fConfig.csv", "/w", {"ruinet.exe"},
     "ruinet", " -i127.0.0.5 -u1 -fConfig.csv", "ruinet", " -i127.0.0.5 -u1 -fConfig.csv"},
    {"blanks around the line are dropped", "  ruinet -p -b \r", "/w", {"ruinet"},
     "ruinet", " -p -b", "ruinet", " -p -b"},
    {"a tab ends the first word", "ruinet\t-m1", "/w", {"ruinet"}, "ruinet", "\t-m1", "ruinet", "\t-m1"},
    {"quoted path with blanks", "\"/w/XAV tools/ruinet.exe\" -i 1.2.3.4 -u1", "/w/XAV tools", {},
     "/w/XAV tools/ruinet.exe", " -i 1.2.3.4 -u1", "/w/XAV tools/ruinet.exe", " -i 1.2.3.4 -u1"},
    {"Windows quoted path", "\"C:\\XAV tools\\ruinet.exe\" -i 1.2.3.4", "C:\\XAV tools", {},
     "C:\\XAV tools\\ruinet.exe", " -i 1.2.3.4", "C:\\XAV tools\\ruinet.exe", " -i 1.2.3.4"},
    // The address-mode text: an unquoted path into a folder with a blank.
    {"unquoted path into the working folder", "/w/XAV tools/RuiNet.exe -m1 ", "/w/XAV tools",
     {"/w/XAV tools/RuiNet.exe"},
     "/w/XAV tools/RuiNet.exe", " -m1", "/w/XAV tools/RuiNet.exe", " -m1"},
    {"Windows address-mode text", "C:\\XAV tools\\RuiNet.exe -m1 ", "C:\\XAV tools", {"C:\\XAV tools\\RuiNet.exe"},
     "C:\\XAV", " tools\\RuiNet.exe -m1", "C:\\XAV tools\\RuiNet.exe", " -m1"},
    {"Windows: a shorter prefix that is a program wins", "C:\\XAV tools\\RuiNet.exe -m1", "C:\\XAV tools",
     {"C:\\XAV", "C:\\XAV tools\\RuiNet.exe"},
     "C:\\XAV", " tools\\RuiNet.exe -m1", "C:\\XAV", " tools\\RuiNet.exe -m1"},
    {"Windows: the whole line is the last candidate", "C:\\XAV tools\\Rui Net", "C:\\XAV tools",
     {"C:\\XAV tools\\Rui Net"},
     "C:\\XAV", " tools\\Rui Net", "C:\\XAV tools\\Rui Net", ""},
    {"no candidate is a program: the first word", "C:\\XAV tools\\RuiNet.exe -m1", "C:\\XAV tools", {},
     "C:\\XAV", " tools\\RuiNet.exe -m1", "C:\\XAV", " tools\\RuiNet.exe -m1"},
    {"two blanks in a row", "C:\\a  b.exe x", "C:\\", {"C:\\a  b.exe"},
     "C:\\a", "  b.exe x", "C:\\a  b.exe", " x"},
    {"interpreter line", kCmd + " /c RuiPing.exe ruiping.exe -r0 > C.txt", "C:\\XAV tools", {kCmd},
     kCmd, " /c RuiPing.exe ruiping.exe -r0 > C.txt", kCmd, " /c RuiPing.exe ruiping.exe -r0 > C.txt"},
    {"unclosed quote takes the rest of the line", "\"/w/ruinet.exe -i 1.2.3.4", "/w", {},
     "/w/ruinet.exe -i 1.2.3.4", "", "/w/ruinet.exe -i 1.2.3.4", ""},
    // A POSIX folder name may hold a double quote; Windows names cannot.
    {"working folder with a double quote", "\"/w/a\"b/ruinet.exe\" -u1", "/w/a\"b", {},
     "/w/a\"b/ruinet.exe", " -u1", "/w/a", "b/ruinet.exe\" -u1"},
    {"empty line", "   ", "/w", {}, "", "", "", ""},
};

TEST(CommandLineSplit, EachPlatformsRuleOnOneTable) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    const QSet<QString> programs(row.programs.begin(), row.programs.end());
    const auto exists = [&](const QString& candidate) { return programs.contains(candidate); };

    const gw::CommandLineSplit posix = gw::splitCommandLine(row.line, row.workDir, gw::Flavour::Posix, exists);
    EXPECT_EQ(posix.program, row.posixProgram);
    EXPECT_EQ(posix.rest, row.posixRest);

    const gw::CommandLineSplit windows = gw::splitCommandLine(row.line, row.workDir, gw::Flavour::Windows, exists);
    EXPECT_EQ(windows.program, row.windowsProgram);
    EXPECT_EQ(windows.rest, row.windowsRest);
  }
}

// The Windows rule over real files: a folder is no program, ".exe" may be
// left out, a bare name is found in the working folder.
TEST(CommandLineSplit, WindowsRuleFindsTheLoaderInAFolderWithABlank) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString workDir = tmp.filePath(QStringLiteral("XAV tools"));
  ASSERT_TRUE(QDir().mkpath(workDir));
  ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("XAV"))));  // a folder named like the first prefix
  QFile loader(QDir(workDir).filePath(QStringLiteral("RuiNet.exe")));
  ASSERT_TRUE(loader.open(QIODevice::WriteOnly));
  loader.close();
  const auto exists = [&](const QString& candidate) { return gw::windowsProgramExists(candidate, workDir); };

  const gw::CommandLineSplit split =
      gw::splitCommandLine(gw::addressModeCommand(workDir, gw::Flavour::Posix), workDir, gw::Flavour::Windows, exists);
  EXPECT_EQ(split.program, QDir(workDir).filePath(QStringLiteral("RuiNet.exe")));
  EXPECT_EQ(split.rest, " -m1");

  EXPECT_TRUE(gw::windowsProgramExists(QDir(workDir).filePath(QStringLiteral("RuiNet")), workDir));
  EXPECT_TRUE(gw::windowsProgramExists(QStringLiteral("RuiNet"), workDir));
  EXPECT_TRUE(gw::windowsProgramExists(QStringLiteral("RuiNet.exe"), workDir));
  EXPECT_FALSE(gw::windowsProgramExists(tmp.filePath(QStringLiteral("XAV")), workDir));
  EXPECT_FALSE(gw::windowsProgramExists(QStringLiteral("ruiping"), workDir));
  EXPECT_FALSE(gw::windowsProgramExists(QString(), workDir));
}

}  // namespace
