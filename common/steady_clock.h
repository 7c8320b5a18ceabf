#pragma once
// The steady clock the cores time with by default; tests hand them their own.

#include <QElapsedTimer>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace xav {

// Time since the call, in units of `unitNs` nanoseconds (1: nanoseconds,
// 1'000'000: milliseconds).
inline std::function<qint64()> steadyClock(qint64 unitNs) {
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  return [timer, unitNs] { return timer->nsecsElapsed() / unitNs; };
}

}  // namespace xav
