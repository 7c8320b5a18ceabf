#include "serial_routines.h"

namespace xavcfg {

SerialRoutines::SerialRoutines(xav::SerialLink* link, QObject* parent) : QObject(parent), link_(link) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &SerialRoutines::onTimer);
  connect(link_, &xav::SerialLink::dataArrived, this, &SerialRoutines::onData);
}

QStringList SerialRoutines::ListComPorts() { return xav::listComPorts(*link_); }

bool SerialRoutines::openPort(int comNumber) {
  link_->close();
  link_->open(comNumber);
  return link_->isOpen();
}

void SerialRoutines::SendToModule(const QByteArray& text) {
  link_->discardInput();
  link_->write(text);
}

void SerialRoutines::sendEndMarker() {
  if (link_->isOpen()) link_->write(QByteArrayLiteral("@\r\n"));
}

void SerialRoutines::QueryModule() {
  if (busy()) return;
  retriesLeft_ = kRetries;
  startAttempt();
}

void SerialRoutines::cancel() {
  timer_.stop();
  step_ = Step::Idle;
}

void SerialRoutines::arm(int ms) { timer_.start(ms); }

void SerialRoutines::startAttempt() {
  SendToModule(QByteArrayLiteral("**??"));
  step_ = Step::WakePause;
  arm(kWakeToQueryMs);
}

void SerialRoutines::onTimer() {
  switch (step_) {
    case Step::WakePause:
      SendToModule(QByteArrayLiteral("??"));
      ReplyTimedOut = false;
      step_ = Step::WaitingForReply;
      arm(kReplyWindowMs);
      onData();  // the count is looked at once before the first wait
      break;
    case Step::WaitingForReply:
      endReplyWindow(true);
      break;
    case Step::Settling: {
      ModuleRecord = link_->readAll();
      if (!ReplyTimedOut) {
        step_ = Step::Idle;
        emit queryFinished(true);
        return;
      }
      if (retriesLeft_ == 0) {
        step_ = Step::Idle;
        emit queryFinished(false);
        return;
      }
      emit countdown(retriesLeft_);
      --retriesLeft_;
      step_ = Step::RetryPause;
      arm(kRetryPauseMs);
      break;
    }
    case Step::RetryPause:
      startAttempt();
      break;
    case Step::Idle:
      break;
  }
}

void SerialRoutines::onData() {
  if (step_ != Step::WaitingForReply) return;
  if (link_->bytesWaiting() >= 30) endReplyWindow(false);
}

void SerialRoutines::endReplyWindow(bool timedOut) {
  ReplyTimedOut = timedOut;
  step_ = Step::Settling;
  arm(kSettleMs);  // the settle wait follows a time-out too
}

}  // namespace xavcfg
