// The headless mode: each command's JSON answer, and the real program
// without a display, driven on standard input against the simulated
// gateway and the golden replies.
#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "command_line.h"
#include "console_io.h"
#include "files.h"
#include "golden_exchanges.h"
#include "headless.h"
#include "platform.h"
#include "simulator.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace rvsim;

namespace {

constexpr int kWaitMs = 20000;

QString program(const char* name) {
  QString dir = qEnvironmentVariable("XAV_BIN_DIR");
  if (dir.isEmpty()) dir = QStringLiteral(RVSIM_TEST_BIN_DIR);
  return dir + QLatin1Char('/') + QLatin1String(name);
}

QJsonObject parse(const QByteArray& line) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
  EXPECT_TRUE(doc.isObject()) << line.toStdString();
  return doc.object();
}

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    Simulator::Options o;
    o.port = 0;
    sim_ = std::make_unique<Simulator>(o);
    session_ = std::make_unique<HeadlessSession>(*sim_, [this](QByteArrayView l, bool) { lines_ << l.toByteArray(); });
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", old_); }
  QJsonObject answer(const QString& command) {
    lines_.clear();
    session_->handleCommand(command);
    EXPECT_EQ(lines_.size(), 1) << command.toStdString();
    return lines_.isEmpty() ? QJsonObject() : parse(lines_.last());
  }

  QTemporaryDir dir_;
  QByteArray old_;
  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<HeadlessSession> session_;
  QList<QByteArray> lines_;
};

// RVSIM --headless as a process, its output read line by line.
class HeadlessProgram {
 public:
  explicit HeadlessProgram(const QString& configDir, QStringList extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display at all, and a platform that would need one: the headless
    // mode must not touch it.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program("RVSIM"), QStringList{QStringLiteral("--headless"), QStringLiteral("--port"), QStringLiteral("0")} + extra);
  }
  ~HeadlessProgram() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(5000);
    }
  }
  // The next line whose object satisfies the condition (others are kept in seen).
  QJsonObject next(const std::function<bool(const QJsonObject&)>& wanted, int waitMs = kWaitMs) {
    QJsonObject found;
    (void)QTest::qWaitFor(
        [&] {
          while (process.canReadLine()) {
            const QJsonObject o = parse(process.readLine().trimmed());
            seen << o;
            if (wanted(o)) {
              found = o;
              return true;
            }
          }
          return process.state() == QProcess::NotRunning && !process.canReadLine();
        },
        waitMs);
    return found;
  }
  QJsonObject reply(const char* command) {
    process.write(QByteArray(command) + '\n');
    const QString name = QString::fromLatin1(command).section(QLatin1Char(' '), 0, 0);
    return next([&](const QJsonObject& o) { return o.value(QStringLiteral("reply")).toString() == name || o.contains(QStringLiteral("error")); });
  }
  quint16 port() {
    const QJsonObject o = next([](const QJsonObject& o) { return o.value(QStringLiteral("event")) == QStringLiteral("listening"); });
    return static_cast<quint16>(o.value(QStringLiteral("port")).toInt());
  }
  QProcess process;
  QList<QJsonObject> seen;
};

bool isEvent(const QJsonObject& o, const char* name) { return o.value(QStringLiteral("event")).toString() == QLatin1String(name); }

}  // namespace

TEST_F(Session, CommandsAnswerWithOneJsonObjectEach) {
  QJsonObject o = answer(QStringLiteral("set c 254"));
  EXPECT_EQ(o.value(QStringLiteral("reply")).toString(), QStringLiteral("set"));
  EXPECT_EQ(o.value(QStringLiteral("drive")).toString(), QStringLiteral("C"));
  EXPECT_EQ(sim_->image().row(3).request.committed, 254);
  answer(QStringLiteral("  SET U 007 "));
  EXPECT_EQ(sim_->image().row(20).request.committed, 7);

  // Refusals change nothing and say why.
  for (const char* bad : {"set C 255", "set C -1", "set C 1x", "set S 3", "set V 3", "set C", "set C 4 5", "set CC 4",
                          "fly", "get now", "caption", "caption S x"}) {
    o = answer(QString::fromLatin1(bad));
    EXPECT_TRUE(o.contains(QStringLiteral("error"))) << bad;
    EXPECT_FALSE(o.value(QStringLiteral("command")).toString().isEmpty()) << bad;
  }
  EXPECT_EQ(sim_->image().row(3).request.committed, 254);
  lines_.clear();
  session_->handleCommand(QStringLiteral("   "));  // blank lines are passed over
  EXPECT_TRUE(lines_.isEmpty());

  o = answer(QStringLiteral("caption B Silo 2  east"));
  EXPECT_EQ(o.value(QStringLiteral("caption")).toString(), QStringLiteral("Silo 2  east"));
  QByteArray file;
  ASSERT_TRUE(xav::readWholeFile(xav::platform::captionsFilePath(), &file));
  EXPECT_EQ(file, "\r\n\r\nSilo 2  east\r\n" + QByteArray("\r\n").repeated(18));

  o = answer(QStringLiteral("get"));
  ASSERT_EQ(o.value(QStringLiteral("positions")).toArray().size(), 20);
  EXPECT_EQ(o.value(QStringLiteral("requests")).toArray().at(2).toInt(), 254);
  EXPECT_EQ(o.value(QStringLiteral("requests")).toArray().at(19).toInt(), 7);
  EXPECT_EQ(o.value(QStringLiteral("captions")).toArray().at(1).toString(), QStringLiteral("Silo 2  east"));
  EXPECT_EQ(o.value(QStringLiteral("state")).toString(), QStringLiteral("Port Closed"));
  EXPECT_FALSE(o.contains(QStringLiteral("first_position_register")));  // no write yet

  o = answer(QStringLiteral("stats"));
  EXPECT_EQ(o.value(QStringLiteral("answered")).toObject().value(QStringLiteral("16")).toInt(), 0);
  EXPECT_TRUE(o.value(QStringLiteral("ms_since_last_write")).isNull());

  QSignalSpy quit(session_.get(), &HeadlessSession::quitRequested);
  EXPECT_EQ(answer(QStringLiteral("quit")).value(QStringLiteral("reply")).toString(), QStringLiteral("quit"));
  EXPECT_EQ(quit.count(), 1);
  lines_.clear();
  session_->handleCommand(QStringLiteral("set A 1"));  // after quit: nothing more is served
  EXPECT_TRUE(lines_.isEmpty());
  EXPECT_EQ(sim_->image().row(1).request.committed, 0);
}

TEST_F(Session, EveryWriteOfPositionsIsAnEvent) {
  const QByteArray write = golden::write(1, 1, 0, 20, 9);
  sim_->arrival(write);
  ASSERT_EQ(lines_.size(), 1);
  const QJsonObject o = parse(lines_[0]);
  EXPECT_EQ(o.value(QStringLiteral("event")).toString(), QStringLiteral("positions"));
  EXPECT_EQ(o.value(QStringLiteral("positions")).toArray(), QJsonArray({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
  EXPECT_TRUE(o.value(QStringLiteral("time")).toString().endsWith(QLatin1Char('Z')));
  sim_->arrival(golden::read(2, 1, 0, 20));  // reads are no event
  EXPECT_EQ(lines_.size(), 1);
  EXPECT_EQ(eventTime(1700000000123), QByteArray("2023-11-14T22:13:20.123Z"));
  EXPECT_EQ(eventTime(1700000001007), QByteArray("2023-11-14T22:13:21.007Z"));
}

TEST(HeadlessProgram, ServesTheGatewayFromStandardInputWithoutADisplay) {
  QTemporaryDir config;
  HeadlessProgram rvsim(config.path());
  const quint16 port = rvsim.port();
  ASSERT_NE(port, 0) << rvsim.process.readAllStandardError().toStdString();

  QProcess gateway;
  gateway.start(program("xav-gateway-sim"), {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                                             QString::number(port), QStringLiteral("--interval"), QStringLiteral("40"),
                                             QStringLiteral("--speed"), QStringLiteral("4"), QStringLiteral("--initial"),
                                             QStringLiteral("1")});
  ASSERT_TRUE(gateway.waitForStarted(5000));
  const QJsonObject connected = rvsim.next([](const QJsonObject& o) { return isEvent(o, "connected"); });
  EXPECT_EQ(connected.value(QStringLiteral("remote")).toString(), QStringLiteral("127.0.0.1"));

  // A request set on standard input reaches the gateway, whose drive walks
  // there; its positions come out as events.
  EXPECT_EQ(rvsim.reply("set C 30").value(QStringLiteral("request")).toInt(), 30);
  const QJsonObject arrived = rvsim.next([](const QJsonObject& o) {
    return isEvent(o, "positions") && o.value(QStringLiteral("positions")).toArray().at(2).toInt() == 30;
  });
  ASSERT_FALSE(arrived.isEmpty());
  EXPECT_EQ(arrived.value(QStringLiteral("positions")).toArray().at(1).toInt(), 1);  // nothing asked of B

  const QJsonObject get = rvsim.reply("get");
  EXPECT_EQ(get.value(QStringLiteral("state")).toString(), QStringLiteral("Connected"));
  EXPECT_EQ(get.value(QStringLiteral("first_position_register")).toInt(), 40001);
  const QJsonObject stats = rvsim.reply("stats");
  EXPECT_GT(stats.value(QStringLiteral("answered")).toObject().value(QStringLiteral("16")).toInt(), 0);
  EXPECT_EQ(stats.value(QStringLiteral("connections_accepted")).toInt(), 1);

  gateway.terminate();
  ASSERT_TRUE(gateway.waitForFinished(10000));
  EXPECT_FALSE(rvsim.next([](const QJsonObject& o) { return isEvent(o, "closed"); }).isEmpty());
  EXPECT_EQ(rvsim.reply("quit").value(QStringLiteral("reply")).toString(), QStringLiteral("quit"));
  ASSERT_TRUE(rvsim.process.state() == QProcess::NotRunning || rvsim.process.waitForFinished(10000));
  EXPECT_EQ(rvsim.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(rvsim.process.exitCode(), 0);
}

TEST(HeadlessProgram, GivesTheGoldenReplies) {
  QTemporaryDir config;
  HeadlessProgram rvsim(config.path());
  const quint16 port = rvsim.port();
  ASSERT_NE(port, 0);
  for (const auto& [drive, request] : golden::kRequests) {
    const QByteArray command = "set " + QByteArray(1, drive) + ' ' + QByteArray::number(request);
    ASSERT_FALSE(rvsim.reply(command.constData()).contains(QStringLiteral("error")));
  }
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(gateway.waitForConnected(kWaitMs));
  const QString mismatch = golden::run(gateway, [&](int n) {
    return QTest::qWaitFor([&] { return rvsim.reply("stats").value(QStringLiteral("frames_ignored")).toInt() >= n; }, kWaitMs);
  });
  EXPECT_TRUE(mismatch.isEmpty()) << mismatch.toStdString();
}

TEST(HeadlessProgram, EndsWithItsInputAndRefusesBadOptions) {
  QTemporaryDir config;
  {
    HeadlessProgram rvsim(config.path());
    ASSERT_NE(rvsim.port(), 0);
    rvsim.process.closeWriteChannel();
    ASSERT_TRUE(rvsim.process.state() == QProcess::NotRunning || rvsim.process.waitForFinished(10000));
    EXPECT_EQ(rvsim.process.exitCode(), 0);
  }
  for (const QStringList& bad : {QStringList{"--port", "70000"}, QStringList{"--idle-timeout", "-1"}, QStringList{"--bogus"}}) {
    QProcess p;
    p.start(program("RVSIM"), QStringList{QStringLiteral("--headless")} + bad);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_NE(p.exitCode(), 0) << bad.join(' ').toStdString();
    EXPECT_FALSE(p.readAllStandardError().isEmpty());
  }
  QProcess help;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  help.setProcessEnvironment(env);
  help.start(program("RVSIM"), {QStringLiteral("--help")});  // no display needed to answer
  ASSERT_TRUE(help.waitForFinished(10000));
  const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
  for (const char* option : {"--headless", "--port <N>", "--idle-timeout <S>"}) {
    EXPECT_TRUE(text.contains(QLatin1String(option))) << option << "\n" << text.toStdString();
  }
}

TEST(HeadlessProgram, ASecondProgramCannotTakeThePortWhileAGatewayIsConnected) {
  QTemporaryDir config;
  HeadlessProgram first(config.path());
  const quint16 port = first.port();
  ASSERT_NE(port, 0);
  QTcpSocket gateway;
  gateway.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_FALSE(first.next([](const QJsonObject& o) { return isEvent(o, "connected"); }).isEmpty());

  HeadlessProgram second(config.path(), {QStringLiteral("--port"), QString::number(port)});
  ASSERT_TRUE(second.process.waitForFinished(10000));
  EXPECT_EQ(second.process.exitCode(), 1);
  const QString why = QString::fromLocal8Bit(second.process.readAllStandardError());
  EXPECT_TRUE(why.contains(QStringLiteral("is already in use by RVSIM (process %1)").arg(first.process.processId())))
      << why.toStdString();
  EXPECT_FALSE(why.contains(QStringLiteral("setcap")));
  // The first goes on serving its gateway.
  gateway.write(golden::read(1, 1, 0, 20));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.bytesAvailable() >= kReadReplySize; }, kWaitMs));
  EXPECT_EQ(first.reply("stats").value(QStringLiteral("answered")).toObject().value(QStringLiteral("3")).toInt(), 1);
}

TEST(HeadlessProgram, APowerCycledGatewayIsServedAtOnceFromItsOwnAddress) {
  QTemporaryDir config;
  // Never given up for silence: only the replacement can let it back in.
  HeadlessProgram rvsim(config.path(), {QStringLiteral("--idle-timeout"), QStringLiteral("0")});
  const quint16 port = rvsim.port();
  ASSERT_NE(port, 0);
  QProcess gateway;
  gateway.start(program("xav-gateway-sim"), {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                                             QString::number(port), QStringLiteral("--interval"), QStringLiteral("100")});
  ASSERT_TRUE(gateway.waitForStarted(5000));
  ASSERT_FALSE(rvsim.next([](const QJsonObject& o) { return isEvent(o, "connected"); }).isEmpty());
  // The gateway loses power: its connection stays open and says nothing.
  ASSERT_EQ(::kill(static_cast<pid_t>(gateway.processId()), SIGSTOP), 0);

  QTcpSocket reborn;
  reborn.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(reborn.waitForConnected(kWaitMs));
  const QJsonObject replaced = rvsim.next([](const QJsonObject& o) { return isEvent(o, "replaced"); });
  EXPECT_EQ(replaced.value(QStringLiteral("remote")).toString(), QStringLiteral("127.0.0.1"));
  reborn.write(golden::read(7, 1, 0, 20));
  EXPECT_TRUE(QTest::qWaitFor([&] { return reborn.bytesAvailable() >= kReadReplySize; }, kWaitMs));
  EXPECT_EQ(reborn.state(), QAbstractSocket::ConnectedState);
  const QJsonObject stats = rvsim.reply("stats");
  EXPECT_EQ(stats.value(QStringLiteral("connections_replaced")).toInt(), 1);
  EXPECT_EQ(stats.value(QStringLiteral("connections_turned_away")).toInt(), 0);

  ::kill(static_cast<pid_t>(gateway.processId()), SIGCONT);
  gateway.kill();
  gateway.waitForFinished(5000);
}

TEST(HeadlessInput, ALineOverTheLimitIsOneErrorAndNoneOfItRuns) {
  LineSplitter splitter;
  QList<QByteArray> lines;
  QList<QByteArray> tooLong;
  auto line = [&](QByteArrayView l) { lines << l.toByteArray(); };
  auto overlong = [&](QByteArrayView head) { tooLong << head.toByteArray(); };
  // 69,632 x and a command on the same line, in the pieces a pipe gives.
  const QByteArray input = QByteArray(69632, 'x') + "set A 200\nget\n";
  for (qsizetype at = 0; at < input.size(); at += 4096) splitter.feed(QByteArrayView(input).sliced(at, std::min<qsizetype>(4096, input.size() - at)), line, overlong);
  ASSERT_EQ(tooLong.size(), 1);
  EXPECT_EQ(tooLong[0], QByteArray(40, 'x'));
  EXPECT_EQ(lines, QList<QByteArray>{"get"});
  // Whole in one piece, and right at the limit.
  lines.clear();
  tooLong.clear();
  splitter.feed(QByteArray(LineSplitter::kMaxLine + 1, 'y') + "\nstats\n" + QByteArray(LineSplitter::kMaxLine, 'z') + "\n", line, overlong);
  EXPECT_EQ(tooLong.size(), 1);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], "stats");
  EXPECT_EQ(lines[1].size(), LineSplitter::kMaxLine);
  // A last line without its end still counts at the end of the input.
  lines.clear();
  splitter.feed("quit", line, overlong);
  splitter.finish(line);
  EXPECT_EQ(lines, QList<QByteArray>{"quit"});
}

TEST(HeadlessOutput, ANonReaderCostsBoundedMemoryAndItsDropsAreCounted) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ::fcntl(pipe[1], F_SETFL, O_NONBLOCK);
  {
    LineWriter writer(pipe[1]);
    const QByteArray answer = R"({"reply":"set","drive":"A","request":1})";
    quint64 written = 0;
    for (int i = 0; i < 200000; ++i, ++written) {
      writer.write(answer, true);  // answers go out at once, or wait
      if (i % 7 == 0) writer.write(R"({"event":"positions","time":"t","positions":[1]})", false);
      ASSERT_LE(writer.heldBytes(), LineWriter::kMaxHeldBytes + 256);
    }
    EXPECT_GT(writer.droppedLines(), 0u);
    // The reader comes back: what was kept flows, then the drops are told.
    QByteArray out;
    char buffer[65536];
    auto drain = [&] {
      for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    };
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      drain();
      writer.flush();
      return writer.heldBytes() == 0;
    }, kWaitMs));
    writer.write(R"({"reply":"quit"})", true);
    drain();
    const QList<QByteArray> lines = out.split('\n');
    const QByteArray& told = lines[lines.size() - 3];
    const QJsonObject dropped = parse(told);
    ASSERT_EQ(dropped.value(QStringLiteral("event")).toString(), QStringLiteral("dropped")) << told.toStdString();
    EXPECT_EQ(quint64(dropped.value(QStringLiteral("other_lines")).toInteger() +
                      dropped.value(QStringLiteral("positions_events")).toInteger()),
              writer.droppedLines());
    for (qsizetype i = 0; i + 3 < lines.size(); ++i) ASSERT_TRUE(lines[i].startsWith('{') && lines[i].endsWith('}')) << i;
  }
  ::close(pipe[0]);
  ::close(pipe[1]);
}

TEST(HeadlessOptions, IdleTimeoutAndRepeatsAreChecked) {
  auto read = [](QStringList args, RunOptions* o = nullptr) {
    QCommandLineParser parser;
    addRunOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{QStringLiteral("RVSIM")} + args));
    RunOptions options;
    QString error;
    const bool ok = readRunOptions(parser, &options, &error);
    if (o) *o = options;
    if (!ok) {
      EXPECT_FALSE(error.isEmpty());
    }
    return ok;
  };
  for (const char* bad : {"nan", "inf", "-inf", "1e-9", "0.0001", "0.001", "0.999", "-1", "x", "86401"}) {
    EXPECT_FALSE(read({QStringLiteral("--idle-timeout"), QLatin1String(bad)})) << bad;
  }
  RunOptions o;
  ASSERT_TRUE(read({QStringLiteral("--idle-timeout"), QStringLiteral("0")}, &o));
  EXPECT_EQ(o.idleTimeoutMs, 0);
  ASSERT_TRUE(read({QStringLiteral("--idle-timeout"), QStringLiteral("1")}, &o));
  EXPECT_EQ(o.idleTimeoutMs, 1000);
  ASSERT_TRUE(read({QStringLiteral("--idle-timeout"), QStringLiteral("2.5")}, &o));
  EXPECT_EQ(o.idleTimeoutMs, 2500);
  EXPECT_FALSE(read({QStringLiteral("--idle-timeout"), QStringLiteral("5"), QStringLiteral("--idle-timeout"), QStringLiteral("6")}));
  ASSERT_TRUE(read({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--port"), QStringLiteral("1503")}, &o));
  EXPECT_EQ(o.port, 1503);
}

TEST(HeadlessProgram, ALongLineRunsNothingAndCaptionsTroubleComesAfterListening) {
  QTemporaryDir config;
  // The captions file's place is taken by a folder.
  ASSERT_TRUE(QDir().mkpath(config.path() + QStringLiteral("/xav/ModBusCaptions.txt")));
  HeadlessProgram rvsim(config.path());
  const QJsonObject first = rvsim.next([](const QJsonObject&) { return true; });
  EXPECT_EQ(first.value(QStringLiteral("event")).toString(), QStringLiteral("listening"));
  const QJsonObject trouble = rvsim.next([](const QJsonObject& o) { return isEvent(o, "error"); });
  EXPECT_TRUE(trouble.value(QStringLiteral("message")).toString().contains(QStringLiteral("not a regular file")));

  rvsim.process.write(QByteArray(69632, 'x') + "set A 200\n");
  const QJsonObject error = rvsim.next([](const QJsonObject& o) { return o.contains(QStringLiteral("error")); });
  EXPECT_TRUE(error.value(QStringLiteral("error")).toString().contains(QStringLiteral("longer than")));
  const QJsonObject get = rvsim.reply("get");
  EXPECT_EQ(get.value(QStringLiteral("requests")).toArray().at(0).toInt(), 0);
  int errors = 0;
  for (const QJsonObject& o : rvsim.seen) errors += o.contains(QStringLiteral("error"));
  EXPECT_EQ(errors, 1);
}

TEST(HeadlessProgram, PlcSideFaultsAreSeenByARawClientAndListedInStats) {
  QTemporaryDir config;
  HeadlessProgram rvsim(config.path());
  const quint16 port = rvsim.port();
  ASSERT_NE(port, 0);
  EXPECT_EQ(rvsim.reply("stats").value(QStringLiteral("faults")).toObject(),
            (QJsonObject{{"delay_ms", 0}, {"exception", 0}, {"refuse_writes", false}, {"silent", false}}));  // off by default
  QTcpSocket plc;
  plc.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(plc.waitForConnected(kWaitMs));
  ASSERT_FALSE(rvsim.next([](const QJsonObject& o) { return isEvent(o, "connected"); }).isEmpty());
  auto exchange = [&](const QByteArray& frame, int size) {
    plc.write(frame);
    if (!QTest::qWaitFor([&] { return plc.bytesAvailable() >= size; }, kWaitMs)) return QByteArray();
    return plc.read(size);
  };
  const QByteArray read = golden::read(0x0102, 7, 0, 20);
  const QByteArray write = golden::write(0x0304, 7, 0, 20, 5);

  EXPECT_EQ(rvsim.reply("fault exception 2").value(QStringLiteral("faults")).toObject().value(QStringLiteral("exception")).toInt(), 2);
  EXPECT_EQ(exchange(read, 9), QByteArray("\x01\x02\x00\x00\x00\x03\x07\x83\x02", 9));
  EXPECT_EQ(exchange(write, 9), QByteArray("\x03\x04\x00\x00\x00\x03\x07\x90\x02", 9));
  rvsim.reply("fault off");
  rvsim.reply("fault refuse-writes");
  EXPECT_EQ(exchange(write, 9), QByteArray("\x03\x04\x00\x00\x00\x03\x07\x90\x04", 9));
  EXPECT_EQ(exchange(read, kReadReplySize).size(), kReadReplySize);  // reads still served
  EXPECT_EQ(rvsim.reply("get").value(QStringLiteral("positions")).toArray().at(0).toInt(), 0);  // nothing written

  rvsim.reply("fault off");
  rvsim.reply("fault delay 300");
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(exchange(read, kReadReplySize).size(), kReadReplySize);
  EXPECT_GE(clock.elapsed(), 300);  // never sooner (a lower bound no load can break)
  rvsim.reply("fault off");

  rvsim.reply("fault silent");
  plc.write(read);
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return rvsim.reply("stats").value(QStringLiteral("fault_counts")).toObject().value(QStringLiteral("withheld")).toInt() >= 1;
  }, kWaitMs));
  EXPECT_EQ(plc.bytesAvailable(), 0);
  EXPECT_EQ(plc.state(), QAbstractSocket::ConnectedState);
  rvsim.reply("fault off");
  EXPECT_EQ(exchange(read, kReadReplySize).size(), kReadReplySize);

  for (const char* bad : {"fault exception 0", "fault exception 256", "fault delay -1", "fault delay 60001", "fault bogus",
                          "fault silent now"}) {
    EXPECT_TRUE(rvsim.reply(bad).contains(QStringLiteral("error"))) << bad;
  }
  EXPECT_TRUE(rvsim.reply("fault drop").value(QStringLiteral("dropped")).toBool());
  EXPECT_TRUE(QTest::qWaitFor([&] { return plc.state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
  QString how;  // told before the command's answer
  for (const QJsonObject& o : rvsim.seen) {
    if (isEvent(o, "closed")) how = o.value(QStringLiteral("how")).toString();
  }
  EXPECT_EQ(how, QStringLiteral("dropped"));
  const QJsonObject counts = rvsim.reply("stats").value(QStringLiteral("fault_counts")).toObject();
  EXPECT_EQ(counts.value(QStringLiteral("drops")).toInt(), 1);
  EXPECT_EQ(counts.value(QStringLiteral("exceptions")).toInt(), 3);
  EXPECT_EQ(counts.value(QStringLiteral("delayed")).toInt(), 1);
}
