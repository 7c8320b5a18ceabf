#include "serial_routines.h"

namespace xavcfg {

SerialRoutines::SerialRoutines(xav::SerialLink* link, QObject* parent) : QObject(parent), link_(link) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &SerialRoutines::onTimer);
  connect(link_, &xav::SerialLink::dataArrived, this, &SerialRoutines::onData);
  connect(link_, &xav::SerialLink::failed, this, [this](const QString& reason) {
    if (!writing_) return;
    writeFailure_ = reason.isEmpty() ? QStringLiteral("the port failed") : reason;
    if (!writeFailure_.endsWith(u'.')) writeFailure_ += u'.';
  });
}

QStringList SerialRoutines::ListComPorts() { return xav::listComPorts(*link_); }

bool SerialRoutines::openPort(int comNumber) {
  link_->close();
  link_->open(comNumber);
  return link_->isOpen();
}

bool SerialRoutines::SendToModule(const QByteArray& text) {
  writeFailure_.clear();
  if (!link_->isOpen()) {
    writeFailure_ = QStringLiteral("the port is not open.");
    return false;
  }
  link_->discardInput();
  writing_ = true;
  link_->write(text);
  writing_ = false;
  // A far end that hung up (or an adapter pulled) fails the write and
  // closes the port.
  if (writeFailure_.isEmpty() && !link_->isOpen()) {
    const QString reason = link_->lastError();
    writeFailure_ = QStringLiteral("the port closed during the write") +
                    (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + u')') + u'.';
  }
  return writeFailure_.isEmpty();
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
