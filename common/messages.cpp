#include "messages.h"

#include <QCoreApplication>
#include <QDebug>

namespace xav {

namespace {
MessageHook& hook() {
  static MessageHook h;
  return h;
}
MessageHook& presenter() {
  static MessageHook p;
  return p;
}
}  // namespace

void setMessageHook(MessageHook h) { hook() = std::move(h); }
void setMessagePresenter(MessageHook p) { presenter() = std::move(p); }

QString messageCaption(const QString& title) {
  return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

bool deliverToHook(const Message& message) {
  if (!hook()) return false;
  hook()(message);
  return true;
}

void tell(MessageIcon icon, const QString& title, const QString& text, const QString& detail) {
  const Message message{icon, messageCaption(title), text, detail};
  if (deliverToHook(message)) return;
  if (presenter()) {
    presenter()(message);
    return;
  }
  // No window layer (a headless run): the message still reaches someone.
  qWarning().noquote() << message.title + QStringLiteral(": ") + message.text +
                              (message.detail.isEmpty() ? QString() : QStringLiteral("\n") + message.detail);
}

MessageRecorder::MessageRecorder() {
  setMessageHook([this](const Message& m) { messages_.push_back(m); });
}

MessageRecorder::~MessageRecorder() { setMessageHook({}); }

}  // namespace xav
