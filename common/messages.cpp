#include "messages.h"

#include <QApplication>
#include <QMessageBox>

namespace xav {

namespace {
MessageHook& hook() {
  static MessageHook h;
  return h;
}
}  // namespace

void setMessageHook(MessageHook h) { hook() = std::move(h); }

void showMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text) {
  QString caption = title;
  if (caption.isEmpty()) caption = QApplication::applicationName();
  if (hook()) {
    hook()(Message{icon, caption, text});
    return;
  }
  QMessageBox box(parent);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

MessageRecorder::MessageRecorder() {
  setMessageHook([this](const Message& m) { messages_.push_back(m); });
}

MessageRecorder::~MessageRecorder() { setMessageHook({}); }

}  // namespace xav
