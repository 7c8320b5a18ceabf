#pragma once
// The server side of RVSIM's one connection. The port is bound once, at the
// start, and kept for the whole run: one gateway is served at a time, and a
// further client that connects meanwhile is accepted and closed at once, so
// no other program can take the port and a gateway reconnecting right after
// it closed is served, never reset. The state follows the socket state
// numbers the status panel shows.

#include <QAbstractSocket>
#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTcpServer;
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

// How a served connection ended. Replaced: the gateway connected again from
// the same address (it was power-cycled); Dropped: closed on purpose.
enum class ConnectionEnd { PeerClosed, Broken, Idle, Replaced, Dropped };

// The 18-character text the status box shows for a state number.
QString statusText(int state);

// What is known about a port that could not be bound.
struct BindFailure {
  quint16 port = 0;
  QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
  QString reason;       // the system's words
  QString holder;       // who holds the port, when it can be found
  QString programPath;  // this program, for the capability advice
  bool root = false;    // running with full privileges
};

// Message for a listener that cannot bind its port: in use (and by whom),
// or not permitted (and how to permit it), or what the system said.
QString bindFailureText(const BindFailure& failure);

class ModbusServer : public QObject {
  Q_OBJECT
 public:
  // The gateway scans every 0.5 s; one that has sent nothing for this long
  // has lost power or its link, and its connection is given up.
  static constexpr int kDefaultIdleTimeoutMs = 30000;
  // Replies the peer does not take in are held up to this much, then the
  // connection is given up (a client that writes but never reads).
  static constexpr qsizetype kMaxUnsentBytes = 64 * 1024;

  explicit ModbusServer(quint16 port, int idleTimeoutMs = kDefaultIdleTimeoutMs, QObject* parent = nullptr);
  ~ModbusServer() override;

  // Binds the port on all local addresses and listens. On failure returns
  // false and fills *error with bindFailureText.
  bool listen(QString* error = nullptr);
  // Ends the connection and gives up the port; the state becomes 0.
  void close();
  // After the gateway has gone: listening again (state 2). A listener that
  // had to stop accepting (out of descriptors and the like) is resumed; a
  // failure is reported and tried again at the next call, never fatal.
  bool rearm(QString* error = nullptr);

  int state() const { return state_; }
  bool isListening() const;
  // The port actually bound (the given one, or the one chosen for port 0).
  quint16 localPort() const { return port_; }
  QString remoteHostIp() const { return remoteIp_; }
  // Descriptor of the current connection, -1 without one (for checks of its options).
  qintptr connectionDescriptor() const { return descriptor_; }

  // Sends one reply as a block, at once; dropped unless connected. Returns
  // whether it was handed on.
  bool send(QByteArrayView bytes);
  // Closes the gateway's connection now, as a PLC that drops it would.
  void dropConnectionNow();

 signals:
  void connectionAccepted(const QString& remoteIp);
  // A client from another address that connected while the gateway is
  // served; it was closed at once.
  void connectionTurnedAway(const QString& remoteIp);
  // The gateway connected again from the address being served: its old
  // connection was closed (connectionEnded with Replaced), the new one is
  // served (connectionAccepted follows).
  void connectionReplaced(const QString& remoteIp);
  void connectionEnded(rvsim::ConnectionEnd how);
  // Bytes arrived on the connection, all that were waiting, in order.
  void dataArrival(const QByteArray& bytes);
  // The listener could not accept a connection; it is retried at the next re-arm.
  void listenerTrouble(const QString& text);

 private:
  void incoming(qintptr descriptor);
  void serve(qintptr descriptor);
  void turnAway(qintptr descriptor);
  void onReadable();
  void onWritable();
  void onIdleCheck();
  void endConnection(ConnectionEnd how);
  void dropConnection();

  quint16 port_;
  int idleTimeoutMs_;
  int state_ = StateClosed;
  QTcpServer* listener_;
  bool acceptPaused_ = false;
  qintptr descriptor_ = -1;
  QSocketNotifier* readNotifier_;
  QSocketNotifier* writeNotifier_;
  QTimer* idleTimer_;
  // Silence is judged from arrivals counted between checks, so an arrival
  // costs no clock reading: a connection is given up after 4 to 5 silent
  // quarters of the idle timeout.
  quint64 arrivalCount_ = 0;
  quint64 arrivalsAtCheck_ = 0;
  int silentChecks_ = 0;
  QByteArray received_;
  QByteArray unsent_;
  QString remoteIp_;
};

}  // namespace rvsim
