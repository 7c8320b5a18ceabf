#pragma once
// The 20 drives of a network are named A to R, then T and U; S is never used
// because it is the status command byte on the wire.

#include <QChar>

namespace xav {

inline constexpr int kDriveCount = 20;

// Letter of the drive in row index 0..19; QChar() outside that range.
inline QChar driveLetter(int index) {
  if (index < 0 || index >= kDriveCount) return QChar();
  return QChar(index < 18 ? 'A' + index : 'T' + (index - 18));
}

// Row index 0..19 of a drive letter, -1 for anything else (including S).
inline int driveIndex(QChar letter) {
  const char16_t c = letter.unicode();
  if (c >= u'A' && c <= u'R') return c - u'A';
  if (c == u'T' || c == u'U') return 18 + (c - u'T');
  return -1;
}

}  // namespace xav
