#pragma once
// Small helpers of XavCfgWindow's builders (window-internal).

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QSizePolicy>
#include <QString>
#include <QWidget>

#include "wrapped_label.h"

namespace xavcfg::building {

using xav::wrapWithin;

// Hidden, it keeps its place in the layout (or, off, gives it up).
inline void keepPlace(QWidget* w, bool on = true) {
  QSizePolicy p = w->sizePolicy();
  p.setRetainSizeWhenHidden(on);
  w->setSizePolicy(p);
}

inline int textWidth(const QWidget* w, int characters) { return w->fontMetrics().averageCharWidth() * characters; }

inline QLabel* makeLabel(const QString& text, const char* name = nullptr) {
  auto* l = new QLabel(text);
  if (name) l->setObjectName(QString::fromLatin1(name));
  return l;
}

inline QLineEdit* makeBox(const char* name, const QString& text) {
  auto* e = new QLineEdit(text);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

template <class Button>
inline Button* makeButton(const QString& caption, const QString& name) {
  auto* b = new Button(caption);
  b->setObjectName(name);
  return b;
}

// A label that gives its field a mnemonic.
inline QLabel* labelFor(QWidget* field, const QString& text, const char* name = nullptr) {
  QLabel* l = makeLabel(text, name);
  l->setBuddy(field);
  return l;
}

// Tab into a group of options lands on the checked one (the first when
// none is), so one arrow key after Tab never changes a setting unasked; the
// arrow keys still move within the group.
inline void tabToCheckedOption(QButtonGroup* group) {
  auto update = [group] {
    QAbstractButton* target = group->checkedButton();
    const QList<QAbstractButton*> buttons = group->buttons();
    if (!target && !buttons.isEmpty()) target = buttons.first();
    for (QAbstractButton* b : buttons) b->setFocusPolicy(b == target ? Qt::StrongFocus : Qt::ClickFocus);
  };
  QObject::connect(group, &QButtonGroup::buttonToggled, group, update);
  update();
}


}  // namespace xavcfg::building
