#pragma once
// The colours the tools paint boxes, lamps and buttons with.

#include <QColor>
#include <QRgb>

namespace xav::colours {

inline constexpr QRgb White = qRgb(255, 255, 255);
// Invalid entry; the original's colour value 8421631 (hex 8080FF, BGR order).
inline constexpr QRgb LightRed = qRgb(255, 128, 128);
inline constexpr QRgb LightGrey = qRgb(224, 224, 224);
inline constexpr QRgb Green = qRgb(0, 255, 0);
inline constexpr QRgb Red = qRgb(255, 0, 0);
inline constexpr QRgb Cyan = qRgb(0, 255, 255);
inline constexpr QRgb Orange = qRgb(255, 128, 0);
inline constexpr QRgb Magenta = qRgb(255, 0, 255);
inline constexpr QRgb Yellow = qRgb(255, 255, 0);

// A colour value written the original way (blue in the high byte, red low).
inline constexpr QRgb fromBgrValue(unsigned value) {
  return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

}  // namespace xav::colours
