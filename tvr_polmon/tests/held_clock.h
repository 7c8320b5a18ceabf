#pragma once
// A drive line clock for tests whose fake drives answer through the event
// loop: real time, except that it never passes the moment a pending reply is
// due until that reply has been delivered. A reply then takes exactly the
// delay the fake gives it, however late a busy machine delivers it, while a
// silent drive still runs out its deadline in real time.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <set>

#include "fake_serial_link.h"
#include "poll_engine.h"

namespace polmon::testing {

class HeldClock {
 public:
  // The clock is shared with the engine, so either may be destroyed first.
  void install(PollEngine& engine) const {
    engine.setLineClock([s = state_] { return s->nowNs(); });
  }

  // `reply` reaches `link` after `delayMs`, and the line reads it as having
  // come exactly then. Nothing is fed once `context` is gone.
  void answer(QObject* context, xav::testing::FakeSerialLink& link, const QByteArray& reply, int delayMs = 0) const {
    const qint64 due = state_->nowNs() + qint64{delayMs} * 1'000'000;
    state_->due.insert(due);
    QTimer::singleShot(delayMs, context, [s = state_, &link, reply, due] {
      s->release(due);
      link.feed(reply);
    });
  }

 private:
  struct State {
    State() { real.start(); }
    qint64 nowNs() const {
      const qint64 t = real.nsecsElapsed() - offsetNs;
      return due.empty() ? t : std::min(t, *due.begin());
    }
    // The clock stands at `at` and goes on from there, whatever the real
    // time now is. Readings never passed the earliest due moment, so it
    // only ever moves forward.
    void release(qint64 at) {
      due.erase(due.find(at));
      offsetNs = real.nsecsElapsed() - at;
    }
    QElapsedTimer real;
    qint64 offsetNs = 0;
    std::multiset<qint64> due;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace polmon::testing
