#pragma once
// The modal message boxes behind xav::tell and xav::showMessage.

#include "messages.h"

namespace xav {

// Makes xav::tell show a modal box over the active window. Each tool's main
// calls it once; tests do not, so a message never blocks a test.
void installMessageBoxes();

}  // namespace xav
