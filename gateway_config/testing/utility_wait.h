#pragma once
// Synchronous-looking waits for a utility run: each starts the run and
// returns its result after a local event loop that ends when the run ends
// (its own end, cancel() or the runner's time limit). For tests and the core
// probe; the configuration core and the tools drive sessions on their one
// event loop instead.

#include <QByteArray>
#include <QString>

#include "utility_runner.h"
#include "verify.h"

namespace gw {

// Starts the text on runner and returns its result once it has ended. When
// the runner is busy, returns at once with outcome Busy.
RunResult runAndWait(UtilityRunner& runner, const QString& commandText, int windowStyle);

// runAndWait on the shared runner (sharedUtilityRunner), so an observer of
// that runner sees the wait and its Cancel ends it. Called while the shared
// runner is busy, the text runs on a runner of its own that nobody observes.
// A command that cannot be started shows the "Error starting task" message
// and returns NotStarted; an empty text does nothing.
RunResult ShellAndWait(const QString& commandText, int windowStyle);

// Fetches moduleAddress's Config.csv into workDir on runner, compares it with
// sent and deletes the fetched copy again, as ConfigVerifier does, waiting
// with runAndWait. A busy runner or an address that is no dotted IPv4
// address gives FetchFailed at once.
VerifyResult verifyModuleConfig(UtilityRunner& runner, const QString& workDir, const QString& moduleAddress,
                                const QByteArray& sent);

}  // namespace gw
