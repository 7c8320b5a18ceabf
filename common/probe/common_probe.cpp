// Links against the shared core alone and uses it: proof that it needs no
// display libraries.
#include <QCoreApplication>

#include "messages.h"
#include "numbers.h"
#include "platform.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  xav::MessageRecorder recorder;
  xav::tell(xav::MessageIcon::Information, QString(), QStringLiteral("probe"));
  const bool ok = xav::leadingNumber(u"40001") == 40001 && recorder.messages().size() == 1 &&
                  !xav::platform::configDir().isEmpty();
  return ok ? 0 : 1;
}
