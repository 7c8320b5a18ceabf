#pragma once
// The headless mode's run: the simulator on standard input and output.

namespace rvsim {

struct RunOptions;

// Serves until "quit", the end of standard input, or SIGTERM/SIGINT/SIGHUP.
// Needs a QCoreApplication (no display). Returns the exit code: 0, or 1
// when the port cannot be bound.
int runHeadless(const RunOptions& options);

}  // namespace rvsim
