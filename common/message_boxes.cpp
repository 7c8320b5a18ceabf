#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace xav {

namespace {
void showBox(QWidget* parent, const Message& message) {
  QMessageBox box(parent);
  box.setWindowTitle(message.title);
  box.setText(message.text);
  if (!message.detail.isEmpty()) box.setDetailedText(message.detail);
  switch (message.icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}
}  // namespace

void installMessageBoxes() {
  setMessagePresenter([](const Message& m) { showBox(QApplication::activeWindow(), m); });
}

void showMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                 const QString& detail) {
  const Message message{icon, messageCaption(title), text, detail};
  if (deliverToHook(message)) return;
  showBox(parent, message);
}

}  // namespace xav
