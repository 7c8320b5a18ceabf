#pragma once
// Reading numbers out of the texts of boxes, captions and replies the way the
// original tools did: the leading decimal number, blanks skipped, and a text
// without a number reads as 0.

#include <QString>
#include <QStringView>

namespace xav {

// Leading number of a text: optional sign, digits, optional fraction.
// Blanks (space, tab, CR, LF) are skipped wherever they stand inside the
// number, so " 1 2" reads as 12. No exponent forms are read.
double leadingNumber(QStringView text);

// Leading number rounded to the nearest whole number, halves away from zero
// (used where a value is written into a fixed-width record column).
long long roundHalfAwayFromZero(double v);

// Nearest whole number, halves to even (the range checks of entry boxes).
long long roundHalfToEven(double v);

// Whole leading number of a text, halves away from zero; the usual reading of
// a box that holds a count or an address.
inline long long leadingInteger(QStringView text) { return roundHalfAwayFromZero(leadingNumber(text)); }

// Plain decimal without leading zeros.
inline QString plainDecimal(long long v) { return QString::number(v); }

// v in decimal, zero-padded to at least width digits ("007" for 7, 3).
QString zeroPadded(long long v, int width);

}  // namespace xav
