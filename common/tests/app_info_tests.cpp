// Qt's own options must reach the application untouched and never trip the
// programs' own parsers, in every form Qt accepts.
#include <gtest/gtest.h>

#include "app_info.h"

TEST(QtOptions, AreTakenOutWithTheirValuesInEveryForm) {
  const QStringList in = {"XAVE",          "-style",  "Fusion", "--stylesheet=dark.qss", "-platform", "xcb",
                          "--no-such",     "-reverse", "-h",    "--style",               "Windows",   "-style=Fusion",
                          "-stylesheet",   "a.qss",   "word"};
  EXPECT_EQ(xav::withoutQtOptions(in), (QStringList{"XAVE", "--no-such", "-h", "word"}));
  // Names that only start like one of Qt's stay, as does the program's path.
  EXPECT_EQ(xav::withoutQtOptions({"-style", "-styles", "x", "-reverse=1"}),
            (QStringList{"-style", "-styles", "x", "-reverse=1"}));
  // A value-taking option at the very end takes nothing with it.
  EXPECT_EQ(xav::withoutQtOptions({"p", "-platform"}), QStringList{"p"});
}

TEST(QtOptions, StyleChosenByTheUserIsRecognised) {
  qunsetenv("QT_STYLE_OVERRIDE");
  EXPECT_FALSE(xav::styleChosenByUser({"TVR_Polmon", "-stylesheet", "a.qss"}));
  EXPECT_FALSE(xav::styleChosenByUser({"-style"}));  // the program's own path
  EXPECT_TRUE(xav::styleChosenByUser({"TVR_Polmon", "-style", "Windows"}));
  EXPECT_TRUE(xav::styleChosenByUser({"TVR_Polmon", "--style=Windows"}));
  qputenv("QT_STYLE_OVERRIDE", "Windows");
  EXPECT_TRUE(xav::styleChosenByUser({"TVR_Polmon"}));
  qunsetenv("QT_STYLE_OVERRIDE");
}
