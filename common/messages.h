#pragma once
// What the tools must tell the user (the original's OK message boxes). Cores
// call tell(); the window layer installs a presenter that shows the modal box
// (message_boxes.h), and tests record every message instead of blocking.

#include <QString>
#include <functional>
#include <vector>

namespace xav {

enum class MessageIcon { None, Information, Exclamation, Critical };

struct Message {
  MessageIcon icon = MessageIcon::None;
  QString title;
  QString text;
  QString detail;  // the box's detail text: background and what to do; may be empty
};

using MessageHook = std::function<void(const Message&)>;

// Tells the user. An empty title means the application's name. Goes to the
// test hook when one is installed, else to the presenter, else to the log.
void tell(MessageIcon icon, const QString& title, const QString& text, const QString& detail = {});

// The window layer's way of showing a message (a modal box).
void setMessagePresenter(MessageHook presenter);

// While a hook is installed, every message goes to it and no box opens.
void setMessageHook(MessageHook hook);

// The caption a message with this title gets: the title, or the
// application's name when it is empty.
QString messageCaption(const QString& title);

// Hands the message to the test hook; false when none is installed.
bool deliverToHook(const Message& message);

// For tests: records every message told or shown while it lives.
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
