#pragma once
// The server side of RVSIM's one connection: listens on a port, takes one
// gateway at a time and hands every arrival of bytes to the window. Its
// state follows the socket state numbers the status panel shows.

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace rvsim {

enum SocketState {
  StateClosed = 0,
  StateOpen = 1,
  StateListening = 2,
  StateConnectionPending = 3,
  StateResolvingHost = 4,
  StateHostResolved = 5,
  StateConnecting = 6,
  StateConnected = 7,
  StatePeerClosed = 8,
  StateError = 9,
};

// The 18-character text the status box shows for a state number.
QString statusText(int state);

// Message for a listener that cannot bind its port: why, and how to fix it.
QString bindFailureText(quint16 port, QAbstractSocket::SocketError error, const QString& reason,
                        const QString& programPath);

class ModbusServer : public QObject {
  Q_OBJECT
 public:
  // The gateway scans every 0.5 s; one that has sent nothing for this long
  // has lost power or its link, and its connection is given up.
  static constexpr int kDefaultIdleTimeoutMs = 30000;

  explicit ModbusServer(quint16 port, int idleTimeoutMs = kDefaultIdleTimeoutMs, QObject* parent = nullptr);
  ~ModbusServer() override;

  // Starts listening on all local addresses. On failure returns false and
  // fills *error with bindFailureText.
  bool listen(QString* error = nullptr);
  // Ends the connection or stops listening; the state becomes 0.
  void close();
  // Closes what is left of a connection whose peer went away and listens again.
  bool rearm(QString* error = nullptr);

  int state() const { return state_; }
  // The port actually bound (the given one, or the one chosen for port 0).
  quint16 localPort() const;
  QString remoteHostIp() const { return remoteIp_; }
  // Descriptor of the current connection, -1 without one (for checks of its options).
  qintptr connectionDescriptor() const;

  // Sends one reply as a block, at once; dropped unless connected.
  void send(const QByteArray& bytes);

 signals:
  // A client was accepted (the listener is closed while it is served).
  void connectionAccepted(const QString& remoteIp);
  // Bytes arrived on the connection, all of them, in order.
  void dataArrival(const QByteArray& bytes);
  // The listener failed after it was started; the program cannot go on.
  void listenerFailed(const QString& text);

 private:
  void onNewConnection();
  void onReadyRead();
  void onPeerGone();
  void dropConnection();

  quint16 port_;
  int idleTimeoutMs_;
  int state_ = StateClosed;
  QTcpServer* listener_;
  QTcpSocket* connection_ = nullptr;
  QTimer* idleTimer_;
  QString remoteIp_;
};

}  // namespace rvsim
