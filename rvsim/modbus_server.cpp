#include "modbus_server.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "platform.h"
#include "socket_tuning.h"

namespace rvsim {

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

QString bindFailureText(quint16 port, QAbstractSocket::SocketError error, const QString& reason,
                        const QString& programPath) {
  QString why;
  if (error == QAbstractSocket::SocketAccessError) {
    why = QStringLiteral("The program is not allowed to use port %1: ports below 1024 are reserved "
                         "for privileged programs.")
              .arg(port);
  } else if (error == QAbstractSocket::AddressInUseError) {
    why = QStringLiteral("Another program is already using port %1.").arg(port);
  } else {
    why = QStringLiteral("The system refused to open port %1.").arg(port);
  }
  QString fix;
  if (xav::platform::kWindows) {
    fix = QStringLiteral("Close the program that holds port %1 and start RVSIM again.").arg(port);
  } else {
    fix = QStringLiteral("To let RVSIM use port %1 without running it as root, grant it the right once:\n"
                         "    sudo setcap cap_net_bind_service=+ep %2\n"
                         "If another program holds the port (another Modbus server, or a second "
                         "RVSIM), stop it and start RVSIM again.")
              .arg(port)
              .arg(programPath);
  }
  return QStringLiteral("RVSIM cannot listen on TCP port %1 (%2).\n\n%3\n\n%4").arg(port).arg(reason, why, fix);
}

ModbusServer::ModbusServer(quint16 port, int idleTimeoutMs, QObject* parent)
    : QObject(parent), port_(port), idleTimeoutMs_(idleTimeoutMs), listener_(new QTcpServer(this)),
      idleTimer_(new QTimer(this)) {
  listener_->setMaxPendingConnections(1);
  connect(listener_, &QTcpServer::newConnection, this, &ModbusServer::onNewConnection);
  connect(listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
    emit listenerFailed(QStringLiteral("RVSIM cannot accept connections on TCP port %1 (%2).")
                            .arg(port_)
                            .arg(listener_->errorString()));
  });
  idleTimer_->setSingleShot(true);
  connect(idleTimer_, &QTimer::timeout, this, [this] {
    // Silent for too long: treat it as gone so the listener is re-armed.
    dropConnection();
    state_ = StatePeerClosed;
  });
}

ModbusServer::~ModbusServer() { dropConnection(); }

bool ModbusServer::listen(QString* error) {
  if (!listener_->listen(QHostAddress::Any, port_)) {
    if (error) {
      *error = bindFailureText(port_, listener_->serverError(), listener_->errorString(),
                               QCoreApplication::applicationFilePath());
    }
    state_ = StateClosed;
    return false;
  }
  // A port chosen by the system (0) stays the same across re-arming.
  port_ = listener_->serverPort();
  state_ = StateListening;
  return true;
}

void ModbusServer::close() {
  dropConnection();
  listener_->close();
  state_ = StateClosed;
}

bool ModbusServer::rearm(QString* error) {
  close();
  return listen(error);
}

quint16 ModbusServer::localPort() const { return port_; }

qintptr ModbusServer::connectionDescriptor() const { return connection_ ? connection_->socketDescriptor() : -1; }

void ModbusServer::send(const QByteArray& bytes) {
  if (state_ != StateConnected || !connection_) return;
  connection_->write(bytes);
  connection_->flush();
}

void ModbusServer::onNewConnection() {
  QTcpSocket* socket = listener_->nextPendingConnection();
  if (!socket) return;
  // One gateway at a time: while it is served the port does not listen.
  if (state_ != StateClosed) listener_->close();
  dropConnection();
  connection_ = socket;
  connection_->setParent(this);
  connection_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connection_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  shortenKeepAlive(connection_->socketDescriptor());
  connect(connection_, &QTcpSocket::readyRead, this, &ModbusServer::onReadyRead);
  connect(connection_, &QTcpSocket::disconnected, this, &ModbusServer::onPeerGone);
  // A reset (power-cycled gateway) or any other failure of the connection
  // ends that connection only, like a peer that closed.
  connect(connection_, &QTcpSocket::errorOccurred, this, &ModbusServer::onPeerGone);

  QHostAddress peer = connection_->peerAddress();
  bool isV4 = false;
  const quint32 v4 = peer.toIPv4Address(&isV4);
  remoteIp_ = isV4 ? QHostAddress(v4).toString() : peer.toString();
  state_ = StateConnected;
  if (idleTimeoutMs_ > 0) idleTimer_->start(idleTimeoutMs_);
  emit connectionAccepted(remoteIp_);
  // Bytes may have come with the connection itself.
  if (connection_ && connection_->bytesAvailable() > 0) onReadyRead();
}

void ModbusServer::onReadyRead() {
  if (!connection_) return;
  const QByteArray bytes = connection_->readAll();
  if (bytes.isEmpty()) return;
  if (idleTimeoutMs_ > 0) idleTimer_->start(idleTimeoutMs_);
  emit dataArrival(bytes);
}

void ModbusServer::onPeerGone() {
  if (state_ != StateConnected) return;
  idleTimer_->stop();
  state_ = StatePeerClosed;
}

void ModbusServer::dropConnection() {
  idleTimer_->stop();
  if (!connection_) return;
  QTcpSocket* socket = connection_;
  connection_ = nullptr;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

}  // namespace rvsim
