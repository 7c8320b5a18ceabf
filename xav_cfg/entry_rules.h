#pragma once
// Entry rules of the serial option frames, widget-free.

#include <QString>

namespace xavcfg {

// Text3 of the Modbus scanner frame: the last register, base + 39.
QString lastRegisterText(const QString& baseRegText);

// The DF1 display update: the base register clamped to 216 and an empty
// one made "0", then the position and request register ranges.
struct Df1Display {
  QString baseText;   // what txtBaseRegDF1 must hold
  QString positions;  // txtDf1Pos, "N12:0 - N12:19"
  QString requests;   // txtDF1Req, "N12:20 - N12:39"
};
Df1Display df1Display(const QString& baseText, const QString& fileText);

}  // namespace xavcfg
