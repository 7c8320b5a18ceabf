// Test entry point: a QApplication exists for every test, so widget and
// event-loop tests run headless (QT_QPA_PLATFORM=offscreen) in any binary.
#include <gtest/gtest.h>

#include <QApplication>

// Sanitizer defaults for every test binary; the sanitizer runtimes read these
// before main. Leaks inside font and platform libraries are not ours to free.
extern "C" const char* __asan_default_options() { return "detect_leaks=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libQt6Core\nleak:libQt6Gui\nleak:libQt6Widgets\n"
         "leak:libglib\nleak:libdbus\n";
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests find the bench programs here (the build's bin folder).
  if (qEnvironmentVariableIsEmpty("XAV_BIN_DIR")) qputenv("XAV_BIN_DIR", XAV_TEST_BIN_DIR);
  // The tools' KillProcess ends only what this test started, not the
  // utilities of tests running beside it.
  if (qEnvironmentVariableIsEmpty("XAV_KILL_TREE_PID"))
    qputenv("XAV_KILL_TREE_PID", QByteArray::number(QCoreApplication::applicationPid()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
