#include "utility_wait.h"

#include <QEventLoop>

#include "commands.h"

namespace gw {

RunResult runAndWait(UtilityRunner& runner, const QString& commandText, int windowStyle) {
  RunResult out;
  out.commandText = commandText;
  if (runner.isBusy()) {
    out.outcome = RunOutcome::Busy;
    return out;
  }
  QEventLoop loop;
  bool done = false;
  const QMetaObject::Connection c =
      QObject::connect(&runner, &UtilityRunner::finished, &loop, [&](const RunResult& r) {
        out = r;
        done = true;
        loop.quit();
      });
  runner.start(commandText, windowStyle);
  // Bounded: the run always finishes (its end, cancel() or the time limit).
  if (!done) loop.exec();
  QObject::disconnect(c);
  return out;
}

RunResult ShellAndWait(const QString& commandText, int windowStyle) {
  UtilityRunner& shared = sharedUtilityRunner();
  if (!shared.isBusy()) return runAndWait(shared, commandText, windowStyle);
  UtilityRunner own;
  return runAndWait(own, commandText, windowStyle);
}

VerifyResult verifyModuleConfig(UtilityRunner& runner, const QString& workDir, const QString& moduleAddress,
                                const QByteArray& sent) {
  VerifyResult failed;
  failed.kind = VerifyResult::Kind::FetchFailed;
  failed.moduleAddress = moduleAddress;
  if (fetchConfigurationCommand(workDir, moduleAddress).isEmpty()) {
    failed.detail = notAnAddressMessage(moduleAddress);
    return failed;
  }
  failed.moduleAddress = normalAddress(moduleAddress);
  if (runner.isBusy()) {
    failed.detail = QStringLiteral("another utility is still running");
    return failed;
  }
  // The verifier's own run, waited for here.
  ConfigVerifier verifier(runner);
  VerifyResult result = failed;
  QEventLoop loop;
  bool done = false;
  QObject::connect(&verifier, &ConfigVerifier::finished, &loop, [&](const VerifyResult& r) {
    result = r;
    done = true;
    loop.quit();
  });
  if (!verifier.start(workDir, moduleAddress, sent)) return failed;
  if (!done) loop.exec();
  return result;
}

}  // namespace gw
