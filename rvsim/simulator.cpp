#include "simulator.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTime>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "captions.h"
#include "files.h"
#include "platform.h"
#include "steady_clock.h"

namespace rvsim {

QString timeOfDay() {
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return QLocale::system().toString(QTime::currentTime(), format.trimmed());
}

namespace {
const std::function<QString()>& monitorTime() {
  static const std::function<QString()> f = timeOfDay;
  return f;
}
bool validRow(int row) { return row >= 1 && row <= kRows; }
}  // namespace

Simulator::Simulator(const Options& options, QObject* parent)
    : QObject(parent), options_(options), server_(new ModbusServer(options.port, options.idleTimeoutMs, this)),
      delayTimer_(new QTimer(this)), timer1_(new QTimer(this)), rateTimer_(new QTimer(this)),
      processor_(options.partialFrameExpiryMs) {
  delayTimer_->setSingleShot(true);
  delayTimer_->setTimerType(Qt::PreciseTimer);
  connect(delayTimer_, &QTimer::timeout, this, &Simulator::sendDelayed);
  server_->setObjectName(QStringLiteral("Winsock1"));
  timer1_->setObjectName(QStringLiteral("Timer1"));
  setClock({});
  epochAtStartMs_ = QDateTime::currentMSecsSinceEpoch();
  connect(server_, &ModbusServer::dataArrival, this, &Simulator::arrival);
  connect(server_, &ModbusServer::connectionAccepted, this, [this](const QString& ip) {
    processor_.newConnection();
    // Replies held for a connection that has gone never reach the next one.
    heldReplies_.clear();
    delayTimer_->stop();
    ++counters_.connectionsAccepted;
    emit connectionAccepted(ip);
  });
  connect(server_, &ModbusServer::connectionTurnedAway, this, [this](const QString& ip) {
    ++counters_.connectionsTurnedAway;
    emit connectionTurnedAway(ip);
  });
  connect(server_, &ModbusServer::connectionReplaced, this, [this](const QString& ip) {
    ++counters_.connectionsReplaced;
    emit connectionReplaced(ip);
  });
  connect(server_, &ModbusServer::connectionEnded, this, &Simulator::connectionEnded);
  connect(server_, &ModbusServer::listenerTrouble, this, [this](const QString& text) {
    if (!std::exchange(troubleShown_, true)) emit trouble(text);
  });
  // The status refresh runs from the moment the simulator exists.
  timer1_->setInterval(options_.refreshMs);
  connect(timer1_, &QTimer::timeout, this, &Simulator::refreshStatus);
  timer1_->start();
  rateTimer_->setInterval(kRateIntervalMs);
  connect(rateTimer_, &QTimer::timeout, this, &Simulator::updateRate);
  rateTimer_->start();
}

Simulator::~Simulator() = default;

bool Simulator::start(QString* error) {
  if (!server_->listen(error)) return false;
  started_ = true;
  timer1_->start();
  return true;
}

void Simulator::stop() {
  started_ = false;
  timer1_->stop();
  server_->close();
}

void Simulator::refreshStatus() {
  const int st = server_->state();
  emit statusRefreshed(st);
  if (!started_ || (st != StatePeerClosed && server_->isListening())) return;
  QString error;
  if (server_->rearm(&error)) {
    troubleShown_ = false;
  } else if (!std::exchange(troubleShown_, true)) {
    // Tried again at every refresh; the user hears of it once.
    emit trouble(error);
  }
}

void Simulator::arrival(const QByteArray& bytes) {
  ++arrivals_;
  counters_.bytesIn += static_cast<quint64>(bytes.size());
  const qint64 now = nowMs_();
  if (faults_.silent) {
    // A PLC that hangs: nothing is read out of the frames, nothing answered.
    ++faultCounters_.withheld;
    outcome_.clear();
    emit arrivalHandled();
    return;
  }
  const QByteArrayView frame = processor_.nextFrame(bytes, now);
  outcome_.clear();
  exceptionSent_ = false;
  if (!frame.isNull()) {
    const bool write = frame.size() > 7 && static_cast<quint8>(frame[7]) == kWriteMultiple;
    const quint8 code = faults_.exception ? faults_.exception : (faults_.refuseWrites && write ? 4 : 0);
    exceptionSent_ = code && exceptionReply(frame, code, outcome_.reply);
    if (exceptionSent_) {
      ++faultCounters_.exceptions;
    } else {
      handleFrame(frame, processor_.image(), monitorOn_, monitorTime(), outcome_);
    }
  }
  // The reply goes out before anything else is done with the frame.
  const bool sent = !outcome_.reply.isEmpty() && sendReply(outcome_.reply, now);
  account(frame, sent, now);
  emit arrivalHandled();
  if (outcome_.relabelled) emit labelsChanged();
  if (outcome_.positionsWritten) emit positionsWritten();
  if (!outcome_.monitorLine.isEmpty()) emit monitorLine(outcome_.monitorLine);
}

bool Simulator::sendReply(const QByteArray& reply, qint64 now) {
  if (faults_.delayMs <= 0 && heldReplies_.empty()) return server_->send(reply);
  if (server_->state() != StateConnected) return false;
  // Held replies keep their order, also once the delay is taken off.
  heldReplies_.push_back({now + faults_.delayMs, reply});
  ++faultCounters_.delayed;
  if (!delayTimer_->isActive()) delayTimer_->start(static_cast<int>(std::max<qint64>(0, heldReplies_.front().dueMs - now)));
  return true;
}

void Simulator::sendDelayed() {
  const qint64 now = nowMs_();
  while (!heldReplies_.empty() && heldReplies_.front().dueMs <= now) {
    server_->send(heldReplies_.front().bytes);
    heldReplies_.pop_front();
  }
  if (!heldReplies_.empty()) delayTimer_->start(static_cast<int>(heldReplies_.front().dueMs - now));
}

void Simulator::setFaults(const PlcFaults& faults) {
  PlcFaults f = faults;
  f.delayMs = std::clamp(f.delayMs, 0, kMaxFaultDelayMs);
  // Back from silence, framing starts afresh at the next arrival.
  if (faults_.silent && !f.silent) processor_.newConnection();
  faults_ = f;
  emit faultsChanged();
}

bool Simulator::dropConnection() {
  if (server_->state() != StateConnected) return false;
  ++faultCounters_.drops;
  heldReplies_.clear();
  delayTimer_->stop();
  server_->dropConnectionNow();
  return true;
}

QString PlcFaults::describe() const {
  QStringList parts;
  if (delayMs > 0) parts << QStringLiteral("replies delayed %1 ms").arg(delayMs);
  if (silent) parts << QStringLiteral("not answering");
  if (exception > 0) parts << QStringLiteral("exception %1 to reads and writes").arg(exception);
  if (refuseWrites) parts << QStringLiteral("writes refused (exception 4)");
  return parts.join(QStringLiteral(", "));
}

void Simulator::account(QByteArrayView frame, bool sent, qint64 now) {
  const quint64 skipped = processor_.assembler().framesSkipped();
  counters_.framesIgnored += skipped - skippedSeen_;
  skippedSeen_ = skipped;
  if (outcome_.positionsWritten) lastWriteMs_ = now;
  if (frame.isNull()) return;
  const bool answered = !outcome_.reply.isEmpty();
  if (!answered) {
    ++counters_.framesIgnored;
  } else if (sent) {
    counters_.bytesOut += static_cast<quint64>(outcome_.reply.size());
    if (!exceptionSent_) ++(outcome_.positionsWritten ? counters_.writesAnswered : counters_.readsAnswered);
  }
  if (!trafficLogOn_) return;
  const qint64 time = epochAtStartMs_ + now;
  trafficLog_.add(recordFrame(frame, Direction::In, time, answered));
  if (sent) trafficLog_.add(recordFrame(outcome_.reply, Direction::Out, time));
}

void Simulator::updateRate() {
  const qint64 now = nowMs_();
  const quint64 answered = counters_.framesAnswered();
  if (now > rateAtMs_) framesPerSecond_ = double(answered - answeredAtRate_) * 1000.0 / double(now - rateAtMs_);
  answeredAtRate_ = answered;
  rateAtMs_ = now;
}

void Simulator::setClock(std::function<qint64()> msNow) {
  nowMs_ = msNow ? std::move(msNow) : xav::steadyClock(1'000'000);
}

qint64 Simulator::msSinceLastWrite() const { return lastWriteMs_ < 0 ? -1 : nowMs_() - lastWriteMs_; }

void Simulator::beginRequestEntry(int row, const QString& typed) {
  if (!validRow(row)) return;
  DriveRequest& r = processor_.image().row(row).request;
  r.inEntry = true;
  r.typed = typed;
}

void Simulator::typeRequest(int row, const QString& typed) {
  if (!validRow(row)) return;
  DriveRequest& r = processor_.image().row(row).request;
  if (r.inEntry) r.typed = typed;
}

void Simulator::commitRequest(int row, int value) {
  if (!validRow(row)) return;
  DriveRequest& r = processor_.image().row(row).request;
  const auto v = static_cast<quint8>(std::clamp(value, 0, kMaxRequest));
  const bool changed = r.inEntry || r.committed != v;
  r.committed = v;
  r.inEntry = false;
  r.typed.clear();
  if (changed) emit requestChanged(row);
}

void Simulator::setCaption(int row, const QString& text) {
  if (validRow(row)) processor_.image().row(row).caption = text;
}

void Simulator::OpenCaptions() {
  const QString path = xav::platform::captionsFilePath();
  if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
    CreateCaptionFile();
    return;
  }
  QByteArray contents;
  QString error;
  if (!readRegularFile(path, kMaxCaptionsFileBytes, &contents, &error)) {
    // Not ours to replace unread: kept aside before the first save.
    keepFileAside_ = error;
    emit trouble(QStringLiteral("The captions file %1 cannot be read (%2); the captions start empty.").arg(path, error));
    return;
  }
  const CaptionsRead read = readCaptions(contents);
  // What the file holds must not be lost by the first save.
  keepFileAside_ = read.notCaptions;
  for (int i = 1; i <= kRows; ++i) processor_.image().row(i).caption = read.captions[i - 1];
  emit captionsChanged();
}

void Simulator::CreateCaptionFile() {
  QStringList captions;
  for (int i = 1; i <= kRows; ++i) captions << image().row(i).caption;
  const QString path = xav::platform::captionsFilePath();
  if (isOtherThanRegularFile(path)) {
    // A folder or a pipe in its place is somebody's, and never replaced.
    if (!std::exchange(saveRefusalShown_, true)) {
      emit trouble(QStringLiteral("The captions cannot be saved: %1 is not a regular file.").arg(path));
    }
    return;
  }
  QString error;
  QString keptAs;
  if (!keepFileAside_.isEmpty() && QFileInfo::exists(path)) {
    keptAs = backupPathFor(path);
    if (!QFile::rename(path, keptAs)) {
      emit trouble(QStringLiteral("The captions are not saved: %1 (%2) could not be kept as %3.")
                       .arg(path, keepFileAside_, keptAs));
      return;
    }
  }
  if (!xav::writeWholeFile(path, captionsFileBytes(captions), &error)) {
    emit trouble(QStringLiteral("The captions cannot be saved to %1 (%2).").arg(path, error));
    return;
  }
  if (!keptAs.isEmpty()) {
    emit notice(QStringLiteral("%1 was not a captions file (%2): it is kept as %3, and the captions are saved anew.")
                    .arg(path, keepFileAside_, keptAs));
  }
  keepFileAside_.clear();
}

void Simulator::clearCaptions() {
  for (int i = 1; i <= kRows; ++i) processor_.image().row(i).caption.clear();
  CreateCaptionFile();
  emit captionsChanged();
}

}  // namespace rvsim
