#include "drive_line.h"

#include "drive_protocol.h"

namespace polmon {

DriveLine::DriveLine(xav::SerialLink* link, QObject* parent)
    : QObject(parent), link_(link), replyTimeoutMs_(kReplyTimeoutMs), earliestReplyNs_(kEarliestReplyNs) {
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, &DriveLine::check);
  connect(link_, &xav::SerialLink::dataArrived, this, &DriveLine::check);
}

bool DriveLine::query(const QByteArray& frame, Done done, bool inDoubt) {
  if (!link_->isOpen()) return false;
  // Whatever waits now came before the query: it answers none.
  strays_ = link_->readAll();
  link_->discardInput();
  active_ = true;
  inDoubt_ = inDoubt;
  thirdByteNs_.reset();
  done_ = std::move(done);
  clock_.start();
  deadline_.start(replyTimeoutMs_);
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
  if (!active_) {
    if (then) then();
    return;
  }
  done_ = nullptr;
  afterDrain_ = std::move(then);
}

void DriveLine::cancel() {
  active_ = false;
  done_ = nullptr;
  afterDrain_ = nullptr;
  deadline_.stop();
}

void DriveLine::check() {
  if (!active_) return;
  const qint64 elapsedNs = clock_.nsecsElapsed();
  if (elapsedNs < earliestReplyNs_ && link_->bytesWaiting() > 0) strays_ += link_->readAll();
  if (!thirdByteNs_ && link_->bytesWaiting() >= kReplyLength) thirdByteNs_ = elapsedNs;
  if (held_) return;
  const qint64 limitNs = static_cast<qint64>(replyTimeoutMs_) * 1000000;
  if (elapsedNs > limitNs || replyComplete(elapsedNs)) {
    finish();
    return;
  }
  if (!deadline_.isActive()) deadline_.start(static_cast<int>((limitNs - elapsedNs) / 1000000) + 1);
}

bool DriveLine::replyComplete(qint64 elapsedNs) {
  // Only exactly three waiting bytes end the wait early; more run to the
  // deadline.
  if (link_->bytesWaiting() != kReplyLength) return false;
  if (!inDoubt_ && strays_.isEmpty()) return true;
  // In doubt: the third byte counts once the line has stayed quiet after it.
  const qint64 quietNs = elapsedNs - *thirdByteNs_;
  if (quietNs >= kEarliestReplyNs) return true;
  deadline_.start(static_cast<int>((kEarliestReplyNs - quietNs) / 1000000) + 1);
  return false;
}

void DriveLine::finish() {
  active_ = false;
  deadline_.stop();
  Answer answer;
  answer.reply = link_->readAll();
  answer.strays = std::move(strays_);
  strays_.clear();
  if (answer.reply.size() == kReplyLength) answer.replyNs = thirdByteNs_;
  Done done = std::move(done_);
  done_ = nullptr;
  if (afterDrain_) {
    auto then = std::move(afterDrain_);
    afterDrain_ = nullptr;
    then();
    return;
  }
  if (done) done(answer);
}

}  // namespace polmon
