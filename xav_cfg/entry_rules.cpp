#include "entry_rules.h"

#include "numbers.h"

namespace xavcfg {

QString lastRegisterText(const QString& baseRegText) {
  return xav::plainDecimal(xav::leadingInteger(baseRegText) + 39);
}

Df1Display df1Display(const QString& baseText, const QString& fileText) {
  Df1Display d;
  d.baseText = baseText;
  if (xav::leadingNumber(d.baseText) > 216) d.baseText = QStringLiteral("216");
  if (d.baseText.isEmpty()) d.baseText = QStringLiteral("0");
  const long long b = xav::leadingInteger(d.baseText);
  const QString n = QStringLiteral("N") + fileText + QLatin1Char(':');
  d.positions = n + d.baseText + QStringLiteral(" - ") + n + xav::plainDecimal(b + 19);
  d.requests = n + xav::plainDecimal(b + 20) + QStringLiteral(" - ") + n + xav::plainDecimal(b + 39);
  return d;
}

}  // namespace xavcfg
