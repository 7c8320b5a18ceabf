#include "headless.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>

#include "console_io.h"
#include "drive_letters.h"
#include "simulator.h"

namespace rvsim {

namespace {

QByteArray compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

// Row 1..20 of a drive letter (either case), 0 for anything else.
int rowOfDrive(const QString& word) {
  if (word.size() != 1) return 0;
  return xav::driveIndex(word[0].toUpper()) + 1;
}

QString stateName(int state) { return statusText(state).trimmed(); }

QJsonObject faultsObject(const Simulator& simulator) {
  const PlcFaults& f = simulator.faults();
  return {{QStringLiteral("delay_ms"), f.delayMs},
          {QStringLiteral("silent"), f.silent},
          {QStringLiteral("exception"), int(f.exception)},
          {QStringLiteral("refuse_writes"), f.refuseWrites}};
}

}  // namespace

void writeEventTime(qint64 msSinceEpoch, char* out) {
  // Formatting a date is slow next to a reply; the part down to the second
  // is kept and only the milliseconds are written per event.
  static qint64 second = -1;
  static char prefix[kEventTimeSize];
  const qint64 s = msSinceEpoch / 1000;
  if (s != second) {
    second = s;
    const QByteArray p =
        QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")).toLatin1();
    std::memcpy(prefix, p.constData(), std::min<size_t>(size_t(p.size()), 20));
  }
  std::memcpy(out, prefix, 20);
  const int ms = static_cast<int>(msSinceEpoch % 1000);
  out[20] = char('0' + ms / 100);
  out[21] = char('0' + ms / 10 % 10);
  out[22] = char('0' + ms % 10);
  out[23] = 'Z';
}

QByteArray eventTime(qint64 msSinceEpoch) {
  char t[kEventTimeSize];
  writeEventTime(msSinceEpoch, t);
  return QByteArray(t, kEventTimeSize);
}

const char* connectionEndName(ConnectionEnd how) {
  switch (how) {
    case ConnectionEnd::PeerClosed: return "peer closed";
    case ConnectionEnd::Broken: return "broken";
    case ConnectionEnd::Idle: return "idle";
    case ConnectionEnd::Replaced: return "replaced";
    case ConnectionEnd::Dropped: return "dropped";
  }
  return "";
}

HeadlessSession::HeadlessSession(Simulator& simulator, Sink sink, QObject* parent)
    : QObject(parent), simulator_(simulator), sink_(std::move(sink)) {
  connect(&simulator_, &Simulator::connectionAccepted, this,
          [this](const QString& ip) { writeEvent("connected", QStringLiteral("remote"), ip); });
  connect(&simulator_, &Simulator::connectionTurnedAway, this,
          [this](const QString& ip) { writeEvent("turned_away", QStringLiteral("remote"), ip); });
  connect(&simulator_, &Simulator::connectionReplaced, this,
          [this](const QString& ip) { writeEvent("replaced", QStringLiteral("remote"), ip); });
  connect(&simulator_, &Simulator::connectionEnded, this, [this](ConnectionEnd how) {
    writeEvent("closed", QStringLiteral("how"), QString::fromLatin1(connectionEndName(how)));
  });
  connect(&simulator_, &Simulator::trouble, this,
          [this](const QString& text) { writeEvent("error", QStringLiteral("message"), text); });
  connect(&simulator_, &Simulator::notice, this,
          [this](const QString& text) { writeEvent("note", QStringLiteral("message"), text); });
  connect(&simulator_, &Simulator::positionsWritten, this, &HeadlessSession::positionsEvent);
}

void HeadlessSession::announceListening() {
  QJsonObject o{{QStringLiteral("event"), QStringLiteral("listening")},
                {QStringLiteral("port"), simulator_.server()->localPort()},
                {QStringLiteral("time"), QString::fromLatin1(eventTime(QDateTime::currentMSecsSinceEpoch()))}};
  sink_(compact(o), true);
}

void HeadlessSession::reportFailure(const QString& text) { writeEvent("error", QStringLiteral("message"), text); }

void HeadlessSession::writeEvent(const char* name, const QString& key, const QString& value) {
  QJsonObject o{{QStringLiteral("event"), QString::fromLatin1(name)},
                {QStringLiteral("time"), QString::fromLatin1(eventTime(QDateTime::currentMSecsSinceEpoch()))}};
  if (!key.isEmpty()) o.insert(key, value);
  sink_(compact(o), true);
}

// Written by hand into a buffer on the stack: it goes out at every write of the gateway.
void HeadlessSession::positionsEvent() {
  static constexpr char head[] = R"({"event":"positions","time":")";
  static constexpr char middle[] = R"(","positions":[)";
  char line[sizeof head + kEventTimeSize + sizeof middle + kRows * 4 + 4];
  char* at = std::copy(head, head + sizeof head - 1, line);
  writeEventTime(simulator_.lastWriteEpochMs(), at);
  at = std::copy(middle, middle + sizeof middle - 1, at + kEventTimeSize);
  const RegisterImage& image = simulator_.image();
  for (int i = 1; i <= kRows; ++i) {
    const int v = image.row(i).position.value;
    if (i > 1) *at++ = ',';
    if (v >= 100) *at++ = char('0' + v / 100);
    if (v >= 10) *at++ = char('0' + v / 10 % 10);
    *at++ = char('0' + v % 10);
  }
  *at++ = ']';
  *at++ = '}';
  sink_(QByteArrayView(line, at - line), false);
}

void HeadlessSession::handleCommand(const QString& line) {
  const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  if (words.isEmpty() || quitting_) return;
  const QString command = words[0].toLower();
  if (command == QLatin1String("set")) {
    answerSet(words);
  } else if (command == QLatin1String("get") && words.size() == 1) {
    answerGet();
  } else if (command == QLatin1String("caption")) {
    answerCaption(line);
  } else if (command == QLatin1String("stats") && words.size() == 1) {
    answerStats();
  } else if (command == QLatin1String("fault")) {
    answerFault(words);
  } else if (command == QLatin1String("quit") && words.size() == 1) {
    sink_(compact({{QStringLiteral("reply"), QStringLiteral("quit")}}), true);
    quitting_ = true;  // lines behind it are not served
    emit quitRequested();
  } else {
    error(QStringLiteral("unknown command (set, get, caption, stats, fault, quit)"), line);
  }
}

void HeadlessSession::reportLineTooLong(QByteArrayView head) {
  if (quitting_) return;
  error(QStringLiteral("line longer than %1 bytes: dropped up to its end, nothing of it run").arg(LineSplitter::kMaxLine),
        QString::fromUtf8(head) + QStringLiteral("..."));
}

void HeadlessSession::answerSet(const QStringList& words) {
  const QString line = words.join(QLatin1Char(' '));
  if (words.size() != 3) return error(QStringLiteral("usage: set <drive A-R, T, U> <request 0-254>"), line);
  const int row = rowOfDrive(words[1]);
  if (row == 0) return error(QStringLiteral("no such drive (A to R, T, U)"), line);
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
  if (!digits.match(words[2]).hasMatch() || words[2].toInt() > kMaxRequest) {
    return error(QStringLiteral("a request is a whole number from 0 to 254"), line);
  }
  simulator_.commitRequest(row, words[2].toInt());
  sink_(compact({{QStringLiteral("reply"), QStringLiteral("set")},
                 {QStringLiteral("drive"), words[1].toUpper()},
                 {QStringLiteral("request"), words[2].toInt()}}),
        true);
}

void HeadlessSession::answerGet() {
  const RegisterImage& image = simulator_.image();
  QJsonArray positions, requests, captions;
  for (int i = 1; i <= kRows; ++i) {
    positions.append(image.row(i).position.value);
    requests.append(image.row(i).request.committed);
    captions.append(image.row(i).caption);
  }
  QJsonObject o{{QStringLiteral("reply"), QStringLiteral("get")},
                {QStringLiteral("state"), stateName(simulator_.state())},
                {QStringLiteral("remote"), simulator_.server()->remoteHostIp()},
                {QStringLiteral("positions"), positions},
                {QStringLiteral("requests"), requests},
                {QStringLiteral("captions"), captions}};
  if (image.firstRegister) {
    o.insert(QStringLiteral("first_position_register"), image.positionRegister(1));
    o.insert(QStringLiteral("first_request_register"), image.requestRegister(1));
  }
  sink_(compact(o), true);
}

void HeadlessSession::answerCaption(const QString& line) {
  // caption <drive> <text>: the text is the rest of the line, blanks and all.
  static const QRegularExpression form(QStringLiteral("^\\s*\\S+\\s+(\\S+)(?:\\s(.*))?$"));
  const QRegularExpressionMatch m = form.match(line);
  const int row = m.hasMatch() ? rowOfDrive(m.captured(1)) : 0;
  if (row == 0) return error(QStringLiteral("usage: caption <drive A-R, T, U> <text>"), line);
  simulator_.setCaption(row, m.captured(2));
  simulator_.CreateCaptionFile();
  sink_(compact({{QStringLiteral("reply"), QStringLiteral("caption")},
                 {QStringLiteral("drive"), m.captured(1).toUpper()},
                 {QStringLiteral("caption"), m.captured(2)}}),
        true);
}

void HeadlessSession::answerStats() {
  const TrafficCounters& c = simulator_.counters();
  const qint64 sinceWrite = simulator_.msSinceLastWrite();
  QJsonObject o{{QStringLiteral("reply"), QStringLiteral("stats")},
                {QStringLiteral("state"), stateName(simulator_.state())},
                {QStringLiteral("connections_accepted"), qint64(c.connectionsAccepted)},
                {QStringLiteral("connections_turned_away"), qint64(c.connectionsTurnedAway)},
                {QStringLiteral("connections_replaced"), qint64(c.connectionsReplaced)},
                {QStringLiteral("answered"), QJsonObject{{QStringLiteral("3"), qint64(c.readsAnswered)},
                                                        {QStringLiteral("16"), qint64(c.writesAnswered)}}},
                {QStringLiteral("frames_ignored"), qint64(c.framesIgnored)},
                {QStringLiteral("bytes_in"), qint64(c.bytesIn)},
                {QStringLiteral("bytes_out"), qint64(c.bytesOut)},
                {QStringLiteral("frames_per_second"), qRound(simulator_.framesPerSecond() * 10) / 10.0},
                {QStringLiteral("ms_since_last_write"), sinceWrite < 0 ? QJsonValue() : QJsonValue(sinceWrite)},
                {QStringLiteral("faults"), faultsObject(simulator_)},
                {QStringLiteral("fault_counts"),
                 QJsonObject{{QStringLiteral("delayed"), qint64(simulator_.faultCounters().delayed)},
                             {QStringLiteral("withheld"), qint64(simulator_.faultCounters().withheld)},
                             {QStringLiteral("exceptions"), qint64(simulator_.faultCounters().exceptions)},
                             {QStringLiteral("drops"), qint64(simulator_.faultCounters().drops)}}},
                {QStringLiteral("output_lines_dropped"), qint64(outputDropped_ ? outputDropped_() : 0)}};
  sink_(compact(o), true);
}

void HeadlessSession::answerFault(const QStringList& words) {
  const QString line = words.join(QLatin1Char(' '));
  const QString usage = QStringLiteral("usage: fault [delay <ms 0-%1> | silent | drop | exception <code 1-255> | "
                                       "refuse-writes | off]")
                            .arg(Simulator::kMaxFaultDelayMs);
  PlcFaults f = simulator_.faults();
  const QString what = words.value(1).toLower();
  bool number = false;
  const int value = words.value(2).toInt(&number);
  bool dropped = false;
  if (words.size() == 1) {
  } else if (what == QLatin1String("delay") && words.size() == 3 && number && value >= 0 &&
             value <= Simulator::kMaxFaultDelayMs) {
    f.delayMs = value;
  } else if (what == QLatin1String("exception") && words.size() == 3 && number && value >= 1 && value <= 255) {
    f.exception = static_cast<quint8>(value);
  } else if (what == QLatin1String("silent") && words.size() == 2) {
    f.silent = true;
  } else if (what == QLatin1String("refuse-writes") && words.size() == 2) {
    f.refuseWrites = true;
  } else if (what == QLatin1String("off") && words.size() == 2) {
    f = PlcFaults{};
  } else if (what == QLatin1String("drop") && words.size() == 2) {
    dropped = simulator_.dropConnection();
  } else {
    return error(usage, line);
  }
  if (what != QLatin1String("drop") && words.size() > 1) simulator_.setFaults(f);
  QJsonObject o{{QStringLiteral("reply"), QStringLiteral("fault")}, {QStringLiteral("faults"), faultsObject(simulator_)}};
  if (what == QLatin1String("drop")) o.insert(QStringLiteral("dropped"), dropped);
  sink_(compact(o), true);
}

void HeadlessSession::error(const QString& message, const QString& line) {
  sink_(compact({{QStringLiteral("error"), message}, {QStringLiteral("command"), line}}), true);
}

}  // namespace rvsim
