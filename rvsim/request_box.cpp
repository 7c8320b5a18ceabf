#include "request_box.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

#include "colours.h"
#include "frame_handler.h"
#include "numbers.h"

namespace rvsim {

void setBackground(QWidget* w, QRgb colour) {
  QPalette p = w->palette();
  if (p.color(QPalette::Base).rgb() == colour && p.color(QPalette::Window).rgb() == colour &&
      p.color(QPalette::Text).rgb() == textColourOn(colour)) {
    return;
  }
  // A fixed background gets a fixed text colour, or a dark theme's light
  // text would sit on it unreadable.
  const QColor text = QColor::fromRgb(textColourOn(colour));
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(g, QPalette::Base, QColor::fromRgb(colour));
    p.setColor(g, QPalette::Window, QColor::fromRgb(colour));
    p.setColor(g, QPalette::Text, text);
    p.setColor(g, QPalette::WindowText, text);
  }
  w->setPalette(p);
}

void followPalette(QWidget* w) {
  if (w->testAttribute(Qt::WA_SetPalette)) w->setPalette(QPalette());
}

QRgb textColourOn(QRgb background) {
  // Whichever of black and white contrasts more (relative luminance, sRGB):
  // black on every colour the window paints.
  auto linear = [](int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const double l = 0.2126 * linear(qRed(background)) + 0.7152 * linear(qGreen(background)) +
                   0.0722 * linear(qBlue(background));
  return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
}

QRgb backgroundOf(const QWidget* w) { return w->palette().color(QPalette::Base).rgb(); }

// ---- request box ----------------------------------------------------------

RequestBox::RequestBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setObjectName(QStringLiteral("ReqReg(%1)").arg(index));
  // Only typed digits may reach a request: no paste, no drops.
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  // An input method's composed text would bypass the key rules.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setEntry(false);
  connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!inEntry_ && xav::leadingInteger(t) == 0 && t != QStringLiteral("0")) setText(QStringLiteral("0"));
    emit entryChanged(index_);
  });
}

void RequestBox::setEntry(bool on) {
  inEntry_ = on;
  setBackground(this, on ? xav::colours::Cyan : xav::colours::White);
  emit entryChanged(index_);
}

void RequestBox::commit() {
  setText(QString::number(requestValue(text())));
  setEntry(false);
}

void RequestBox::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if (key == Qt::Key_Down || key == Qt::Key_Up) {
    const int delta = key == Qt::Key_Down ? 1 : -1;
    if (index_ + delta >= 1 && index_ + delta <= kRows) emit stepFocus(index_, delta);
    return;
  }
  if (key == Qt::Key_Delete) {
    // The entry begins with the text kept; the box then deletes as usual.
    // Within an entry the committed value stays what reads return: it must
    // never become a half-typed value that a read would hand to the drive.
    if (!inEntry_) setEntry(true);
    QLineEdit::keyPressEvent(e);
    return;
  }
  if (!typeKey(e)) {
    // Caret movement and the like; a paste key that types nothing
    // (Shift+Insert) is swallowed. Ctrl+V and Ctrl+X type a control
    // character: they start an entry and are refused like any letter.
    if (!e->matches(QKeySequence::Paste)) QLineEdit::keyPressEvent(e);
  }
}

// A key that produces a character (Backspace and Enter included); false
// for any other key, which is left to the box.
bool RequestBox::typeKey(QKeyEvent* e) {
  const int key = e->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  const bool backspace = key == Qt::Key_Backspace;
  const bool control = e->modifiers() & Qt::ControlModifier;
  if (!(enter || backspace || !e->text().isEmpty() || (control && key >= Qt::Key_A && key <= Qt::Key_Z))) return false;
  if (!inEntry_) {
    // The first key of a new value: the old one stays for reads, the box starts afresh.
    setEntry(true);
    setText(QString());
  }
  const QString t = e->text();
  if (t.size() == 1 && t[0] >= u'0' && t[0] <= u'9' && !control) {
    // The caret is where the selection starts, whichever way it was made.
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    const QString prospective = text().left(caret) + t + text().mid(caret);
    if (xav::leadingInteger(prospective) <= kMaxRequest) QLineEdit::keyPressEvent(e);
  } else if (backspace) {
    QLineEdit::keyPressEvent(e);
  } else if (enter) {
    commit();
  }
  // Any other key is swallowed.
  return true;
}

void RequestBox::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  emit gainedFocus(index_);
}

void RequestBox::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // Switching to another program or opening a menu is not moving on.
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  commit();
  emit lostFocus(index_);
}

void RequestBox::inputMethodEvent(QInputMethodEvent* e) { e->ignore(); }

void RequestBox::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton) return;  // X11 selection paste
  QLineEdit::mousePressEvent(e);
}

void RequestBox::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton) return;
  QLineEdit::mouseReleaseEvent(e);
}

// ---- caption box ----------------------------------------------------------

CaptionBox::CaptionBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setObjectName(QStringLiteral("CapReg(%1)").arg(index));
  setBackground(this, xav::colours::White);
}

void CaptionBox::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    emit enterPressed(index_);
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void CaptionBox::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  emit lostFocus(index_);
}

}  // namespace rvsim
