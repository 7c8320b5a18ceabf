// Entry point of the core's tests: a QCoreApplication only, so these tests
// prove the engine runs with no display library linked.
#include <gtest/gtest.h>

#include <QCoreApplication>

extern "C" const char* __asan_default_options() { return "detect_leaks=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
