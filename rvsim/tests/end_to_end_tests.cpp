// RVSIM's window and server with the simulated gateway on loopback: requests
// typed by hand come back as positions, a reset connection is served again,
// a second client is refused, and the injected faults do no harm.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "request_box.h"
#include "rvsim_window.h"
#include "simulator.h"
#include "modbus_server.h"

using namespace rvsim;

namespace {

constexpr int kWaitMs = 20000;

QString gatewayProgram() {
  QString dir = qEnvironmentVariable("XAV_BIN_DIR");
  if (dir.isEmpty()) dir = QStringLiteral(RVSIM_TEST_BIN_DIR);
  return dir + QStringLiteral("/xav-gateway-sim");
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    Simulator::Options o;
    o.port = 0;
    o.refreshMs = 200;
    sim_ = std::make_unique<Simulator>(o);
    form_ = std::make_unique<RvsimWindow>(*sim_);
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    ASSERT_EQ(sim_->server()->state(), StateListening);
  }
  void TearDown() override {
    if (gateway_.state() != QProcess::NotRunning) {
      gateway_.terminate();
      if (!gateway_.waitForFinished(5000)) gateway_.kill();
      gateway_.waitForFinished(5000);
    }
    form_.reset();
    sim_.reset();
    qputenv("XDG_CONFIG_HOME", oldConfig_);
  }

  void startGateway(QStringList extra) {
    QStringList args = {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                        QString::number(sim_->server()->localPort()), QStringLiteral("--interval"), QStringLiteral("40"),
                        QStringLiteral("--speed"), QStringLiteral("4")};
    args += extra;
    gateway_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gateway_.start(gatewayProgram(), args);
    ASSERT_TRUE(gateway_.waitForStarted(5000)) << gatewayProgram().toStdString();
  }

  void typeRequest(int row, const QString& value) {
    reqReg(row)->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(reqReg(row), value);
    QTest::keyClick(reqReg(row), Qt::Key_Return);
  }

  bool positionReaches(int row, const QString& value) {
    return QTest::qWaitFor([&] { return posReg(row)->text() == value; }, kWaitMs);
  }

  QTemporaryDir config_;
  QByteArray oldConfig_;
  template <typename T>
  T* named(const QString& name) const {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  RequestBox* reqReg(int i) const { return named<RequestBox>(QStringLiteral("ReqReg(%1)").arg(i)); }
  QLineEdit* posReg(int i) const { return named<QLineEdit>(QStringLiteral("PosReg(%1)").arg(i)); }
  QLabel* modReg(int i) const { return named<QLabel>(QStringLiteral("ModReg(%1)").arg(i)); }
  QLineEdit* state() const { return named<QLineEdit>(QStringLiteral("State")); }
  QLineEdit* remoteIP() const { return named<QLineEdit>(QStringLiteral("RemoteIP")); }

  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<RvsimWindow> form_;
  QProcess gateway_;
};

}  // namespace

TEST_F(EndToEnd, TypedRequestsComeBackAsPositions) {
  QSignalSpy end(form_.get(), &RvsimWindow::programEnd);
  startGateway({QStringLiteral("--initial"), QStringLiteral("1")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return state()->text() == QStringLiteral("Connected         "); }, kWaitMs));
  EXPECT_EQ(remoteIP()->text(), QStringLiteral("127.0.0.1"));
  ASSERT_TRUE(positionReaches(1, QStringLiteral("1")));
  EXPECT_EQ(modReg(1)->text(), QStringLiteral("40001"));

  typeRequest(3, QStringLiteral("30"));
  typeRequest(20, QStringLiteral("150"));
  EXPECT_TRUE(positionReaches(3, QStringLiteral("30")));
  EXPECT_TRUE(positionReaches(20, QStringLiteral("150")));
  EXPECT_EQ(posReg(2)->text(), QStringLiteral("1"));  // nothing asked of it

  // A second client is closed at once while the gateway is served, which carries on.
  QTcpSocket intruder;
  QSignalSpy closed(&intruder, &QTcpSocket::errorOccurred);
  intruder.bind(QHostAddress(QStringLiteral("127.0.0.2")));  // not the gateway's own address
  intruder.connectToHost(QHostAddress::LocalHost, sim_->server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() > 0; }, kWaitMs));
  EXPECT_EQ(intruder.error(), QAbstractSocket::RemoteHostClosedError);
  EXPECT_EQ(sim_->counters().connectionsTurnedAway, 1u);
  typeRequest(3, QStringLiteral("10"));
  EXPECT_TRUE(positionReaches(3, QStringLiteral("10")));
  EXPECT_EQ(end.count(), 0);
}

TEST_F(EndToEnd, AResetConnectionIsServedAgain) {
  QSignalSpy accepted(sim_->server(), &ModbusServer::connectionAccepted);
  QSignalSpy end(form_.get(), &RvsimWindow::programEnd);
  startGateway({QStringLiteral("--reset-every"), QStringLiteral("6")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return accepted.count() >= 3; }, kWaitMs));
  EXPECT_EQ(end.count(), 0);
  typeRequest(5, QStringLiteral("9"));
  EXPECT_TRUE(positionReaches(5, QStringLiteral("9")));
}

TEST_F(EndToEnd, CutSplitAndUnknownFramesDoNoHarm) {
  QSignalSpy accepted(sim_->server(), &ModbusServer::connectionAccepted);
  startGateway({QStringLiteral("--short-every"), QStringLiteral("3"), QStringLiteral("--split-every"),
                QStringLiteral("4"), QStringLiteral("--unknown-every"), QStringLiteral("5"), QStringLiteral("--initial"),
                QStringLiteral("2")});
  typeRequest(1, QStringLiteral("40"));
  typeRequest(12, QStringLiteral("35"));
  EXPECT_TRUE(positionReaches(1, QStringLiteral("40")));
  EXPECT_TRUE(positionReaches(12, QStringLiteral("35")));
  // Positions only ever show values the drives pass through.
  for (int n = 0; n < 20; ++n) {
    QTest::qWait(20);
    for (int i = 1; i <= 20; ++i) {
      const long long p = posReg(i)->text().toLongLong();
      EXPECT_TRUE(p == 2 || (i == 1 && p <= 40) || (i == 12 && p <= 35)) << i << " " << p;
    }
  }
  EXPECT_EQ(accepted.count(), 1);  // the connection was never lost
}
