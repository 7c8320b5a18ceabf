#pragma once
// Modal OK message boxes. Every box a tool shows goes through here so that
// tests can record the boxes instead of blocking on them.

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace xav {

enum class MessageIcon { None, Information, Exclamation, Critical };

struct Message {
  MessageIcon icon = MessageIcon::None;
  QString title;
  QString text;
};

// Shows a modal box with an OK button. An empty title means the
// application's title (QApplication::applicationName, else the window's).
void showMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text);

// While a hook is installed, showMessage calls it instead of opening a box.
using MessageHook = std::function<void(const Message&)>;
void setMessageHook(MessageHook hook);

// For tests: records every box shown while it lives.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;
  const std::vector<Message>& messages() const { return messages_; }
  QString lastText() const { return messages_.empty() ? QString() : messages_.back().text; }
  void clear() { messages_.clear(); }

 private:
  std::vector<Message> messages_;
};

}  // namespace xav
