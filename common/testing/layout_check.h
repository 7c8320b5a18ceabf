#pragma once
// Offscreen layout checks for GUI tests: text that does not fit its control,
// sibling controls that overlap or leave their parent, windows whose minimum
// size does not fit a small screen, text that is unreadable on a background
// the code painted, fonts forced smaller than the user's, and controls the
// keyboard cannot reach (by Tab, or by the mnemonic of their label).

#include <QFont>
#include <QList>
#include <QPalette>
#include <QSize>
#include <QString>
#include <QStringList>

#include "dark_palette.h"

class QColor;
class QWidget;

namespace xav::testing {

// Set this dynamic property on a widget whose text is meant to be elided
// or scrolled (e.g. a path field), so its text is not required to fit.
inline constexpr const char* ElidesTextProperty = "xavLayoutCheckElides";

struct LayoutCheckOptions {
  // The logical screen the window must fit (about 1366x768 at 150 %).
  QSize screen{900, 500};
  double minimumContrast = 4.5;
  // Also resize the window to the smallest size the screen allows and check
  // again, since that is where fixed widths and overlaps show.
  bool checkAtSmallestSize = true;
  // Walk the window with Tab (at the smallest size, where one is checked):
  // every Tab stop is reached and is in view when it has the focus; every
  // field with a label has a mnemonic there, and it leads to the field.
  // Off unless asked for: the walk moves the focus, which a window under
  // test may act on.
  bool checkKeyboard = false;
};

// One finding, readable in a test's failure message.
struct LayoutProblem {
  enum class Kind { TextClipped, Overlap, OutsideParent, MinimumSize, Contrast, ForcedFont, NotReachable, Mnemonic };
  Kind kind;
  QString where;   // object path of the widget(s)
  QString detail;  // what was measured
  QString toString() const;
};

// Checks a top-level widget as it is shown now (it is shown and laid out if
// it is not yet visible). Returns every problem found; empty means it passes.
QList<LayoutProblem> checkLayout(QWidget* window, const LayoutCheckOptions& options = {});
QStringList describe(const QList<LayoutProblem>& problems);

// Only the keyboard part of checkLayout(), at the window's current size.
QList<LayoutProblem> checkKeyboard(QWidget* window);

// WCAG 2 contrast ratio of two opaque colours, 1..21.
double contrastRatio(const QColor& a, const QColor& b);

// darkPalette(): the palette a dark desktop theme hands to Qt applications.

// One appearance a window must survive: an application font size and a
// palette. The screen scale cannot be switched inside one process (it is read
// when QApplication starts); xav_add_layout_gtest runs each test binary once
// per scale instead.
struct Appearance {
  QString name;
  int pointSize;
  bool dark;
};
QList<Appearance> standardAppearances();  // 9, 11, 14 pt light; 9 pt dark
double screenScale();                      // the scale this process runs at
QString appearanceLabel(const Appearance& appearance);  // e.g. "14pt dark @1.5"

// Applies an appearance to the whole application for its lifetime and puts
// back the font and palette it found. Create windows after it, as a user
// starting the tool on that desktop would.
class ScopedAppearance {
 public:
  explicit ScopedAppearance(const Appearance& appearance);
  ~ScopedAppearance();
  ScopedAppearance(const ScopedAppearance&) = delete;
  ScopedAppearance& operator=(const ScopedAppearance&) = delete;

 private:
  QFont font_;
  QPalette palette_;
};

}  // namespace xav::testing
