#pragma once
// A label that wraps its text inside a layout the screen may shrink to its
// minimum (windows, tools alike).

#include <QLabel>
#include <QSizePolicy>

namespace xav {

// Wraps the label's text and sizes it for the given width at least: the
// layout then needs no height-for-width, which a window's minimum size does
// not take into account (at its minimum, a wrapped label would lose lines),
// and which would otherwise make the minimum height the natural height.
inline void wrapWithin(QLabel* label, int minimumWidth) {
  label->setWordWrap(true);
  label->setMinimumWidth(minimumWidth);
  const int height = label->heightForWidth(minimumWidth);
  if (height > 0) label->setMinimumHeight(height);
  QSizePolicy p = label->sizePolicy();
  p.setHeightForWidth(false);
  label->setSizePolicy(p);
}

}  // namespace xav
