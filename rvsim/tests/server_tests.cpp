// The server on a port chosen by the system, with real clients on loopback:
// one connection at a time, the states it goes through, and how it gets
// back to listening when the gateway goes away in any manner.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "modbus_server.h"

using namespace rvsim;

namespace {

constexpr int kWaitMs = 10000;

std::unique_ptr<QTcpSocket> connectClient(quint16 port) {
  auto s = std::make_unique<QTcpSocket>();
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

TEST(Server, ServesOneClientAndRefusesASecond) {
  ModbusServer server(0);
  ASSERT_TRUE(server.listen());
  EXPECT_EQ(server.state(), StateListening);
  const quint16 port = server.localPort();
  ASSERT_NE(port, 0);
  QSignalSpy accepted(&server, &ModbusServer::connectionAccepted);
  QSignalSpy arrivals(&server, &ModbusServer::dataArrival);

  auto first = connectClient(port);
  ASSERT_TRUE(waitConnected(server));
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_EQ(server.remoteHostIp(), QStringLiteral("127.0.0.1"));
  // Replies go out at once; a silent peer is probed.
  const qintptr fd = server.connectionDescriptor();
  EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);
  EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);

  // While the first is served the port does not listen.
  auto second = connectClient(port);
  QSignalSpy secondError(second.get(), &QTcpSocket::errorOccurred);
  ASSERT_TRUE(QTest::qWaitFor([&] { return secondError.count() > 0; }, kWaitMs));
  EXPECT_EQ(second->error(), QAbstractSocket::ConnectionRefusedError);

  // The first is undisturbed: bytes in, reply out.
  first->write("\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x14", 12);
  ASSERT_TRUE(QTest::qWaitFor([&] { return arrivals.count() > 0; }, kWaitMs));
  EXPECT_EQ(arrivals.at(0).at(0).toByteArray().size(), 12);
  server.send("reply");
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->bytesAvailable() >= 5; }, kWaitMs));
  EXPECT_EQ(first->readAll(), QByteArray("reply"));
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_EQ(server.state(), StateConnected);
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
  EXPECT_TRUE(error.contains(QStringLiteral("already using port %1").arg(holder.serverPort()))) << error.toStdString();

  const QString denied = bindFailureText(502, QAbstractSocket::SocketAccessError, QStringLiteral("permission denied"),
                                         QStringLiteral("/opt/xav/RVSIM"));
  EXPECT_TRUE(denied.contains(QStringLiteral("port 502"))) << denied.toStdString();
  EXPECT_TRUE(denied.contains(QStringLiteral("sudo setcap cap_net_bind_service=+ep /opt/xav/RVSIM")));
}
