#include "poll_engine.h"

#include <random>

#include "colours.h"
#include "drive_letters.h"
#include "files.h"
#include "numbers.h"
#include "platform.h"
#include "polmon_log.h"

namespace polmon {

namespace {
const QString kP = QStringLiteral("P");
const QString kM = QStringLiteral("M");
const QString kRnd = QStringLiteral("Rnd");
const QString kReset = QStringLiteral("Reset");
}  // namespace

RowLook::RowLook() : statusColour(xav::colours::LightGrey), requestColour(xav::colours::White) {}

PollEngine::PollEngine(xav::SerialLink* link, QObject* parent) : QObject(parent), link_(link) {
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

  exchangeTimer_.setSingleShot(true);
  exchangeTimer_.setTimerType(Qt::PreciseTimer);
  connect(&exchangeTimer_, &QTimer::timeout, this, &PollEngine::checkExchange);
  connect(link_, &xav::SerialLink::dataArrived, this, &PollEngine::checkExchange);

  pauseTimer_.setSingleShot(true);
  pauseTimer_.setTimerType(Qt::PreciseTimer);
  // The query follows the pause even when a duct entry opened during it: the
  // entry then holds that query's wait, as if it had been asked for there.
  connect(&pauseTimer_, &QTimer::timeout, this, &PollEngine::readDistQuery);
  idleTimer_.setSingleShot(true);
  connect(&idleTimer_, &QTimer::timeout, this, &PollEngine::pollLoop);
}

PollEngine::~PollEngine() = default;

QStringList PollEngine::ListComPorts() { return xav::listComPorts(*link_); }

// ---------------------------------------------------------------- controls

void PollEngine::cmdScan_Click(const QString& comText) {
  // Everything that belonged to the previous press ends here.
  ++gen_;
  exchangeActive_ = false;
  exchangeThen_ = nullptr;
  exchangeTimer_.stop();
  pauseTimer_.stop();
  idleTimer_.stop();
  stepBusy_ = false;
  quietSteps_ = 0;
  phase_ = Phase::Idle;
  if (held_ || !ductRows_.isEmpty()) {
    // A duct entry left open belongs to the abandoned cycle.
    held_ = false;
    ductRows_.clear();
    emit ductEntryClosed();
  }

  if (!link_->isOpen()) link_->open(xav::platform::comNumberFromText(comText));
  emit scanStarted();
  ClearGrid();
  Scanner();
}

void PollEngine::cmdRnd_Click(int i) {
  if (i < 0 || i >= kRows) return;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  RowLook& look = looks_[static_cast<size_t>(i)];
  if (r.Address.isEmpty()) return;
  SendArmed_[static_cast<size_t>(i)] = true;
  if (look.caption == kReset) {
    r.ResetPending = true;
    if (!r.DuctCount.isEmpty()) {
      look.caption = r.DuctCount;
      look.buttonColour = xav::colours::Cyan;
    }
    emit rowChanged(i);
    return;
  }
  if (!r.RandomLimit.isEmpty()) {
    // Random off. Without a known duct count the button goes back to "Rnd"
    // rather than to an empty caption.
    look.caption = r.DuctCount.isEmpty() ? kRnd : r.DuctCount;
    r.RandomLimit.clear();
    look.buttonColour = xav::colours::Cyan;
    r.HoldUntil.reset();
    emit rowChanged(i);
    return;
  }
  if (xav::leadingNumber(look.caption) == 0) {
    // Ask for the number of ducts; the cycle stands still until it is given.
    if (!ductRows_.contains(i)) ductRows_.append(i);
    if (!held_) {
      held_ = true;
      emit ductEntryRequested();
    }
    return;
  }
  r.RandomLimit = r.DuctCount;
  look.buttonColour = xav::colours::Orange;
  r.HoldUntil.reset();
  emit rowChanged(i);
  // Another row may be waiting for its count in the panel: leave that open.
  emit ductBoxEmptied();
}

bool PollEngine::txtDucts_Enter(const QString& text) {
  const double n = xav::leadingNumber(text);
  if (n < 1 || n > 62) return false;
  const QList<int> rows = ductRows_;
  ductRows_.clear();
  for (int i : rows) {
    rows_[static_cast<size_t>(i)].RandomLimit = text;
    looks_[static_cast<size_t>(i)].caption = text;
    emit rowChanged(i);
  }
  emit ductEntryClosed();
  release();
  return true;
}

void PollEngine::txtRequest_KeyPress(int i, bool enter) {
  if (i < 0 || i >= kRows) return;
  SendArmed_[static_cast<size_t>(i)] = enter;
  looks_[static_cast<size_t>(i)].requestColour = enter ? xav::colours::White : xav::colours::Cyan;
  emit rowChanged(i);
}

void PollEngine::setAddress(int i, const QString& text) {
  if (i >= 0 && i < kRows) rows_[static_cast<size_t>(i)].Address = text;
}

void PollEngine::setRequest(int i, const QString& text) {
  if (i >= 0 && i < kRows) rows_[static_cast<size_t>(i)].Request = text;
}

void PollEngine::cmdExit_Click() {
  writeLog(exitEntry(now_()));
  ++gen_;
  phase_ = Phase::Idle;
  exchangeActive_ = false;
  exchangeThen_ = nullptr;
  exchangeTimer_.stop();
  pauseTimer_.stop();
  idleTimer_.stop();
}

void PollEngine::release() {
  held_ = false;
  if (exchangeActive_) {
    checkExchange();
  } else if (phase_ == Phase::Polling && !stepBusy_) {
    pollLoop();
  }
}

// ---------------------------------------------------------------- exchanges

bool PollEngine::GetStatus(std::function<void()> then) { return startExchange(kStatusCommand, std::move(then)); }

bool PollEngine::GetDucts(std::function<void()> then) { return startExchange(kDuctsCommand, std::move(then)); }

bool PollEngine::startExchange(char command, std::function<void()> then) {
  if (!link_->isOpen() || CurAddr_.isEmpty()) return false;
  link_->readAll();
  Reply_.clear();
  link_->discardInput();
  const QByteArray frame = commandFrame(CurAddr_, command);
  link_->write(frame);
  emit frameSent(frame);
  exchangeActive_ = true;
  exchangeThen_ = std::move(then);
  exchangeClock_.start();
  exchangeTimer_.start(replyTimeoutMs_);
  return true;
}

void PollEngine::checkExchange() {
  if (!exchangeActive_ || held_) return;
  const qint64 limitNs = static_cast<qint64>(replyTimeoutMs_) * 1000000;
  const qint64 elapsedNs = exchangeClock_.nsecsElapsed();
  // Only exactly three waiting bytes end the wait early; more run to the
  // deadline.
  if (elapsedNs <= limitNs && link_->bytesWaiting() != kReplyLength) {
    if (!exchangeTimer_.isActive()) exchangeTimer_.start(static_cast<int>((limitNs - elapsedNs) / 1000000) + 1);
    return;
  }
  exchangeActive_ = false;
  exchangeTimer_.stop();
  Reply_ = link_->readAll();
  auto then = std::move(exchangeThen_);
  exchangeThen_ = nullptr;
  if (then) then();
}

bool PollEngine::send(const QByteArray& frame) {
  if (!link_->isOpen()) return false;
  link_->write(frame);
  emit frameSent(frame);
  return true;
}

// ---------------------------------------------------------------- grid and sweep

void PollEngine::ClearGrid() {
  for (int i = 0; i < kRows; ++i) {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    RowLook& look = looks_[static_cast<size_t>(i)];
    r.Address.clear();
    r.Status.clear();
    r.Position.clear();
    r.Request.clear();
    r.RandomLimit.clear();
    look.caption = kRnd;
    look.buttonColour.reset();
    look.buttonVisible = false;
    look.statusColour = xav::colours::LightGrey;
    emit rowChanged(i);
  }
}

void PollEngine::Scanner() {
  phase_ = Phase::Sweeping;
  errCnt_ = QStringLiteral("0");
  emit captionsChanged();
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
  CurAddr_ = QString(xav::driveLetter(sweepIndex_));
  const quint64 g = gen_;
  // A query that cannot go out ends the sweep early; the cycle starts anyway.
  if (!GetStatus([this, g] {
        if (g == gen_) sweepStatusDone();
      }))
    startPolling();
}

void PollEngine::sweepStatusDone() {
  if (Reply_.isEmpty()) {
    ++sweepIndex_;
    sweepNext();
    return;
  }
  // Any answer at all counts as a drive found.
  driveList_ += CurAddr_ + QLatin1Char(' ');
  ++found_;
  int r = 0;
  if (!FillRow(&r)) {
    startPolling();
    return;
  }
  RowLook& look = looks_[static_cast<size_t>(r)];
  look.caption = kRnd;
  look.buttonVisible = true;
  emit rowChanged(r);
  const quint64 g = gen_;
  if (!GetDucts([this, g, r] {
        if (g == gen_) sweepDuctsDone(r);
      }))
    startPolling();
}

void PollEngine::sweepDuctsDone(int i) {
  if (const auto n = decodeDuctCount(Reply_)) {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    r.DuctCount = QString::number(*n);
    if (holdsNumber(r.Position) && xav::leadingNumber(r.Position) != 0) {
      RowLook& look = looks_[static_cast<size_t>(i)];
      look.caption = (*n >= 0 ? QStringLiteral(" ") : QString()) + QString::number(*n);
      look.buttonColour = xav::colours::Cyan;
    }
    emit rowChanged(i);
  }
  ++sweepIndex_;
  sweepNext();
}

void PollEngine::finishSweep() {
  distCnt_ = QString::number(found_) + QStringLiteral(" Drives Found");
  emit captionsChanged();
  StartTime_ = now_();
  if (writeLog(sweepHeaderEntry(*StartTime_, distCnt_, driveList_))) ScanCount_ = 0;
  emit sweepFinished();
  startPolling();
}

// ---------------------------------------------------------------- poll cycle

void PollEngine::startPolling() {
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
  if (++PollRow_ >= kRows) {
    PollRow_ = 0;
    ++ScanCount_;
  }
  DriveRow& r = rows_[static_cast<size_t>(PollRow_)];
  if (r.Address.isEmpty()) {
    setLamp(PollRow_, false);
    r.Status.clear();
    r.Position.clear();
    emit rowChanged(PollRow_);
    endStep(false);
    return;
  }
  // The address is taken now: the pause below processes events, which the
  // user's handlers must not turn into a different query for this step.
  stepAddress_ = r.Address;
  if (slowScan_) {
    // The pause runs on a timer; what the user does meanwhile acts as if
    // it had happened during the query that follows.
    pauseTimer_.start(100);
    return;
  }
  readDistQuery();
}

void PollEngine::readDistQuery() {
  const quint64 g = gen_;
  moveLamp(PollRow_);
  CurAddr_ = stepAddress_;
  emit pollStarted(PollRow_);
  if (g != gen_) return;  // a handler of the signal started a new scan
  if (!GetStatus([this, g] {
        if (g == gen_) readDistReply();
      }))
    endStep(false);
}

void PollEngine::readDistReply() {
  int i = PollRow_;
  if (!Reply_.isEmpty()) {
    if (!FillRow(&i)) {
      endStep(true);
      return;
    }
  } else {
    DriveRow& r = rows_[static_cast<size_t>(i)];
    r.Status.clear();
    r.Position.clear();
    emit rowChanged(i);
    addError();
    if (!writeLog(noResponseEntry(elapsedText(now_(), StartTime_), ScanCount_, errCnt_, CurAddr_))) {
      endStep(true);
      return;
    }
  }

  DriveRow& r = rows_[static_cast<size_t>(i)];
  if (r.Status == kP && SendArmed_[static_cast<size_t>(i)] && holdOver(r)) {
    if (!r.RandomLimit.isEmpty()) {
      if (const auto t = randomTarget(xav::leadingNumber(r.RandomLimit), xav::leadingNumber(r.Position), uniform_)) {
        r.Request = QString::number(*t);
        emit rowChanged(i);
      }
    }
    if (!r.Request.isEmpty() && r.Request != r.Position) {
      const auto byte = moveByte(r.Request);
      // Beyond one byte nothing is sent, and a pending reset waits as well.
      if (!byte || !send(commandFrame(r.Address, static_cast<char>(*byte)))) {
        endStep(true);
        return;
      }
    }
  }
  if (r.ResetPending) {
    r.ResetPending = false;
    send(commandFrame(r.Address, kResetCommand));
  }
  endStep(true);
}

bool PollEngine::FillRow(int* rowOut) {
  const int i = rowOfAddress(CurAddr_);
  if (i < 0) return false;
  *rowOut = i;
  DriveRow& r = rows_[static_cast<size_t>(i)];
  RowLook& look = looks_[static_cast<size_t>(i)];
  const QString oldStatus = r.Status;
  r.Address = CurAddr_;
  if (const auto d = decodeStatus(Reply_, CurAddr_)) {
    r.Status = d->status;
    r.Position = d->position;
    if (r.Status == kP) {
      look.statusColour = xav::colours::Green;
      if (look.caption == kReset) {
        if (xav::leadingNumber(r.DuctCount) != 0) {
          look.caption = r.DuctCount.trimmed();
          look.buttonColour = xav::colours::Cyan;
        } else {
          look.caption = kRnd;
          look.buttonColour.reset();
        }
      }
    } else {
      look.statusColour = xav::colours::Red;
    }
  } else {
    addError();
    emit rowChanged(i);
    if (!writeLog(badReplyEntry(elapsedText(now_(), StartTime_), ScanCount_, errCnt_, CurAddr_, Reply_))) return false;
  }
  if (r.Status == kP && oldStatus == kM) r.HoldUntil = monotonicMs_() + kHoldAfterMoveMs;
  if (r.Status == kM && holdsNumber(r.Position) && xav::leadingNumber(r.Position) == 0) {
    look.caption = kReset;
    look.buttonColour = xav::colours::LightRed;
  }
  emit rowChanged(i);
  moveLamp(i);
  return true;
}

// ---------------------------------------------------------------- helpers

bool PollEngine::holdOver(const DriveRow& r) const { return !r.HoldUntil || monotonicMs_() > *r.HoldUntil; }

void PollEngine::addError() {
  errCnt_ = QString::number(xav::leadingInteger(errCnt_) + 1) + QLatin1Char(' ');
  emit captionsChanged();
}

bool PollEngine::writeLog(const QByteArray& entry) { return xav::appendToFile(logPath_, entry); }

void PollEngine::moveLamp(int to) {
  // The same row again: its lamp simply stays lit (no black flash).
  if (LitRow_ != to) setLamp(LitRow_, false);
  setLamp(to, true);
  LitRow_ = to;
}

void PollEngine::setLamp(int i, bool red) {
  if (i < 0 || i >= kRows || looks_[static_cast<size_t>(i)].lampRed == red) return;
  looks_[static_cast<size_t>(i)].lampRed = red;
  emit lampChanged(i);
}

}  // namespace polmon
