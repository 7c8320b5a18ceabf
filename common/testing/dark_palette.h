#pragma once
// The palette of a dark desktop theme, for the layout tests and the
// screenshots: dark backgrounds, light text.

#include <QPalette>

namespace xav::testing {

QPalette darkPalette();

}  // namespace xav::testing
