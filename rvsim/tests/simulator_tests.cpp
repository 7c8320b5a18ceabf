// The simulator core with real clients on loopback: requests and their
// entry state, the counters and the decoded log, fast reconnects, and the
// captions file; no window anywhere.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files.h"
#include "platform.h"
#include "simulator.h"

using namespace rvsim;

namespace {

constexpr int kWaitMs = 10000;

QByteArray bytes(std::initializer_list<int> list) {
  QByteArray b;
  for (int v : list) b.append(static_cast<char>(v));
  return b;
}

QByteArray readFrame(quint16 tid) { return bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 6, 1, 3, 0, 20, 0, 20}); }

QByteArray writeFrame(quint16 tid, const std::vector<int>& values) {
  QByteArray f = bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 47, 1, 16, 0, 0, 0, 20, 40});
  for (int i = 0; i < 20; ++i) f += bytes({0, i < int(values.size()) ? values[size_t(i)] : 0});
  return f;
}

Simulator::Options onFreePort() {
  Simulator::Options o;
  o.port = 0;
  return o;
}

// Sends a frame and waits for a reply of the given size.
QByteArray exchange(QTcpSocket& client, const QByteArray& frame, int replySize) {
  client.write(frame);
  if (!QTest::qWaitFor([&] { return client.bytesAvailable() >= replySize; }, kWaitMs)) return {};
  return client.read(replySize);
}

class ConfigDir : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", old_); }
  QTemporaryDir dir_;
  QByteArray old_;
};

}  // namespace

TEST(Simulator, ReadsSeeTheCommittedRequestWhileANewOneIsTyped) {
  Simulator sim(onFreePort());
  QSignalSpy changed(&sim, &Simulator::requestChanged);
  sim.commitRequest(3, 40);
  EXPECT_EQ(changed.count(), 1);
  sim.beginRequestEntry(3, QString());
  sim.typeRequest(3, QStringLiteral("12"));
  const DriveRequest& r = sim.image().row(3).request;
  EXPECT_TRUE(r.inEntry);
  EXPECT_EQ(r.committed, 40);
  EXPECT_EQ(r.text(), QStringLiteral("12"));
  RegisterImage copy = sim.image();
  EXPECT_EQ(static_cast<quint8>(handleFrame(readFrame(1), copy, false, {}).reply[14]), 40);
  sim.commitRequest(3, 123);
  EXPECT_FALSE(r.inEntry);
  EXPECT_EQ(r.committed, 123);
  // Out of range values are held to 0..254; rows outside 1..20 are ignored.
  sim.commitRequest(4, 300);
  EXPECT_EQ(sim.image().row(4).request.committed, 254);
  sim.commitRequest(4, -3);
  EXPECT_EQ(sim.image().row(4).request.committed, 0);
  sim.commitRequest(0, 5);
  sim.commitRequest(21, 5);
  sim.commitRequest(3, 123);  // unchanged: no signal
  EXPECT_EQ(changed.count(), 4);
}

TEST(Simulator, CountersAndTheLogFollowTheTraffic) {
  Simulator sim(onFreePort());
  sim.setTrafficLogOn(true);
  QString error;
  ASSERT_TRUE(sim.start(&error)) << error.toStdString();
  sim.commitRequest(1, 9);
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, sim.server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim.state() == StateConnected; }, kWaitMs));
  EXPECT_EQ(sim.msSinceLastWrite(), -1);

  EXPECT_EQ(exchange(gateway, writeFrame(0x0101, {5, 6, 7}), kWriteReplySize).size(), kWriteReplySize);
  const QByteArray reply = exchange(gateway, readFrame(0x0102), kReadReplySize);
  ASSERT_EQ(reply.size(), kReadReplySize);
  EXPECT_EQ(reply[10], 9);
  // Function 6 is ignored; of two frames in one arrival the second is passed over.
  gateway.write(bytes({0, 3, 0, 0, 0, 6, 1, 6, 0, 0, 0, 5}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim.counters().framesIgnored == 1; }, kWaitMs));
  EXPECT_EQ(exchange(gateway, readFrame(0x0104) + readFrame(0x0105), kReadReplySize).left(2), bytes({1, 4}));

  // A second client is turned away.
  QTcpSocket intruder;
  intruder.bind(QHostAddress(QStringLiteral("127.0.0.2")));  // not the gateway's own address
  intruder.connectToHost(QHostAddress::LocalHost, sim.server()->localPort());
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim.counters().connectionsTurnedAway == 1; }, kWaitMs));

  const TrafficCounters& c = sim.counters();
  EXPECT_EQ(c.connectionsAccepted, 1u);
  EXPECT_EQ(c.writesAnswered, 1u);
  EXPECT_EQ(c.readsAnswered, 2u);
  EXPECT_EQ(c.framesIgnored, 2u);
  EXPECT_EQ(c.bytesIn, 53u + 12u + 12u + 24u);
  EXPECT_EQ(c.bytesOut, 12u + 49u + 49u);
  EXPECT_GE(sim.msSinceLastWrite(), 0);

  // In, out, in, out, ignored in, in, out.
  const TrafficLog& log = sim.trafficLog();
  ASSERT_EQ(log.nextSequence(), 7u);
  EXPECT_EQ(trafficColumns(log.at(0)).mid(1), QStringList({"in", "257", "1", "16", "0", "20",
                                                             "positions 5 6 7 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"}));
  EXPECT_EQ(trafficColumns(log.at(1)).mid(1), QStringList({"out", "257", "1", "16", "0", "20", "20 registers written"}));
  EXPECT_EQ(trafficColumns(log.at(2)).mid(1), QStringList({"in", "258", "1", "3", "20", "20", "read 20 registers"}));
  EXPECT_EQ(trafficColumns(log.at(3)).mid(1), QStringList({"out", "258", "1", "3", "", "20",
                                                             "requests 9 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"}));
  EXPECT_EQ(trafficColumns(log.at(4)).mid(1), QStringList({"in", "3", "1", "6", "", "", "function 6: not answered"}));
  EXPECT_TRUE(trafficLine(log.at(4)).endsWith(QStringLiteral("\tfunction 6: not answered")));
}

TEST(Traffic, CutFramesAndTheRingsBound) {
  // A write cut to its header carries no register: logged, not answered.
  const TrafficRecord cut = recordFrame(writeFrame(9, {}).left(12), Direction::In, 0, false);
  EXPECT_EQ(trafficColumns(cut).last(), QStringLiteral("cut short (12 bytes): not answered"));
  TrafficLog log;
  for (int n = 0; n < TrafficLog::kCapacity + 25; ++n) log.add(recordFrame(readFrame(quint16(n)), Direction::In, n));
  EXPECT_EQ(log.firstSequence(), 25u);
  EXPECT_EQ(trafficColumn(log.at(log.firstSequence()), 2), QStringLiteral("25"));
  EXPECT_EQ(trafficColumn(log.at(log.nextSequence() - 1), 2), QString::number(TrafficLog::kCapacity + 24));
}

TEST(Simulator, FastReconnectsAreAlwaysServed) {
  // A gateway that reconnects the moment it has closed, many times over:
  // every connection gets its reply, none is reset or turned away.
  Simulator sim(onFreePort());
  QString error;
  ASSERT_TRUE(sim.start(&error));
  const quint16 port = sim.server()->localPort();
  std::atomic<int> served{0}, failed{0}, done{0};
  std::thread client([&] {
    const QByteArray request = readFrame(7);
    for (int cycle = 0; cycle < 300 && failed == 0; ++cycle) {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      timeval limit{5, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(port);
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      char reply[64];
      const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                      ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size() &&
                      ::recv(fd, reply, kReadReplySize, MSG_WAITALL) == kReadReplySize;
      ::close(fd);
      ++(ok ? served : failed);
    }
    done = 1;
  });
  const bool finished = QTest::qWaitFor([&] { return done == 1; }, 120000);
  client.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(served, 300);
  EXPECT_EQ(sim.counters().connectionsTurnedAway, 0u);
}

TEST_F(ConfigDir, CaptionsAreReadWrittenAndCleared) {
  const QString path = xav::platform::captionsFilePath();
  ASSERT_TRUE(xav::writeWholeFile(path, "ignored\r\nPump\r\nMixer\r\n"));
  Simulator sim(onFreePort());
  QSignalSpy changed(&sim, &Simulator::captionsChanged);
  sim.OpenCaptions();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(sim.image().row(1).caption, QStringLiteral("Pump"));
  EXPECT_EQ(sim.image().row(3).caption, QString());
  sim.setCaption(20, QStringLiteral("Silo"));
  sim.CreateCaptionFile();
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_EQ(data, "\r\nPump\r\nMixer\r\n" + QByteArray("\r\n").repeated(17) + "Silo\r\n");
  sim.clearCaptions();
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_EQ(data, QByteArray("\r\n").repeated(21));
  EXPECT_EQ(sim.image().row(1).caption, QString());
}

TEST_F(ConfigDir, CaptionsKeepTheirLatin1Bytes) {
  const QString path = xav::platform::captionsFilePath();
  const QByteArray file = "\r\nF\xF6rderband S\xFC" "d\r\n" + QByteArray("\r\n").repeated(19);
  ASSERT_TRUE(xav::writeWholeFile(path, file));
  Simulator sim(onFreePort());
  QSignalSpy notice(&sim, &Simulator::notice);
  sim.OpenCaptions();
  EXPECT_EQ(sim.image().row(1).caption, QStringLiteral("F\u00F6rderband S\u00FCd"));
  sim.CreateCaptionFile();
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  EXPECT_EQ(data, file);  // byte for byte, no U+FFFD
  EXPECT_EQ(notice.count(), 0);
  EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".bak")));
}

TEST_F(ConfigDir, AFileThatIsNoCaptionsFileIsKeptAsideBeforeTheFirstSave) {
  const QString path = xav::platform::captionsFilePath();
  const QByteArray big = QByteArray(10 * 1024 * 1024, 'a') + "\r\n";
  const QByteArray binary = QByteArray("\r\nPump\r\n\0\x01\x02", 11) + "\r\n";
  const QByteArray noLineEnd = "Pump Mixer Silo";
  const QByteArray longer = QByteArray("\r\n").repeated(21) + "line 22\r\n";
  for (const QByteArray& contents : {big, binary, noLineEnd, longer}) {
    SCOPED_TRACE(contents.left(20).toStdString());
    QFile::remove(path + QStringLiteral(".bak"));
    ASSERT_TRUE(xav::writeWholeFile(path, contents));
    Simulator sim(onFreePort());
    QSignalSpy notice(&sim, &Simulator::notice);
    QSignalSpy trouble(&sim, &Simulator::trouble);
    sim.OpenCaptions();
    QByteArray data;
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data, contents);  // reading changes nothing
    sim.setCaption(2, QStringLiteral("Mixer"));
    sim.CreateCaptionFile();
    ASSERT_TRUE(xav::readWholeFile(path + QStringLiteral(".bak"), &data));
    EXPECT_EQ(data, contents);
    ASSERT_TRUE(xav::readWholeFile(path, &data));
    EXPECT_EQ(data.count("\r\n"), 21);
    EXPECT_TRUE(data.contains("\r\nMixer\r\n"));
    ASSERT_EQ(notice.count(), 1);  // said once
    EXPECT_TRUE(notice.at(0).at(0).toString().contains(QStringLiteral("ModBusCaptions.txt.bak")));
    sim.CreateCaptionFile();
    EXPECT_EQ(notice.count(), 1);
    EXPECT_EQ(trouble.count(), 0);
  }
  // A backup already there is never overwritten.
  ASSERT_TRUE(xav::writeWholeFile(path, noLineEnd));
  Simulator sim(onFreePort());
  sim.OpenCaptions();
  sim.CreateCaptionFile();
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path + QStringLiteral(".bak.2"), &data));
  EXPECT_EQ(data, noLineEnd);
}

TEST_F(ConfigDir, OnlyARegularFileIsEverOpenedAsCaptions) {
  const QString path = xav::platform::captionsFilePath();
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
  // A pipe with no writer would hang an open for good; a folder cannot be read.
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  for (int round = 0; round < 2; ++round) {
    Simulator sim(onFreePort());
    QSignalSpy trouble(&sim, &Simulator::trouble);
    sim.OpenCaptions();  // returns: does not wait for a writer
    ASSERT_EQ(trouble.count(), 1);
    EXPECT_TRUE(trouble.at(0).at(0).toString().contains(QStringLiteral("not a regular file")));
    sim.setCaption(1, QStringLiteral("Pump"));
    sim.CreateCaptionFile();
    sim.CreateCaptionFile();
    EXPECT_EQ(trouble.count(), 2);  // the save refused, said once
    EXPECT_FALSE(QFileInfo(path).isFile());
    if (round == 0) {
      ASSERT_TRUE(QFile::remove(path));
      ASSERT_TRUE(QDir().mkdir(path));  // the second round: a folder
    }
  }
}
