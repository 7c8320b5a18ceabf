#include "drive_line.h"

#include <algorithm>

#include "drive_protocol.h"
#include "steady_clock.h"

namespace polmon {

DriveLine::DriveLine(xav::SerialLink* link, QObject* parent)
    : QObject(parent), link_(link), replyTimeoutMs_(kReplyTimeoutMs), earliestReplyNs_(kEarliestReplyNs) {
  setClock({});
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &DriveLine::check);
  connect(link_, &xav::SerialLink::dataArrived, this, &DriveLine::check);
}

void DriveLine::setClock(std::function<qint64()> nowNs) {
  nowNs_ = nowNs ? std::move(nowNs) : xav::steadyClock(1);
}

bool DriveLine::query(const QByteArray& frame, Done done, Ahead ahead) {
  if (!link_->isOpen()) return false;
  aheadHook_ = std::move(ahead);
  if (ahead_) {
    adoptAhead(frame, std::move(done));
    return true;
  }
  // Whatever waits now came before the query: it answers none. It is read,
  // not flushed, so that it is counted.
  strays_ = link_->readAll();
  reply_.clear();
  late_.clear();
  pastDeadline_ = false;
  tainted_ = false;
  thirdByteNs_.reset();
  lastByteNs_.reset();
  active_ = true;
  done_ = std::move(done);
  startNs_ = nowNs_();
  wake_.start(replyTimeoutMs_);
  link_->write(frame);
  emit frameSent(frame);
  return true;
}

bool DriveLine::send(const QByteArray& frame) {
  if (!link_->isOpen()) return false;
  link_->write(frame);
  emit frameSent(frame);
  return true;
}

void DriveLine::setHeld(bool held) {
  held_ = held;
  if (!held_) check();
}

void DriveLine::drain(std::function<void()> then) {
  if (!active_ && ahead_) {
    // The query sent ahead runs out and its answer is dropped.
    adoptAhead(ahead_->frame, nullptr);
    done_ = nullptr;
  }
  if (!active_) {
    if (then) then();
    return;
  }
  done_ = nullptr;
  afterDrain_ = std::move(then);
}

void DriveLine::cancel() {
  active_ = false;
  ahead_.reset();
  aheadHook_ = nullptr;
  done_ = nullptr;
  afterDrain_ = nullptr;
  wake_.stop();
}

void DriveLine::take(const QByteArray& bytes, qint64 nowNs) {
  if (bytes.isEmpty()) return;
  if (nowNs < earliestReplyNs_) {
    strays_ += bytes;
    return;
  }
  lastByteNs_ = nowNs;
  if (!pastDeadline_) {
    reply_ += bytes;
    if (!thirdByteNs_ && reply_.size() >= kReplyLength) thirdByteNs_ = nowNs;
  } else if (reply_.isEmpty()) {
    late_ += bytes;
  } else {
    reply_ += bytes;
    tainted_ = true;
  }
}

std::optional<qint64> DriveLine::endsAt(qint64 nowNs) const {
  const qint64 quietNs = 2 * kByteTimeNs;
  const qint64 deadlineNs = static_cast<qint64>(replyTimeoutMs_) * 1000000;
  const qint64 graceEndNs = deadlineNs + static_cast<qint64>(graceMs_.value_or(replyTimeoutMs_)) * 1000000;
  // Wherever it is used a byte has come, so lastByteNs_ is set.
  const qint64 quietAt = lastByteNs_.value_or(0) + quietNs;
  qint64 at;
  if (!pastDeadline_) {
    // Before the deadline only three bytes on a quiet line end the wait.
    at = reply_.size() == kReplyLength ? quietAt : deadlineNs;
  } else if (reply_.isEmpty() && late_.isEmpty()) {
    at = graceEndNs;  // nothing yet: a late answer may still come
  } else {
    at = std::min(quietAt, graceEndNs);  // until the answer has ended
  }
  if (nowNs >= at) return std::nullopt;
  return at;
}

void DriveLine::check() {
  if (!active_) {
    // Between the verdict and the next query being asked: kept for it.
    if (ahead_ && link_->isOpen()) {
      const QByteArray got = link_->readAll();
      if (!got.isEmpty()) ahead_->bytes.append({sinceNs(ahead_->startNs), got});
    }
    return;
  }
  const qint64 nowNs = sinceNs(startNs_);
  // What has come is judged by when it was first seen. A look that comes
  // late (a busy machine) still counts what it finds as in time, as the
  // described wait would read it at its deadline.
  const QByteArray got = link_->readAll();
  if (ahead_) {
    // Within the quiet time, and before an answer to the query sent ahead
    // could be there, a byte is this exchange's tail; later ones are the
    // next query's. A late look gives them to the next query.
    const qint64 aheadNs = sinceNs(ahead_->startNs);
    if (nowNs < *lastByteNs_ + 2 * kByteTimeNs && aheadNs < earliestReplyNs_) {
      take(got, nowNs);
    } else if (!got.isEmpty()) {
      ahead_->bytes.append({aheadNs, got});
    }
    if (held_) return;
    const qint64 endNs = *lastByteNs_ + 2 * kByteTimeNs;
    if (nowNs >= endNs) {
      finish();
      return;
    }
    wake_.start(static_cast<int>((endNs - nowNs + 999999) / 1000000));
    return;
  }
  take(got, nowNs);
  if (aheadHook_ && !held_ && !pastDeadline_ && reply_.size() == kReplyLength && link_->isOpen()) sendAhead();
  if (ahead_) {
    check();
    return;
  }
  if (nowNs >= static_cast<qint64>(replyTimeoutMs_) * 1000000) pastDeadline_ = true;
  if (held_) return;
  const std::optional<qint64> at = endsAt(nowNs);
  if (!at) {
    finish();
    return;
  }
  wake_.start(static_cast<int>((*at - nowNs + 999999) / 1000000));
}

void DriveLine::sendAhead() {
  Ahead hook = std::move(aheadHook_);
  aheadHook_ = nullptr;
  const std::optional<QByteArray> frame = hook(reply_);
  if (!frame) return;
  SentAhead a;
  a.frame = *frame;
  a.startNs = nowNs_();
  ahead_ = std::move(a);
  link_->write(*frame);
  emit frameSent(*frame);
}

void DriveLine::adoptAhead(const QByteArray& frame, Done done) {
  SentAhead a = std::move(*ahead_);
  ahead_.reset();
  reply_.clear();
  strays_.clear();
  late_.clear();
  pastDeadline_ = false;
  tainted_ = false;
  thirdByteNs_.reset();
  lastByteNs_.reset();
  active_ = true;
  startNs_ = a.startNs;
  if (frame == a.frame) {
    done_ = std::move(done);
  } else {
    // Something else is wanted now: the answer to the frame sent ahead is
    // let in and dropped, then the query asked for goes out.
    Ahead hook = std::move(aheadHook_);
    aheadHook_ = nullptr;
    done_ = [this, frame, done = std::move(done), hook = std::move(hook)](const Answer&) mutable {
      if (!query(frame, std::move(done), std::move(hook)) && done) done(Answer{});
    };
  }
  for (const auto& [ns, bytes] : a.bytes) {
    if (ns >= static_cast<qint64>(replyTimeoutMs_) * 1000000) pastDeadline_ = true;
    take(bytes, ns);
  }
  // Judged from the event loop, never inside the caller's step.
  wake_.start(0);
}

void DriveLine::finish() {
  active_ = false;
  wake_.stop();
  Answer answer;
  answer.reply = std::move(reply_);
  answer.strays = std::move(strays_);
  answer.late = std::move(late_);
  reply_.clear();
  strays_.clear();
  late_.clear();
  answer.clean = answer.reply.size() == kReplyLength && !tainted_;
  if (answer.clean) answer.replyNs = thirdByteNs_;
  Done done = std::move(done_);
  done_ = nullptr;
  if (afterDrain_) {
    auto then = std::move(afterDrain_);
    afterDrain_ = nullptr;
    if (ahead_) {
      // The query sent ahead belongs to what is drained as well.
      adoptAhead(ahead_->frame, nullptr);
      afterDrain_ = std::move(then);
      return;
    }
    then();
    return;
  }
  if (done) done(answer);
}

}  // namespace polmon
