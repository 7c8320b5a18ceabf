#include "busy_guard.h"

#include "sessions.h"

namespace gw {

void BusyState::enter() {
  if (depth_++ == 0) emit busyChanged(true);
}

void BusyState::leave() {
  if (depth_ == 0) return;
  if (--depth_ == 0) emit busyChanged(false);
}

void BusyState::holdWhile(Session& session) {
  enter();
  // Single-shot: the session may be started again later and held anew.
  connect(&session, &Session::finished, this, [this] { leave(); }, Qt::SingleShotConnection);
}

}  // namespace gw
