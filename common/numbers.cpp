#include "numbers.h"

#include <cmath>
#include <limits>

namespace xav {

namespace {
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
}  // namespace

double leadingNumber(QStringView text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto skipBlanks = [&] {
    while (i < n && isBlank(text[i])) ++i;
  };
  skipBlanks();
  bool negative = false;
  if (i < n && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  double value = 0.0;
  bool any = false;
  for (;; ++i) {
    skipBlanks();
    if (i >= n || !text[i].isDigit() || text[i].unicode() > 127) break;
    value = value * 10.0 + (text[i].unicode() - u'0');
    any = true;
  }
  if (i < n && text[i] == u'.') {
    ++i;
    double scale = 0.1;
    for (;; ++i) {
      skipBlanks();
      if (i >= n || !text[i].isDigit() || text[i].unicode() > 127) break;
      value += scale * (text[i].unicode() - u'0');
      scale /= 10.0;
      any = true;
    }
  }
  if (!any || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

namespace {
long long clampToLongLong(double v) {
  constexpr double lo = static_cast<double>(std::numeric_limits<long long>::min());
  constexpr double hi = static_cast<double>(std::numeric_limits<long long>::max());
  if (!(v > lo)) return std::numeric_limits<long long>::min();
  if (!(v < hi)) return std::numeric_limits<long long>::max();
  return static_cast<long long>(v);
}
}  // namespace

long long roundHalfAwayFromZero(double v) {
  if (std::isnan(v)) return 0;
  return clampToLongLong(std::round(v));
}

long long roundHalfToEven(double v) {
  if (std::isnan(v)) return 0;
  double fl = std::floor(v);
  double diff = v - fl;
  double r;
  if (diff > 0.5) r = fl + 1.0;
  else if (diff < 0.5) r = fl;
  else r = (std::fmod(fl, 2.0) == 0.0) ? fl : fl + 1.0;
  return clampToLongLong(r);
}

QString zeroPadded(long long v, int width) {
  QString digits = QString::number(v < 0 ? -v : v);
  if (digits.size() < width) digits = QString(width - digits.size(), u'0') + digits;
  return v < 0 ? u'-' + digits : digits;
}

}  // namespace xav
