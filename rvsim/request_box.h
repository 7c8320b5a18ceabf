#pragma once
// The entry boxes of a register row. A request box takes digits only, 0 to
// 254, and a typed value becomes the request only when committed (Enter or
// leaving the box); while typing the box is cyan, and reads still return the
// value it had. A caption box passes Enter on to its row's request box.

#include <QLineEdit>

namespace rvsim {

class RequestBox : public QLineEdit {
  Q_OBJECT
 public:
  RequestBox(int index, QWidget* parent);
  int index() const { return index_; }
  bool inEntry() const { return inEntry_; }
  // Text := its value in plain decimal (0 to 254), white again.
  void commit();

 signals:
  void stepFocus(int index, int delta);
  void gainedFocus(int index);
  void lostFocus(int index);
  // The text or the entry state changed.
  void entryChanged(int index);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool typeKey(QKeyEvent* e);
  void setEntry(bool on);
  int index_;
  bool inEntry_ = false;
};

class CaptionBox : public QLineEdit {
  Q_OBJECT
 public:
  CaptionBox(int index, QWidget* parent);
  int index() const { return index_; }
 signals:
  void enterPressed(int index);
  void lostFocus(int index);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  int index_;
};

// Paints a box's (or a lamp's) background, with the fixed text colour that
// reads on it; nothing is done when it already has them.
void setBackground(QWidget* w, QRgb colour);
// Back to the window's palette (background and text) after setBackground.
void followPalette(QWidget* w);
// The text colour used on a fixed background: black, or white on dark ones.
QRgb textColourOn(QRgb background);
// Background colour of a box as painted.
QRgb backgroundOf(const QWidget* w);

}  // namespace rvsim
