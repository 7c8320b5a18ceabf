#pragma once
// How the window shows the engine's row state: the captions and colours of
// the grid, chosen here and nowhere in the engine.

#include <QRgb>
#include <QString>
#include <optional>

#include "poll_engine.h"

namespace polmon {

QString statusText(const DriveRow& row);
QString buttonCaptionText(const RowButton& button);
// None: the system's button face.
std::optional<QRgb> buttonColour(ButtonMark mark);
// A row that is no longer current shows no status colour.
QRgb statusColour(const DriveRow& row);
QRgb requestColour(RequestEntry entry);
// The text colour for a fixed background: black, unless white reads better
// on it (by the contrast ratio of the two).
QRgb textColourOn(QRgb background);
// The last values of a row that is no longer current: grey, yet readable on
// the light grey boxes.
inline constexpr QRgb kStaleText = qRgb(96, 96, 96);

// "0 " before the first sweep, "0" after it, then the count and a blank.
QString errorCountText(int count);

}  // namespace polmon
