// Links against the configuration core (and the tests' wait for a utility
// run) and uses it: proof that the profiles, commands, read-back, utility
// runner, verify and the module history with its commands need no display.
#include <QCoreApplication>

#include "commands.h"
#include "history_commands.h"
#include "messages.h"
#include "profiles.h"
#include "readback.h"
#include "utility_runner.h"
#include "utility_wait.h"
#include "verify.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  gw::ConfigEntries e;
  e.protocol = gw::kModbusTcp;
  e.plcAddress = QStringLiteral("010.001.002.003");
  e.plcAddressValid = true;
  const QByteArray file = gw::generateConfig(e, QStringLiteral("//RVSIM_Captions")).bytes;
  const gw::CurrentConfig back = gw::parseCurrentConfig(file);

  gw::UtilityRunner runner;
  const gw::RunResult empty = gw::runAndWait(runner, QString(), gw::kHidden);
  xav::MessageRecorder recorder;
  const gw::RunResult missing = gw::runAndWait(runner, QStringLiteral("no-such-utility -x"), gw::kHidden);

  const bool ok = back.field(1) == QStringLiteral("10.1.2.3") &&
                  gw::normalAddress(QStringLiteral("01.02.03.004")) == QStringLiteral("1.2.3.4") &&
                  gw::compareConfigs(file, file).identical() && empty.succeeded() &&
                  missing.outcome == gw::RunOutcome::NotStarted && recorder.messages().size() == 1 &&
                  gw::diffConfigs(file, file).identical() &&
                  gw::restoreNotice({}, QStringLiteral("1.2.3.4"), QString(), false).contains(QStringLiteral("1.2.3.4")) &&
                  gw::csvRecord({QStringLiteral("a,b")}) == "\"a,b\"\r\n";
  return ok ? 0 : 1;
}
