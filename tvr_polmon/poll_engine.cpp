#include "poll_engine.h"

#include <QFileInfo>
#include <random>

#include "drive_letters.h"
#include "files.h"
#include "numbers.h"
#include "platform.h"
#include "polmon_log.h"

namespace polmon {

PollEngine::PollEngine(xav::SerialLink* link, QObject* parent) : QObject(parent), link_(link), line_(link) {
  logPath_ = QString::fromLatin1(kLogFileName);
  monotonicBase_.start();
  monotonicMs_ = [this] { return monotonicBase_.elapsed(); };
  now_ = [] { return QDateTime::currentDateTime(); };
  // Not seeded from the clock: the same exercise sequence in every run.
  auto gen = std::make_shared<std::mt19937>(20061u);
  uniform_ = [gen] {
    const double r = std::generate_canonical<double, 53>(*gen);
    return r < 1.0 ? r : 0.0;
  };
  connect(&line_, &DriveLine::frameSent, this, &PollEngine::frameSent);
  connect(link_, &xav::SerialLink::failed, this, &PollEngine::onPortFailed);

  pauseTimer_.setSingleShot(true);
  pauseTimer_.setTimerType(Qt::PreciseTimer);
  // The query follows the pause even when a duct entry opened during it: the
  // entry then holds that query's wait, as if it had been asked for there.
  connect(&pauseTimer_, &QTimer::timeout, this, &PollEngine::readDistQuery);
  idleTimer_.setSingleShot(true);
  connect(&idleTimer_, &QTimer::timeout, this, &PollEngine::pollLoop);
  // A timer, not a loop: the processor stays idle while the adapter is away.
  reopenTimer_.setInterval(1000);
  connect(&reopenTimer_, &QTimer::timeout, this, &PollEngine::tryReopen);
}

PollEngine::~PollEngine() = default;

QStringList PollEngine::ListComPorts() { return xav::listComPorts(*link_); }

// ---------------------------------------------------------------- controls

void PollEngine::startScan(const QString& portText) {
  stopActivity();
  portText_ = portText;
  if (!link_->isOpen()) {
    portOpened_ = link_->open(xav::platform::comNumberFromText(portText));
    if (!portOpened_) emit portOpenFailed(portText, link_->lastError());
  }
  emit scanStarted();
  stats_ = {};
  // What is still on the line belongs to the abandoned cycle: no drive is
  // blamed for it.
  previousAddress_.clear();
  previousUnanswered_ = false;
  ClearGrid();
  phase_ = Phase::Sweeping;
  const quint64 g = gen_;
  line_.drain([this, g] {
    if (g == gen_) Scanner();
  });
}

void PollEngine::stopActivity() {
  // Everything that belonged to the previous press ends here.
  ++gen_;
  pauseTimer_.stop();
  idleTimer_.stop();
  reopenTimer_.stop();
  stepBusy_ = false;
  quietSteps_ = 0;
  phase_ = Phase::Idle;
  if (held_ || !ductRows_.isEmpty()) {
    // A duct entry left open belongs to the abandoned cycle.
    held_ = false;
    ductRows_.clear();
    line_.setHeld(false);
    emit ductEntryClosed();
  }
}

void PollEngine::pressRowButton(int i) {
  if (i < 0 || i >= kRows) return;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  RowButton& b = r.button;
  if (r.address.isEmpty()) return;
  r.sendArmed = true;
  if (b.caption == ButtonCaption::Reset) {
    r.resetPending = true;
    if (r.ductCount) b = {b.visible, ButtonCaption::Count, static_cast<double>(*r.ductCount), ButtonMark::CountKnown};
  } else if (r.randomLimit) {
    // Random off. Without a known duct count the button goes back to "Rnd"
    // rather than to an empty caption.
    b.caption = r.ductCount ? ButtonCaption::Count : ButtonCaption::AskCount;
    b.count = r.ductCount.value_or(0);
    b.mark = ButtonMark::CountKnown;
    r.randomLimit.reset();
    r.holdUntilMs.reset();
  } else if (b.asksForCount()) {
    // Ask for the number of ducts; the cycle stands still until it is given.
    if (!ductRows_.contains(i)) ductRows_.append(i);
    if (!held_) {
      held_ = true;
      line_.setHeld(true);
      emit ductEntryRequested();
    }
    return;
  } else {
    if (r.ductCount)
      r.randomLimit = *r.ductCount;
    else
      r.randomLimit.reset();
    b.mark = ButtonMark::RandomFromCount;
    r.holdUntilMs.reset();
    emit rowChanged(i);
    // Another row may be waiting for its count in the panel: leave that open.
    emit ductBoxEmptied();
    return;
  }
  emit rowChanged(i);
}

bool PollEngine::enterDuctCount(const QString& text) {
  const double n = xav::leadingNumber(text);
  if (n < 1 || n > 62) return false;
  const QList<int> waiting = ductRows_;
  ductRows_.clear();
  for (int i : waiting) {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    r.randomLimit = n;
    r.button.caption = ButtonCaption::Count;
    r.button.count = n;
    emit rowChanged(i);
  }
  emit ductEntryClosed();
  release();
  return true;
}

void PollEngine::confirmRequest(int i, const QString& text) {
  if (i < 0 || i >= kRows) return;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  r.request = text;
  r.sendArmed = true;
  r.requestEntry = RequestEntry::Confirmed;
  emit rowChanged(i);
}

void PollEngine::editRequest(int i, const QString& text) {
  if (i < 0 || i >= kRows) return;
  rows_[static_cast<size_t>(i)].request = text;
  withdrawRequest(i);
}

void PollEngine::withdrawRequest(int i) {
  if (i < 0 || i >= kRows) return;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  r.sendArmed = false;
  r.requestEntry = RequestEntry::Editing;
  emit rowChanged(i);
}

void PollEngine::editAddress(int i, const QString& text) {
  if (i >= 0 && i < kRows) rows_[static_cast<size_t>(i)].address = text;
}

void PollEngine::shutDown() {
  writeLog(exitEntry(now_()));
  stopActivity();
  line_.cancel();
}

void PollEngine::onPortFailed(const QString& reason) {
  if (phase_ == Phase::Idle || phase_ == Phase::PortLost) return;
  stopActivity();
  line_.cancel();
  phase_ = Phase::PortLost;
  portOpened_ = false;
  for (int i = 0; i < kRows; ++i) {
    setLamp(i, false);
    rows_[static_cast<size_t>(i)].current = false;
    emit rowChanged(i);
  }
  writeLog(portLostEntry(now_(), portText_, reason));
  tellFault(-1, FaultKind::PortLost);
  emit portLost(portText_, reason);
  reopenTimer_.start();
}

void PollEngine::tryReopen() {
  if (phase_ != Phase::PortLost) {
    reopenTimer_.stop();
    return;
  }
  if (!link_->open(xav::platform::comNumberFromText(portText_))) return;
  reopenTimer_.stop();
  portOpened_ = true;
  // Bytes from before the loss or from plugging in belong to no drive.
  previousAddress_.clear();
  for (int i = 0; i < kRows; ++i) {
    rows_[static_cast<size_t>(i)].current = true;
    emit rowChanged(i);
  }
  writeLog(portBackEntry(now_(), portText_));
  emit portBack(portText_);
  // The drives found before are polled again; no new sweep.
  phase_ = Phase::Idle;
  startPolling();
}

void PollEngine::release() {
  held_ = false;
  const bool waiting = line_.busy();
  line_.setHeld(false);  // a query in flight is judged now
  if (!waiting && phase_ == Phase::Polling && !stepBusy_) pollLoop();
}

// ---------------------------------------------------------------- exchanges

bool PollEngine::GetStatus(Then then) {
  const bool sent = queryCurrent(kStatusCommand, std::move(then));
  // The sweep's query counts as a poll only for a drive that answers it
  // (sweepStatusDone), so absent addresses show none.
  if (DriveStatistics* s = statsFor(currentAddress_); s && sent && phase_ == Phase::Polling) ++s->polls;
  return sent;
}

bool PollEngine::GetDucts(Then then) { return queryCurrent(kDuctsCommand, std::move(then)); }

bool PollEngine::queryCurrent(char command, Then then) {
  if (currentAddress_.isEmpty()) return false;
  const quint64 g = gen_;
  const bool sent = line_.query(
      commandFrame(currentAddress_, command),
      [this, g, command, then = std::move(then)](const DriveLine::Answer& a) {
        if (g != gen_) return;
        // Silence from a port that has closed meanwhile is the port's fault,
        // not the drive's.
        if (portOpened_ && !link_->isOpen()) {
          onPortFailed(QStringLiteral("the port is no longer open"));
          return;
        }
        takeAnswer(a, command);
        then();
      },
      command == kStatusCommand && phase_ == Phase::Polling
          ? DriveLine::Ahead([this](const QByteArray& r) { return nextQueryIfNothingDue(r); })
          : DriveLine::Ahead());
  // A port that was open and is no longer has failed.
  if (!sent && portOpened_) onPortFailed(QStringLiteral("the port is no longer open"));
  return sent;
}

void PollEngine::takeAnswer(const DriveLine::Answer& answer, char command) {
  // A late answer to a silent query is swallowed, whether it came while the
  // line still listened or just before the next query: the query stays
  // unanswered and is counted once, as such.
  if (!previousUnanswered_) reportStrays(answer.strays);
  reply_ = answer.reply;
  replyClean_ = answer.clean;
  previousAddress_ = currentAddress_;
  previousUnanswered_ = reply_.isEmpty();
  if (command != kStatusCommand || !answer.replyNs) return;
  if (DriveStatistics* s = statsFor(currentAddress_)) s->recordReply(*answer.replyNs);
  emit replyTimed(rowOfAddress(currentAddress_), *answer.replyNs);
}

std::optional<QByteArray> PollEngine::nextQueryIfNothingDue(const QByteArray& reply) const {
  if (phase_ != Phase::Polling || slowScan_ || held_) return std::nullopt;
  const int i = rowOfAddress(currentAddress_);
  const auto d = decodeStatus(reply, currentAddress_);
  if (i < 0 || !d) return std::nullopt;
  const DriveRow& r = rows_[static_cast<size_t>(i)];
  if (r.resetPending) return std::nullopt;
  // As sendDueFrames would decide on this reply; a move just ended rests.
  if (d->status == 'P' && r.sendArmed && holdOver(r) && r.status != 'M') {
    if (r.randomLimit) return std::nullopt;
    if (!r.request.isEmpty() && r.request != QString::number(d->position)) return std::nullopt;
  }
  for (int n = 1; n <= kRows; ++n) {
    const DriveRow& next = rows_[static_cast<size_t>((pollRow_ + n) % kRows)];
    if (!next.address.isEmpty()) return commandFrame(next.address, kStatusCommand);
  }
  return std::nullopt;
}

void PollEngine::reportStrays(const QByteArray& strays) {
  // Before the first exchange there is no drive to lay them at: line noise
  // from opening the port.
  if (strays.isEmpty() || previousAddress_.isEmpty()) return;
  // However many bytes came together, they are one event.
  addError();
  if (DriveStatistics* s = statsFor(previousAddress_)) {
    ++s->strayBytes;
    countFault(s);
  }
  writeLog(badReplyEntry(elapsedNow(), scanCount_, errorCount_, previousAddress_, strays));
  tellFault(rowOfAddress(previousAddress_), FaultKind::Strays);
}

bool PollEngine::send(const QByteArray& frame) { return line_.send(frame); }

// ---------------------------------------------------------------- grid and sweep

void PollEngine::ClearGrid() {
  for (int i = 0; i < kRows; ++i) {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    r.address.clear();
    r.status.reset();
    r.position.reset();
    r.request.clear();
    r.randomLimit.reset();
    r.button = RowButton{};
    r.statusKind = StatusKind::Cleared;
    r.current = true;
    emit rowChanged(i);
  }
}

void PollEngine::Scanner() {
  phase_ = Phase::Sweeping;
  errorCount_ = 0;
  emit errorCountChanged(errorCount_);
  sweepIndex_ = 0;
  found_ = 0;
  driveList_.clear();
  sweepNext();
}

void PollEngine::sweepNext() {
  if (sweepIndex_ >= kRows) {
    finishSweep();
    return;
  }
  currentAddress_ = QString(xav::driveLetter(sweepIndex_));
  // A query that cannot go out ends the sweep early; the cycle starts anyway.
  if (!GetStatus([this] { sweepStatusDone(); })) startPolling();
}

void PollEngine::sweepStatusDone() {
  if (reply_.isEmpty()) {
    ++sweepIndex_;
    sweepNext();
    return;
  }
  // Any answer at all counts as a drive found.
  driveList_ += currentAddress_ + QLatin1Char(' ');
  ++found_;
  if (DriveStatistics* s = statsFor(currentAddress_)) ++s->polls;
  const int r = FillRow();
  if (r < 0) {
    startPolling();
    return;
  }
  RowButton& b = rows_[static_cast<size_t>(r)].button;
  b.caption = ButtonCaption::AskCount;
  b.visible = true;
  emit rowChanged(r);
  if (!GetDucts([this, r] { sweepDuctsDone(r); })) startPolling();
}

void PollEngine::sweepDuctsDone(int i) {
  if (const auto n = decodeDuctCount(reply_)) {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    r.ductCount = *n;
    if (r.position && *r.position != 0) {
      r.button.caption = ButtonCaption::SweptCount;
      r.button.count = *n;
      r.button.mark = ButtonMark::CountKnown;
    }
    emit rowChanged(i);
  }
  ++sweepIndex_;
  sweepNext();
}

void PollEngine::finishSweep() {
  drivesFound_ = found_;
  emit drivesFoundChanged(found_);
  startTime_ = now_();
  writeLog(sweepHeaderEntry(*startTime_, found_, driveList_));
  scanCount_ = 0;
  emit sweepFinished();
  startPolling();
}

// ---------------------------------------------------------------- poll cycle

void PollEngine::startPolling() {
  if (phase_ == Phase::PortLost) return;
  phase_ = Phase::Polling;
  stepBusy_ = false;
  quietSteps_ = 0;
  pollLoop();
}

void PollEngine::pollLoop() {
  if (looping_) return;  // a step ended inside the loop below; it goes on by itself
  looping_ = true;
  while (phase_ == Phase::Polling && !held_ && !stepBusy_) {
    if (quietSteps_ >= kRows) {
      // A whole round without a query: let the window breathe.
      quietSteps_ = 0;
      idleTimer_.start(100);
      break;
    }
    stepBusy_ = true;
    ReadDist();
  }
  looping_ = false;
}

void PollEngine::endStep(bool queried) {
  stepBusy_ = false;
  quietSteps_ = queried ? 0 : quietSteps_ + 1;
  pollLoop();
}

void PollEngine::ReadDist() {
  if (++pollRow_ >= kRows) {
    pollRow_ = 0;
    ++scanCount_;
  }
  DriveRow& r = rows_[static_cast<size_t>(pollRow_)];
  if (r.address.isEmpty()) {
    setLamp(pollRow_, false);
    r.status.reset();
    r.position.reset();
    emit rowChanged(pollRow_);
    endStep(false);
    return;
  }
  // The address is taken now: the pause below processes events, which the
  // user's handlers must not turn into a different query for this step.
  stepAddress_ = r.address;
  if (slowScan_) {
    // The pause runs on a timer; what the user does meanwhile acts as if
    // it had happened during the query that follows.
    pauseTimer_.start(slowScanPauseMs_);
    return;
  }
  readDistQuery();
}

void PollEngine::readDistQuery() {
  const quint64 g = gen_;
  moveLamp(pollRow_);
  currentAddress_ = stepAddress_;
  emit pollStarted(pollRow_);
  if (g != gen_) return;  // a handler of the signal started a new scan
  if (!GetStatus([this] { readDistReply(); })) endStep(false);
}

void PollEngine::readDistReply() {
  int i = pollRow_;
  if (!reply_.isEmpty()) {
    i = FillRow();
    // No move request or reset on the strength of an answer that may not be
    // the drive's: they wait for its next clean reply.
    if (i < 0 || !replyClean_) {
      endStep(true);
      return;
    }
  } else {
    noResponse(i);
  }
  sendDueFrames(i);
  endStep(true);
}

void PollEngine::noResponse(int i) {
  DriveRow& r = rows_[static_cast<size_t>(i)];
  r.status.reset();
  r.position.reset();
  emit rowChanged(i);
  addError();
  if (DriveStatistics* s = statsFor(currentAddress_)) {
    ++s->noResponses;
    countFault(s);
  }
  writeLog(noResponseEntry(elapsedNow(), scanCount_, errorCount_, currentAddress_));
  tellFault(rowOfAddress(currentAddress_), FaultKind::NoResponse);
}

void PollEngine::sendDueFrames(int i) {
  // The next query is already on the line (nothing was due when the reply
  // came): what became due since waits for this row's next poll.
  if (line_.queryAhead()) return;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  if (r.status == 'P' && r.sendArmed && holdOver(r)) {
    if (r.randomLimit) {
      if (const auto t = randomTarget(*r.randomLimit, r.position.value_or(0), uniform_)) {
        r.request = QString::number(*t);
        emit rowChanged(i);
      }
    }
    if (!r.request.isEmpty() && r.request != r.positionText()) {
      const auto byte = moveByte(r.request);
      // Beyond one byte nothing is sent, and a pending reset waits as well.
      if (!byte || !send(commandFrame(r.address, static_cast<char>(*byte)))) return;
      if (DriveStatistics* s = statsFor(r.address)) ++s->movesRequested;
    }
  }
  if (r.resetPending) {
    r.resetPending = false;
    send(commandFrame(r.address, kResetCommand));
  }
}

int PollEngine::FillRow() {
  const int i = rowOfAddress(currentAddress_);
  if (i < 0) return -1;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  const std::optional<char> oldStatus = r.status;
  r.address = currentAddress_;
  const auto d = replyClean_ ? decodeStatus(reply_, currentAddress_) : std::nullopt;
  if (d) {
    showValidStatus(r, *d);
  } else {
    addError();
    if (DriveStatistics* s = statsFor(currentAddress_)) {
      ++s->malformed;
      countFault(s);
    }
    emit rowChanged(i);
    writeLog(badReplyEntry(elapsedNow(), scanCount_, errorCount_, currentAddress_, reply_));
    tellFault(i, FaultKind::Malformed);
  }
  if (r.status == 'P' && oldStatus == 'M') {
    r.holdUntilMs = monotonicMs_() + kHoldAfterMoveMs;
    if (DriveStatistics* s = statsFor(currentAddress_)) ++s->movesCompleted;
  }
  if (r.status == 'M' && r.position == 0) {
    r.button.caption = ButtonCaption::Reset;
    r.button.mark = ButtonMark::ResetOffered;
  }
  emit rowChanged(i);
  moveLamp(i);
  return i;
}

void PollEngine::showValidStatus(DriveRow& r, const StatusReply& d) {
  r.status = d.status;
  r.position = d.position;
  if (d.status != 'P') {
    r.statusKind = StatusKind::NotInPosition;
    return;
  }
  r.statusKind = StatusKind::InPosition;
  if (r.button.caption != ButtonCaption::Reset) return;
  if (r.ductCount && *r.ductCount != 0) {
    r.button.caption = ButtonCaption::Count;
    r.button.count = *r.ductCount;
    r.button.mark = ButtonMark::CountKnown;
  } else {
    r.button.caption = ButtonCaption::AskCount;
    r.button.mark = ButtonMark::Plain;
  }
}

// ---------------------------------------------------------------- helpers

bool PollEngine::holdOver(const DriveRow& r) const { return !r.holdUntilMs || monotonicMs_() > *r.holdUntilMs; }

void PollEngine::addError() {
  ++errorCount_;
  emit errorCountChanged(errorCount_);
}

DriveStatistics* PollEngine::statsFor(const QString& address) {
  const int i = rowOfAddress(address);
  return i < 0 ? nullptr : &stats_[static_cast<size_t>(i)];
}

void PollEngine::countFault(DriveStatistics* s) { s->recordFault(monotonicMs_()); }

void PollEngine::writeLog(const QByteArray& entry) {
  lastLogEntry_ = entry;  // fault events
  QString error;
  if (xav::appendToFile(logPath_, entry, &error)) {
    if (logFailing_) {
      logFailing_ = false;
      emit logWritable();
    }
  } else if (!logFailing_) {
    // Told once; polling and counting go on without the log.
    logFailing_ = true;
    emit logUnwritable(QFileInfo(logPath_).absoluteFilePath(), error);
  }
}

QString PollEngine::elapsedNow() const { return elapsedText(now_(), startTime_); }

void PollEngine::moveLamp(int to) {
  // The same row again: its lamp simply stays lit (no black flash).
  if (litRow_ != to) setLamp(litRow_, false);
  setLamp(to, true);
  litRow_ = to;
}

void PollEngine::setLamp(int i, bool lit) {
  if (i < 0 || i >= kRows || rows_[static_cast<size_t>(i)].lampLit == lit) return;
  rows_[static_cast<size_t>(i)].lampLit = lit;
  emit lampChanged(i, lit);
}

}  // namespace polmon
