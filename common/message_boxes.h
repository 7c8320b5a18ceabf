#pragma once
// The modal message boxes behind xav::tell and xav::showMessage.

#include "messages.h"

class QWidget;

namespace xav {

// Shows a modal box with an OK button over parent, or hands the message to
// the test hook when one is installed.
void showMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                 const QString& detail = {});

// Makes xav::tell show a modal box over the active window. Each tool's main
// calls it once; tests do not, so a message never blocks a test.
void installMessageBoxes();

}  // namespace xav
