#include "simulator.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <algorithm>

#include "captions.h"
#include "files.h"
#include "platform.h"

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
      timer1_(new QTimer(this)), rateTimer_(new QTimer(this)), processor_(options.partialFrameExpiryMs) {
  server_->setObjectName(QStringLiteral("Winsock1"));
  timer1_->setObjectName(QStringLiteral("Timer1"));
  clock_.start();
  epochAtStartMs_ = QDateTime::currentMSecsSinceEpoch();
  connect(server_, &ModbusServer::dataArrival, this, &Simulator::arrival);
  connect(server_, &ModbusServer::connectionAccepted, this, [this](const QString& ip) {
    processor_.newConnection();
    ++counters_.connectionsAccepted;
    emit connectionAccepted(ip);
  });
  connect(server_, &ModbusServer::connectionTurnedAway, this, [this](const QString& ip) {
    ++counters_.connectionsTurnedAway;
    emit connectionTurnedAway(ip);
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
  const qint64 now = clock_.elapsed();
  const QByteArrayView frame = processor_.arrival(bytes, now, monitorOn_, monitorTime(), outcome_);
  // The reply goes out before anything else is done with the frame.
  const bool sent = !outcome_.reply.isEmpty() && server_->send(outcome_.reply);
  account(frame, sent, now);
  emit arrivalHandled();
  if (outcome_.relabelled) emit labelsChanged();
  if (outcome_.positionsWritten) emit positionsWritten();
  if (!outcome_.monitorLine.isEmpty()) emit monitorLine(outcome_.monitorLine);
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
    ++(outcome_.positionsWritten ? counters_.writesAnswered : counters_.readsAnswered);
  }
  if (!trafficLogOn_) return;
  const qint64 time = epochAtStartMs_ + now;
  trafficLog_.add(recordFrame(frame, Direction::In, time, answered));
  if (sent) trafficLog_.add(recordFrame(outcome_.reply, Direction::Out, time));
}

void Simulator::updateRate() {
  const qint64 now = clock_.elapsed();
  const quint64 answered = counters_.framesAnswered();
  if (now > rateAtMs_) framesPerSecond_ = double(answered - answeredAtRate_) * 1000.0 / double(now - rateAtMs_);
  answeredAtRate_ = answered;
  rateAtMs_ = now;
}

qint64 Simulator::msSinceLastWrite() const { return lastWriteMs_ < 0 ? -1 : clock_.elapsed() - lastWriteMs_; }

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
  if (!QFileInfo::exists(path)) CreateCaptionFile();
  QByteArray contents;
  QString error;
  if (!xav::readWholeFile(path, &contents, &error)) {
    emit trouble(QStringLiteral("The captions file %1 cannot be read (%2).").arg(path, error));
    return;
  }
  const QStringList captions = parseCaptions(contents);
  for (int i = 1; i <= kRows; ++i) processor_.image().row(i).caption = captions[i - 1];
  emit captionsChanged();
}

void Simulator::CreateCaptionFile() {
  QStringList captions;
  for (int i = 1; i <= kRows; ++i) captions << image().row(i).caption;
  const QString path = xav::platform::captionsFilePath();
  QString error;
  if (!xav::writeWholeFile(path, captionsFileBytes(captions), &error)) {
    emit trouble(QStringLiteral("The captions cannot be saved to %1 (%2).").arg(path, error));
  }
}

void Simulator::clearCaptions() {
  for (int i = 1; i <= kRows; ++i) processor_.image().row(i).caption.clear();
  CreateCaptionFile();
  emit captionsChanged();
}

}  // namespace rvsim
