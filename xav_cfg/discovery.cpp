#include "discovery.h"

#include <QDir>

namespace xavcfg {

bool loaderPresent() {
  const QStringList names = QDir::current().entryList(QDir::Files);
  for (const QString& n : names)
    if (n.compare(QLatin1String("ruinet.exe"), Qt::CaseInsensitive) == 0) return true;
  return false;
}

}  // namespace xavcfg
