// The outside toolbox's command text; the discovery's own texts are the
// configuration core's (module_discovery.h).
#include <QDir>

#include "commands.h"
#include "discovery.h"

namespace xavcfg {

QString toolboxCommand(const QString& toolboxDir, gw::Flavour f) {
  // Started from the toolbox directory, so the layer finds the program there.
  if (f == gw::Flavour::Windows)
    return gw::directoryText(toolboxDir, f) + QStringLiteral("\\FieldServerToolbox.exe ");
  return QDir(toolboxDir).filePath(QStringLiteral("FieldServerToolbox.exe")) + QLatin1Char(' ');
}

}  // namespace xavcfg
