// Test entry point of the simulator core: a QCoreApplication only, so the
// core's tests prove it runs with no Gui or Widgets linked.
#include <gtest/gtest.h>

#include <QCoreApplication>

extern "C" const char* __asan_default_options() { return "detect_leaks=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libQt6Core\nleak:libglib\n"; }

int main(int argc, char** argv) {
  // Tests find the programs here (the build's bin folder).
  if (qEnvironmentVariableIsEmpty("XAV_BIN_DIR")) qputenv("XAV_BIN_DIR", RVSIM_TEST_BIN_DIR);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
