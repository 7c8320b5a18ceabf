// The server on a port chosen by the system, with real clients on loopback:
// one connection at a time, the port kept while it is served, the states it
// goes through, and how it gets back to listening when the gateway goes
// away in any manner.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "modbus_server.h"
#include "port_holder.h"

#include <unistd.h>

using namespace rvsim;

namespace {

constexpr int kWaitMs = 10000;

// A client from the given loopback address (127.0.0.1 unless told).
std::unique_ptr<QTcpSocket> connectClient(quint16 port, const char* from = nullptr) {
  auto s = std::make_unique<QTcpSocket>();
  if (from) s->bind(QHostAddress(QString::fromLatin1(from)));
  s->connectToHost(QHostAddress::LocalHost, port);
  return s;
}

bool waitConnected(ModbusServer& server) {
  return QTest::qWaitFor([&] { return server.state() == StateConnected; }, kWaitMs);
}

int intOption(qintptr fd, int level, int name) {
  int v = 0;
  socklen_t len = sizeof v;
  getsockopt(static_cast<int>(fd), level, name, &v, &len);
  return v;
}

}  // namespace

TEST(Server, StatusTextsAreEighteenCharacters) {
  for (int st = -1; st <= 10; ++st) EXPECT_EQ(statusText(st).size(), 18) << st;
  EXPECT_EQ(statusText(2), QStringLiteral("Waiting for XAV   "));
  EXPECT_EQ(statusText(7), QStringLiteral("Connected         "));
  EXPECT_EQ(statusText(8), QStringLiteral("Peer Closed       "));
  EXPECT_EQ(statusText(3), QStringLiteral("Connection Pending"));
  EXPECT_EQ(statusText(42), QStringLiteral("Unknown Status    "));
}

TEST(Server, ServesOneClientAndTurnsASecondAwayAtOnce) {
  ModbusServer server(0);
  ASSERT_TRUE(server.listen());
  EXPECT_EQ(server.state(), StateListening);
  const quint16 port = server.localPort();
  ASSERT_NE(port, 0);
  QSignalSpy accepted(&server, &ModbusServer::connectionAccepted);
  QSignalSpy turnedAway(&server, &ModbusServer::connectionTurnedAway);
  QSignalSpy arrivals(&server, &ModbusServer::dataArrival);

  auto first = connectClient(port);
  ASSERT_TRUE(waitConnected(server));
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_EQ(server.remoteHostIp(), QStringLiteral("127.0.0.1"));
  // Replies go out at once; a silent peer is probed.
  const qintptr fd = server.connectionDescriptor();
  EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);
  EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);

  // A second client from another address is accepted and closed at once,
  // never left waiting.
  auto second = connectClient(port, "127.0.0.2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return second->state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
  EXPECT_EQ(second->error(), QAbstractSocket::RemoteHostClosedError);
  ASSERT_EQ(turnedAway.count(), 1);
  EXPECT_EQ(turnedAway.at(0).at(0).toString(), QStringLiteral("127.0.0.2"));

  // The first is undisturbed: bytes in, reply out.
  first->write("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
  ASSERT_TRUE(QTest::qWaitFor([&] { return arrivals.count() > 0; }, kWaitMs));
  EXPECT_EQ(arrivals.at(0).at(0).toByteArray().size(), 12);
  EXPECT_TRUE(server.send("reply"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->bytesAvailable() >= 5; }, kWaitMs));
  EXPECT_EQ(first->readAll(), QByteArray("reply"));
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_EQ(server.state(), StateConnected);
}

TEST(Server, TheGatewayBackFromItsOwnAddressReplacesItsDeadConnection) {
  // Idle timeout off: only the replacement can let the new connection in.
  ModbusServer server(0, 0);
  ASSERT_TRUE(server.listen());
  QSignalSpy accepted(&server, &ModbusServer::connectionAccepted);
  QSignalSpy replaced(&server, &ModbusServer::connectionReplaced);
  QSignalSpy ended(&server, &ModbusServer::connectionEnded);
  QSignalSpy arrivals(&server, &ModbusServer::dataArrival);
  auto dead = connectClient(server.localPort());
  ASSERT_TRUE(waitConnected(server));
  ASSERT_TRUE(dead->waitForConnected(kWaitMs));

  // The rebooted gateway: same address, the old peer silent and open.
  auto reborn = connectClient(server.localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return accepted.count() == 2; }, kWaitMs));
  ASSERT_EQ(replaced.count(), 1);
  EXPECT_EQ(replaced.at(0).at(0).toString(), QStringLiteral("127.0.0.1"));
  ASSERT_EQ(ended.count(), 1);
  EXPECT_EQ(ended.at(0).at(0).value<ConnectionEnd>(), ConnectionEnd::Replaced);
  EXPECT_EQ(server.state(), StateConnected);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dead->state() == QAbstractSocket::UnconnectedState; }, kWaitMs));

  // The new one is served.
  reborn->write("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
  ASSERT_TRUE(QTest::qWaitFor([&] { return arrivals.count() > 0; }, kWaitMs));
  EXPECT_TRUE(server.send("reply"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return reborn->bytesAvailable() >= 5; }, kWaitMs));

  // Anyone else is still turned away, and the gateway undisturbed.
  QSignalSpy turnedAway(&server, &ModbusServer::connectionTurnedAway);
  auto other = connectClient(server.localPort(), "127.0.0.3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return turnedAway.count() == 1; }, kWaitMs));
  EXPECT_EQ(replaced.count(), 1);
  EXPECT_EQ(server.state(), StateConnected);
  EXPECT_EQ(reborn->state(), QAbstractSocket::ConnectedState);
}

TEST(Server, ThePortStaysBoundWhileAGatewayIsServed) {
  ModbusServer server(0);
  ASSERT_TRUE(server.listen());
  auto gateway = connectClient(server.localPort());
  ASSERT_TRUE(waitConnected(server));
  // Another program cannot take the port from under the connection.
  QTcpServer intruder;
  EXPECT_FALSE(intruder.listen(QHostAddress::Any, server.localPort()));
  EXPECT_EQ(intruder.serverError(), QAbstractSocket::AddressInUseError);
  gateway->disconnectFromHost();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.state() == StatePeerClosed; }, kWaitMs));
  EXPECT_FALSE(intruder.listen(QHostAddress::Any, server.localPort()));
}

TEST(Server, AGatewayBackRightAfterClosingIsServed) {
  // The old connection's end and the new connection can be noticed in
  // either order; the new one must never be taken for an intruder.
  ModbusServer server(0, 0);
  ASSERT_TRUE(server.listen());
  QSignalSpy turnedAway(&server, &ModbusServer::connectionTurnedAway);
  QSignalSpy accepted(&server, &ModbusServer::connectionAccepted);
  for (int cycle = 1; cycle <= 50; ++cycle) {
    auto client = connectClient(server.localPort());
    ASSERT_TRUE(client->waitForConnected(kWaitMs)) << cycle;
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted.count() == cycle; }, kWaitMs)) << cycle;
    client->disconnectFromHost();  // and straight back, before the server has looked
  }
  EXPECT_EQ(turnedAway.count(), 0);
}

TEST(Server, AFailedAcceptIsRetriedAndNeverEndsTheServer) {
  ModbusServer server(0);
  ASSERT_TRUE(server.listen());
  QSignalSpy trouble(&server, &ModbusServer::listenerTrouble);
  // What Qt's listener does when the system cannot hand over a connection
  // (out of descriptors and the like): it stops accepting and says so.
  // (Exhausting the descriptors for real would also starve the sanitizers.)
  auto* listener = server.findChild<QTcpServer*>();
  ASSERT_NE(listener, nullptr);
  listener->pauseAccepting();
  emit listener->acceptError(QAbstractSocket::SocketResourceError);
  ASSERT_EQ(trouble.count(), 1);
  EXPECT_EQ(server.state(), StateListening);
  // A gateway that comes meanwhile waits in the system's queue ...
  auto client = connectClient(server.localPort());
  ASSERT_TRUE(client->waitForConnected(kWaitMs));
  // ... and is served after the next re-arm, on the same port.
  EXPECT_TRUE(server.rearm());
  EXPECT_TRUE(waitConnected(server));
  client->write("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
  QSignalSpy arrivals(&server, &ModbusServer::dataArrival);
  EXPECT_TRUE(QTest::qWaitFor([&] { return arrivals.count() > 0; }, kWaitMs));
}

TEST(Server, PeerCloseAndResetBothLeadBackToListening) {
  ModbusServer server(0);
  ASSERT_TRUE(server.listen());
  const quint16 port = server.localPort();

  // An orderly close.
  auto client = connectClient(port);
  ASSERT_TRUE(waitConnected(server));
  client->disconnectFromHost();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.state() == StatePeerClosed; }, kWaitMs));
  server.send("dropped");  // not connected: silently dropped
  ASSERT_TRUE(server.rearm());
  EXPECT_EQ(server.state(), StateListening);
  EXPECT_EQ(server.localPort(), port);  // the same port again

  // A power-cycled gateway: the connection ends with a reset.
  client = connectClient(port);
  ASSERT_TRUE(waitConnected(server));
  ASSERT_TRUE(client->waitForConnected(kWaitMs));
  linger hard{1, 0};
  setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  client->abort();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.state() == StatePeerClosed; }, kWaitMs));
  ASSERT_TRUE(server.rearm());

  client = connectClient(port);
  EXPECT_TRUE(waitConnected(server));
  server.close();
  EXPECT_EQ(server.state(), StateClosed);
}

TEST(Server, ASilentGatewayIsGivenUp) {
  ModbusServer server(0, 300);
  ASSERT_TRUE(server.listen());
  auto client = connectClient(server.localPort());
  ASSERT_TRUE(waitConnected(server));
  // Bytes keep it alive; silence ends it.
  client->write("x");
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.state() == StatePeerClosed; }, kWaitMs));
  EXPECT_EQ(server.connectionDescriptor(), -1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return client->state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
  ASSERT_TRUE(server.rearm());
  EXPECT_EQ(server.state(), StateListening);
}

TEST(Server, APortThatCannotBeBoundIsExplained) {
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
  ModbusServer server(holder.serverPort());
  QString error;
  EXPECT_FALSE(server.listen(&error));
  EXPECT_EQ(server.state(), StateClosed);
  // In use: by whom, and no advice about privileges.
  EXPECT_TRUE(error.contains(QStringLiteral("Port %1 is already in use by").arg(holder.serverPort()))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("(process %1)").arg(getpid()))) << error.toStdString();
  EXPECT_FALSE(error.contains(QStringLiteral("setcap"))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("--port"))) << error.toStdString();

  BindFailure denied{502, QAbstractSocket::SocketAccessError, QStringLiteral("permission denied"), QString(),
                     QStringLiteral("/opt/xav/RVSIM"), false};
  QString text = bindFailureText(denied);
  EXPECT_TRUE(text.contains(QStringLiteral("port 502"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("sudo setcap cap_net_bind_service=+ep /opt/xav/RVSIM")));
  // Root needs no capability: whatever refused the port, it was not that.
  denied.root = true;
  text = bindFailureText(denied);
  EXPECT_FALSE(text.contains(QStringLiteral("setcap"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("permission denied")));
  // In use with nobody found: said so plainly.
  const BindFailure busy{502, QAbstractSocket::AddressInUseError, QStringLiteral("in use"), QString(), QString(), false};
  EXPECT_TRUE(bindFailureText(busy).contains(QStringLiteral("Another program is already using port 502")));
  EXPECT_FALSE(bindFailureText(busy).contains(QStringLiteral("setcap")));
}

TEST(Server, ThePortsHolderIsFoundInTheSystemTables) {
  // A listener on 502 (0x01F6) owned by uid 1000, inode 4242, and a
  // connection on another port.
  const QByteArray table =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
      "   0: 0100007F:1F90 0100007F:9C40 01 00000000:00000000 00:00000000 00000000  1000        0 777 1\n"
      "   1: 00000000:01F6 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 4242 1\n";
  auto process = [](quint64 inode) { return inode == 4242 ? QStringLiteral("modbusd (process 31)") : QString(); };
  auto nobody = [](quint64) { return QString(); };
  auto user = [](uint uid) { return uid == 1000 ? QStringLiteral("plc") : QString(); };
  EXPECT_EQ(tcpPortHolderFrom(502, table, process, user), QStringLiteral("modbusd (process 31)"));
  EXPECT_EQ(tcpPortHolderFrom(502, table, nobody, user), QStringLiteral("a program of user plc"));
  EXPECT_EQ(tcpPortHolderFrom(503, table, process, user), QString());
  EXPECT_EQ(tcpPortHolderFrom(502, QByteArray("garbage\n1 2 3\n"), process, user), QString());
}
