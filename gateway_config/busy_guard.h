#pragma once
// Whether a configuration window is busy with an operation, shared by both
// windows: while busy a window takes no new operation (timer ticks, clicks)
// and a close waits until the operation has ended (closing at once would
// delete files under a running loader). An operation is either a scope (a
// BusyGuard) or a session, busy from its start until finished().

#include <QObject>

namespace gw {

class Session;

class BusyState : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  bool isBusy() const { return depth_ > 0; }

  // Busy until the session's next finished(); call it once start() has
  // returned true (finished() then always follows).
  void holdWhile(Session& session);

  void enter();
  void leave();

 signals:
  // On the first enter and on the last leave.
  void busyChanged(bool busy);

 private:
  int depth_ = 0;
};

class BusyGuard {
 public:
  explicit BusyGuard(BusyState& state) : state_(state) { state_.enter(); }
  ~BusyGuard() { state_.leave(); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  BusyState& state_;
};

}  // namespace gw
