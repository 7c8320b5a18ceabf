#include "modbus_server.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "native_socket.h"
#include "platform.h"
#include "port_holder.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace rvsim {

namespace {

// Bytes taken from the socket at one arrival; a gateway frame is 53 at most.
constexpr qsizetype kReceiveChunk = 4096;

// A listener that hands over each accepted descriptor as it is, so the
// connection is served without a buffering socket object in between.
class Listener : public QTcpServer {
 public:
  Listener(std::function<void(qintptr)> onIncoming, QObject* parent)
      : QTcpServer(parent), onIncoming_(std::move(onIncoming)) {}

 protected:
  void incomingConnection(qintptr descriptor) override { onIncoming_(descriptor); }

 private:
  std::function<void(qintptr)> onIncoming_;
};

bool runningAsRoot() {
#ifdef Q_OS_WIN
  return false;
#else
  return geteuid() == 0;
#endif
}

}  // namespace

QString statusText(int state) {
  switch (state) {
    case StateClosed: return QStringLiteral("Port Closed       ");
    case StateOpen: return QStringLiteral("Port Open         ");
    case StateListening: return QStringLiteral("Waiting for XAV   ");
    case StateConnectionPending: return QStringLiteral("Connection Pending");
    case StateResolvingHost: return QStringLiteral("Resolving Host    ");
    case StateHostResolved: return QStringLiteral("Host Resolved     ");
    case StateConnecting: return QStringLiteral("Connecting        ");
    case StateConnected: return QStringLiteral("Connected         ");
    case StatePeerClosed: return QStringLiteral("Peer Closed       ");
    case StateError: return QStringLiteral("Error             ");
    default: return QStringLiteral("Unknown Status    ");
  }
}

QString bindFailureText(const BindFailure& f) {
  QString why;
  QString fix;
  if (f.error == QAbstractSocket::AddressInUseError) {
    why = f.holder.isEmpty() ? QStringLiteral("Another program is already using port %1.").arg(f.port)
                             : QStringLiteral("Port %1 is already in use by %2.").arg(f.port).arg(f.holder);
    fix = QStringLiteral("Stop that program (another Modbus server, or a second RVSIM) and start RVSIM again, "
                         "or start RVSIM on another port with --port N.");
  } else if (f.error == QAbstractSocket::SocketAccessError && !f.root && !xav::platform::kWindows) {
    why = QStringLiteral("The program is not allowed to use port %1: ports below 1024 are reserved "
                         "for privileged programs.")
              .arg(f.port);
    fix = QStringLiteral("To let RVSIM use port %1 without running it as root, grant it the right once:\n"
                         "    sudo setcap cap_net_bind_service=+ep %2\n"
                         "or start RVSIM on a port above 1023 with --port N.")
              .arg(f.port)
              .arg(f.programPath);
  } else {
    why = QStringLiteral("The system refused to open port %1.").arg(f.port);
    fix = QStringLiteral("Start RVSIM again, or on another port with --port N.");
  }
  return QStringLiteral("RVSIM cannot listen on TCP port %1 (%2).\n\n%3\n\n%4").arg(f.port).arg(f.reason, why, fix);
}

ModbusServer::ModbusServer(quint16 port, int idleTimeoutMs, QObject* parent)
    : QObject(parent), port_(port), idleTimeoutMs_(idleTimeoutMs),
      listener_(new Listener([this](qintptr d) { incoming(d); }, this)),
      readNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(QSocketNotifier::Write, this)), idleTimer_(new QTimer(this)) {
  readNotifier_->setEnabled(false);
  writeNotifier_->setEnabled(false);
  connect(readNotifier_, &QSocketNotifier::activated, this, &ModbusServer::onReadable);
  connect(writeNotifier_, &QSocketNotifier::activated, this, &ModbusServer::onWritable);
  connect(listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
    // The listener has stopped accepting; the port stays bound.
    acceptPaused_ = true;
    emit listenerTrouble(QStringLiteral("RVSIM cannot accept connections on TCP port %1 for now (%2); "
                                        "it tries again.")
                             .arg(port_)
                             .arg(listener_->errorString()));
  });
  idleTimer_->setSingleShot(true);
  connect(idleTimer_, &QTimer::timeout, this, &ModbusServer::onIdleCheck);
}

ModbusServer::~ModbusServer() { dropConnection(); }

bool ModbusServer::isListening() const { return listener_->isListening() && !acceptPaused_; }

bool ModbusServer::listen(QString* error) {
  if (!listener_->listen(QHostAddress::Any, port_)) {
    if (error) {
      BindFailure f{port_, listener_->serverError(), listener_->errorString(), QString(),
                    QCoreApplication::applicationFilePath(), runningAsRoot()};
      if (f.error == QAbstractSocket::AddressInUseError) f.holder = tcpPortHolder(port_);
      *error = bindFailureText(f);
    }
    state_ = StateClosed;
    return false;
  }
  // A port chosen by the system (0) stays the same for the whole run.
  port_ = listener_->serverPort();
  acceptPaused_ = false;
  state_ = StateListening;
  return true;
}

void ModbusServer::close() {
  dropConnection();
  listener_->close();
  acceptPaused_ = false;
  state_ = StateClosed;
}

bool ModbusServer::rearm(QString* error) {
  if (state_ == StatePeerClosed) state_ = StateListening;
  if (acceptPaused_) {
    acceptPaused_ = false;
    listener_->resumeAccepting();
  }
  if (listener_->isListening()) return true;
  // Never bound, or given up: bind again; the state tells the status panel.
  return listen(error);
}

bool ModbusServer::send(QByteArrayView bytes) {
  if (state_ != StateConnected || descriptor_ < 0) return false;
  if (!unsent_.isEmpty()) {
    unsent_.append(bytes);
    if (unsent_.size() > kMaxUnsentBytes) endConnection(ConnectionEnd::Broken);
    return true;
  }
  const qint64 n = native::send(descriptor_, bytes.data(), bytes.size());
  if (n == native::kFailed) {
    endConnection(ConnectionEnd::Broken);
    return false;
  }
  if (n < bytes.size()) {
    // The peer's window is full: the rest goes out as soon as it takes it.
    unsent_ = bytes.sliced(n).toByteArray();
    writeNotifier_->setEnabled(true);
  }
  return true;
}

void ModbusServer::incoming(qintptr descriptor) {
  // A gateway that closed and came straight back: its old connection is
  // finished (the rest of what it sent is still handled) before the check
  // below, so the new one is served rather than turned away.
  for (int i = 0; i < 64 && descriptor_ >= 0 && native::peerHasClosed(descriptor_); ++i) onReadable();
  if (descriptor_ >= 0 && native::peerHasClosed(descriptor_)) endConnection(ConnectionEnd::PeerClosed);
  if (descriptor_ >= 0) {
    const QString ip = native::peerAddress(descriptor).toString();
    if (ip.isEmpty() || ip != remoteIp_) {
      turnAway(descriptor);
      return;
    }
    // The gateway itself is back: it lost power or its link, and its old
    // connection will never carry anything again. Waiting for that one to
    // time out would lock the rebooted gateway out for half a minute.
    emit connectionReplaced(ip);
    endConnection(ConnectionEnd::Replaced);
  }
  serve(descriptor);
}

void ModbusServer::dropConnectionNow() { endConnection(ConnectionEnd::Dropped); }

void ModbusServer::serve(qintptr descriptor) {
  descriptor_ = descriptor;
  native::prepareConnection(descriptor_);
  remoteIp_ = native::peerAddress(descriptor_).toString();
  unsent_.clear();
  readNotifier_->setSocket(descriptor_);
  readNotifier_->setEnabled(true);
  writeNotifier_->setSocket(descriptor_);
  state_ = StateConnected;
  arrivalsAtCheck_ = arrivalCount_;
  silentChecks_ = 0;
  if (idleTimeoutMs_ > 0) idleTimer_->start(std::max(1, idleTimeoutMs_ / 4));
  emit connectionAccepted(remoteIp_);
}

void ModbusServer::turnAway(qintptr descriptor) {
  const QString ip = native::peerAddress(descriptor).toString();
  // Whatever it sent already is read first, so the close is an orderly one.
  char discard[512];
  native::prepareConnection(descriptor);
  for (int i = 0; i < 8 && native::receive(descriptor, discard, sizeof discard) > 0; ++i) {
  }
  native::closeDescriptor(descriptor);
  emit connectionTurnedAway(ip);
}

void ModbusServer::onReadable() {
  if (descriptor_ < 0) return;
  received_.resize(kReceiveChunk);
  const qint64 n = native::receive(descriptor_, received_.data(), kReceiveChunk);
  if (n == native::kWouldBlock) return;
  if (n <= 0) {
    endConnection(n == 0 ? ConnectionEnd::PeerClosed : ConnectionEnd::Broken);
    return;
  }
  received_.resize(n);
  ++arrivalCount_;
  emit dataArrival(received_);
}

void ModbusServer::onWritable() {
  if (descriptor_ < 0 || unsent_.isEmpty()) {
    writeNotifier_->setEnabled(false);
    return;
  }
  const qint64 n = native::send(descriptor_, unsent_.constData(), unsent_.size());
  if (n == native::kFailed) {
    endConnection(ConnectionEnd::Broken);
    return;
  }
  unsent_.remove(0, n);
  if (unsent_.isEmpty()) writeNotifier_->setEnabled(false);
}

void ModbusServer::onIdleCheck() {
  if (descriptor_ < 0 || idleTimeoutMs_ <= 0) return;
  silentChecks_ = arrivalCount_ == arrivalsAtCheck_ ? silentChecks_ + 1 : 0;
  arrivalsAtCheck_ = arrivalCount_;
  if (silentChecks_ >= 4) {
    // Silent for too long: treat it as gone so the next gateway is served.
    endConnection(ConnectionEnd::Idle);
  } else {
    idleTimer_->start();
  }
}

void ModbusServer::endConnection(ConnectionEnd how) {
  if (descriptor_ < 0) return;
  dropConnection();
  state_ = StatePeerClosed;
  emit connectionEnded(how);
}

void ModbusServer::dropConnection() {
  idleTimer_->stop();
  if (descriptor_ < 0) return;
  readNotifier_->setEnabled(false);
  writeNotifier_->setEnabled(false);
  native::closeDescriptor(descriptor_);
  descriptor_ = -1;
  unsent_.clear();
}

}  // namespace rvsim
