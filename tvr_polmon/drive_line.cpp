#include "drive_line.h"

#include "drive_protocol.h"

namespace polmon {

DriveLine::DriveLine(xav::SerialLink* link, QObject* parent)
    : QObject(parent), link_(link), replyTimeoutMs_(kReplyTimeoutMs) {
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, &DriveLine::check);
  connect(link_, &xav::SerialLink::dataArrived, this, &DriveLine::check);
}

bool DriveLine::query(const QByteArray& frame, Done done) {
  if (!link_->isOpen()) return false;
  link_->readAll();
  link_->discardInput();
  active_ = true;
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

void DriveLine::cancel() {
  active_ = false;
  done_ = nullptr;
  deadline_.stop();
}

void DriveLine::check() {
  if (!active_ || held_) return;
  const qint64 elapsedNs = clock_.nsecsElapsed();
  const qint64 limitNs = static_cast<qint64>(replyTimeoutMs_) * 1000000;
  // Only exactly three waiting bytes end the wait early; more run to the
  // deadline.
  if (elapsedNs <= limitNs && link_->bytesWaiting() != kReplyLength) {
    if (!deadline_.isActive()) deadline_.start(static_cast<int>((limitNs - elapsedNs) / 1000000) + 1);
    return;
  }
  finish();
}

void DriveLine::finish() {
  active_ = false;
  deadline_.stop();
  Answer answer;
  answer.reply = link_->readAll();
  Done done = std::move(done_);
  done_ = nullptr;
  if (done) done(answer);
}

}  // namespace polmon
