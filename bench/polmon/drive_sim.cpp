// tvr-drive-sim: a bench stand-in for a network of up to 20 TVR drives on a
// pseudo-terminal that the tools open as "COM n".
//
//   tvr-drive-sim --com N [--drives A,B,T | --drives 20] [--ducts 12,B=6]
//                 [--position 1,C=4] [--move-ms 200 | --move-polls N] [--turnaround-ms 1]
//                 [--unpaced] [--fault ADDR=KIND[:EVERY|@NTH]]...
//                 [--hang-up-after N] [--report FILE]
//
// Each drive answers the status query "<addr>S" with its status letter, its
// duct + 48 and a carriage return, and the duct-count query "<addr>d" with
// "D", its duct count + 48 and a carriage return. A move request (the duct
// number as one byte) sets a standing drive moving one duct every --move-ms;
// it reports "M" until it arrives and "P" after. With --move-polls N the move
// is paced by the scanner's own queries instead of the clock: the drive
// answers "M" to the next N status queries and stands at the target from the
// one after. "<addr>r" resets the drive:
// it stops where it is, reports "P", and a stuck drive is freed.
//
// Pacing (on by default) puts every byte on the line at 9600 baud: a reply
// starts after the request's two bytes have had their wire time and the
// turnaround has passed, and its bytes follow one another at 9600 baud.
// --unpaced writes a reply's bytes at once, but no sooner than a real line
// could carry the request and the first reply byte (three byte times plus
// the turnaround): the scanner takes anything earlier for a stray.
//
// Faults, applied to the drive's status replies (every EVERY-th one, only the
// NTH one with @NTH, every one when left out): silent (no answer), short
// (2 bytes), long (4 bytes), crlf (the reply ends in CR LF, 4 bytes), noise
// (1 to 5 random bytes), status=X (the letter X instead of P/M), late=MS (the
// reply comes MS ms later than it should), stray=MS (one byte "~" follows the
// reply after MS ms). A drive may have several faults (--fault repeated); each
// counts the drive's status replies from the first. "stuck" makes the drive stand still reporting "M" at
// duct 0 until it is reset. --hang-up-after N closes the line when the N-th
// status query arrives (as if the adapter were pulled) and ends the program.
//
// The report (stdout, or --report FILE) gets one line per event, with the
// milliseconds since start:  "<ms> rx <hex>" for received bytes,
// "<ms> frame <addr> status|ducts|reset" or "<ms> frame <addr> move <n> at <duct> <letter>",
// "<ms> tx <addr> <hex>" for every reply, "<ms> fault <addr> <kind> <n>" when a
// fault changes the drive's n-th status reply, and "<ms> hang-up". The first line on
// stdout is "ready COM <n> <pty>" once the port can be opened.

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <poll.h>

#include "app_info.h"
#include "pty_port.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

double nowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;

enum class Fault { None, Silent, Short, Long, CrLf, Noise, Letter, Late, Stray };

struct FaultSpec {
  Fault kind = Fault::None;
  char letter = 'E';
  double ms = 0;  // late=MS, stray=MS
  int every = 1;
  int nth = 0;  // only this status reply, when set
  std::string name;
};

struct Drive {
  char addr = 'A';
  int ducts = 12;
  int pos = 1;
  int from = 1;
  int target = 1;
  bool moving = false;
  double moveStart = 0;
  bool stuck = false;
  std::vector<FaultSpec> faults;
  int statusReplies = 0;
  int movingPolls = 0;  // --move-polls: "M" answers left
};

struct Pending {
  char addr;
  QByteArray bytes;
};

struct Options {
  int com = 1;
  bool paced = true;
  double moveMs = 200;
  double turnaroundMs = 1;
  int movePolls = 0;
  int hangUpAfter = 0;
  std::string drives = "A", ducts, position, report;
  std::vector<std::string> faults;
};

bool isAddress(char c) { return (c >= 'A' && c <= 'R') || c == 'T' || c == 'U'; }

std::vector<char> allAddresses() {
  std::vector<char> v;
  for (char c = 'A'; c <= 'U'; ++c)
    if (c != 'S') v.push_back(c);
  return v;
}

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "tvr-drive-sim: %s\n", why);
  std::fprintf(stderr,
               "usage: tvr-drive-sim --com N [--drives A,B,T|N] [--ducts 12,B=6] [--position 1,C=4]\n"
               "       [--move-ms 200 | --move-polls N] [--turnaround-ms 1] [--unpaced] [--fault ADDR=KIND[:EVERY|@NTH]]...\n"
               "       [--hang-up-after N] [--report FILE]\n"
               "faults: silent short long crlf noise status=X late=MS stray=MS stuck\n");
  std::exit(2);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

int toInt(const std::string& s, const char* what) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0') usage(what);
  return static_cast<int>(v);
}

// The command line, through the tool set's parser (--help and --version
// included); the option names are those the tests and scripts use.
Options parseOptions(int argc, char** argv) {
  QCommandLineParser p;
  xav::describeProgram(p, QStringLiteral("tvr-drive-sim"),
                       QStringLiteral("A network of up to 20 TVR drives on a pseudo-terminal linked as COM n\n"
                                      "(~/.config/xav/ports/comN), answering at 9600 baud.\n"
                                      "Faults: silent short long crlf noise status=X late=MS stray=MS stuck."));
  const auto comOpt = xav::addOption(p, "com", "Link the port as COM <N> (1 to 16).", "N");
  const auto drivesOpt = xav::addOption(p, "drives", "Answering drives: letters (A,B,T) or a count (default A).", "LIST");
  const auto ductsOpt = xav::addOption(p, "ducts", "Duct counts: one for all, then per drive (12,B=6).", "LIST");
  const auto positionOpt = xav::addOption(p, "position", "Starting ducts, as --ducts (1,C=4).", "LIST");
  const auto moveOpt = xav::addOption(p, "move-ms", "Milliseconds per duct travelled (default 200).", "MS");
  const auto movePollsOpt =
      xav::addOption(p, "move-polls", "Report \"M\" for the next N status queries after a move request.", "N");
  const auto turnaroundOpt = xav::addOption(p, "turnaround-ms", "Milliseconds before a reply starts (default 1).", "MS");
  xav::addOption(p, "unpaced", "Send a reply's bytes at once instead of at 9600 baud.");
  xav::addOption(p, "paced", "Send replies at 9600 baud (the default).");
  const auto faultOpt = xav::addOption(p, "fault", "A drive's fault (repeatable).", "ADDR=KIND[:EVERY|@NTH]");
  const auto hangOpt = xav::addOption(p, "hang-up-after", "Close the line when the N-th status query arrives.", "N");
  const auto reportOpt = xav::addOption(p, "report", "Write the report to FILE instead of standard output.", "FILE");
  if (const auto end = xav::parseCommandLine(p, xav::argumentsOf(argc, argv))) std::exit(*end);

  Options o;
  // The last of --paced and --unpaced counts, as given.
  for (const QString& name : p.optionNames()) {
    if (name == QLatin1String("unpaced")) o.paced = false;
    else if (name == QLatin1String("paced")) o.paced = true;
  }
  if (p.isSet(comOpt)) o.com = toInt(p.value(comOpt).toStdString(), "--com");
  if (p.isSet(drivesOpt)) o.drives = p.value(drivesOpt).toStdString();
  if (p.isSet(ductsOpt)) o.ducts = p.value(ductsOpt).toStdString();
  if (p.isSet(positionOpt)) o.position = p.value(positionOpt).toStdString();
  if (p.isSet(moveOpt)) o.moveMs = p.value(moveOpt).toDouble();
  if (p.isSet(movePollsOpt)) o.movePolls = std::max(1, toInt(p.value(movePollsOpt).toStdString(), "--move-polls"));
  if (p.isSet(turnaroundOpt)) o.turnaroundMs = p.value(turnaroundOpt).toDouble();
  for (const QString& f : p.values(faultOpt)) o.faults.push_back(f.toStdString());
  if (p.isSet(hangOpt)) o.hangUpAfter = toInt(p.value(hangOpt).toStdString(), "--hang-up-after");
  if (p.isSet(reportOpt)) o.report = p.value(reportOpt).toStdString();
  if (o.com < 1 || o.com > 16) usage("--com must be 1 to 16");
  return o;
}

// "12,B=6": a value for every drive, then per-drive values.
void applyPerDrive(const std::string& list, std::map<char, Drive>& drives, int Drive::*field, const char* what) {
  for (const std::string& item : split(list, ',')) {
    const auto eq = item.find('=');
    if (eq == std::string::npos) {
      const int v = toInt(item, what);
      for (auto& [a, d] : drives) d.*field = v;
    } else if (eq == 1 && drives.count(item[0])) {
      drives[item[0]].*field = toInt(item.substr(2), what);
    } else {
      usage(what);
    }
  }
}

// KIND[:EVERY|@NTH] for one drive.
void applyFault(const std::string& arg, std::map<char, Drive>& drives) {
  const auto eq = arg.find('=');
  if (eq != 1 || !drives.count(arg[0])) usage("--fault takes ADDR=KIND[:EVERY|@NTH] for an answering drive");
  Drive& d = drives[arg[0]];
  std::string kind = arg.substr(2);
  FaultSpec f;
  if (const auto at = kind.find('@'); at != std::string::npos) {
    f.nth = std::max(1, toInt(kind.substr(at + 1), "--fault @NTH"));
    kind = kind.substr(0, at);
  } else if (const auto colon = kind.find(':'); colon != std::string::npos) {
    f.every = std::max(1, toInt(kind.substr(colon + 1), "--fault EVERY"));
    kind = kind.substr(0, colon);
  }
  f.name = kind.substr(0, kind.find('='));
  const std::map<std::string, Fault> plain = {{"silent", Fault::Silent}, {"short", Fault::Short},
                                              {"long", Fault::Long},     {"crlf", Fault::CrLf},
                                              {"noise", Fault::Noise}};
  if (const auto it = plain.find(kind); it != plain.end()) {
    f.kind = it->second;
  } else if (kind.rfind("status=", 0) == 0 && kind.size() == 8) {
    f.kind = Fault::Letter;
    f.letter = kind[7];
  } else if (kind.rfind("late=", 0) == 0 || kind.rfind("stray=", 0) == 0) {
    f.kind = kind[0] == 'l' ? Fault::Late : Fault::Stray;
    f.ms = toInt(kind.substr(kind.find('=') + 1), "--fault late=MS / stray=MS");
  } else if (kind == "stuck") {
    d.stuck = true;
    return;
  } else {
    usage("unknown fault");
  }
  d.faults.push_back(f);
}

std::map<char, Drive> makeDrives(const Options& o) {
  std::map<char, Drive> drives;
  if (!o.drives.empty() && std::isdigit(static_cast<unsigned char>(o.drives[0]))) {
    const int n = toInt(o.drives, "--drives");
    const auto all = allAddresses();
    for (int k = 0; k < n && k < static_cast<int>(all.size()); ++k) drives[all[k]].addr = all[k];
  } else {
    for (char c : o.drives) {
      if (c == ',' || c == ' ') continue;
      if (!isAddress(c)) usage("--drives takes the letters A to R, T and U");
      drives[c].addr = c;
    }
  }
  if (!o.ducts.empty()) applyPerDrive(o.ducts, drives, &Drive::ducts, "--ducts");
  if (!o.position.empty()) applyPerDrive(o.position, drives, &Drive::pos, "--position");
  for (const std::string& f : o.faults) applyFault(f, drives);
  for (auto& [a, d] : drives) d.from = d.target = d.pos;
  return drives;
}

class Report {
 public:
  explicit Report(FILE* f) : f_(f) {}
  void line(double t, const std::string& text) {
    if (!f_) return;
    std::fprintf(f_, "%.3f %s\n", t, text.c_str());
    std::fflush(f_);
  }

 private:
  FILE* f_;
};

std::string hex(const QByteArray& b) {
  std::string out;
  char buf[4];
  for (int i = 0; i < b.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", static_cast<unsigned char>(b[i]));
    out += buf;
  }
  return out;
}

// The drives behind the line: frames in, replies queued by the time they are
// due on the line.
class Network {
 public:
  Network(const Options& o, std::map<char, Drive> drives, Report& report, double t0)
      : o_(o), drives_(std::move(drives)), report_(report), t0_(t0) {}

  void handleFrame(char a, unsigned char c, double t);
  // Replies whose time has come, in order.
  std::optional<Pending> takeDue(double t);
  std::optional<double> nextDue() const {
    return pending_.empty() ? std::nullopt : std::optional<double>(pending_.begin()->first);
  }
  int statusQueries() const { return statusQueries_; }

 private:
  void advance(Drive& d, double t) const;
  void statusQuery(Drive& d, double due);
  void moveRequest(Drive& d, unsigned char c, double t);
  const FaultSpec* faultDue(const Drive& d) const;
  void queue(double due, char addr, const QByteArray& bytes) { pending_.emplace(due, Pending{addr, bytes}); }

  const Options& o_;
  std::map<char, Drive> drives_;
  Report& report_;
  double t0_;
  std::multimap<double, Pending> pending_;
  std::mt19937 noiseRng_{7};
  int statusQueries_ = 0;
};

void Network::advance(Drive& d, double t) const {
  if (!d.moving || o_.movePolls > 0) return;
  const int steps = o_.moveMs > 0 ? static_cast<int>((t - d.moveStart) / o_.moveMs) : 1 << 20;
  const int dist = std::abs(d.target - d.from);
  if (steps >= dist) {
    d.pos = d.target;
    d.moving = false;
  } else {
    d.pos = d.from + (d.target > d.from ? steps : -steps);
  }
}

// The first of the drive's faults that changes this reply.
const FaultSpec* Network::faultDue(const Drive& d) const {
  for (const FaultSpec& f : d.faults)
    if (f.nth > 0 ? d.statusReplies == f.nth : d.statusReplies % f.every == 0) return &f;
  return nullptr;
}

void Network::statusQuery(Drive& d, double due) {
  if (o_.movePolls > 0 && d.moving) {
    // Paced by the queries: "M" for the set number of answers, then there.
    if (d.movingPolls > 0) {
      --d.movingPolls;
    } else {
      d.moving = false;
      d.pos = d.target;
    }
  }
  QByteArray reply;
  reply += (d.stuck || d.moving) ? 'M' : 'P';
  reply += static_cast<char>((d.stuck ? 0 : d.pos) + 48);
  reply += '\r';
  ++d.statusReplies;
  double strayAt = -1;
  if (const FaultSpec* f = faultDue(d)) {
    report_.line(due - t0_, std::string("fault ") + d.addr + " " + f->name + " " + std::to_string(d.statusReplies));
    switch (f->kind) {
      case Fault::Silent: reply.clear(); break;
      case Fault::Short: reply.chop(1); break;
      case Fault::Long: reply += 'X'; break;
      case Fault::CrLf: reply += '\n'; break;
      case Fault::Noise: {
        reply.clear();
        const int n = 1 + static_cast<int>(noiseRng_() % 5);
        for (int k = 0; k < n; ++k) reply += static_cast<char>(noiseRng_() & 0xFF);
        break;
      }
      case Fault::Letter: reply[0] = f->letter; break;
      case Fault::Late: due += f->ms; break;
      case Fault::Stray: strayAt = due + (o_.paced ? reply.size() * kByteMs : 0) + f->ms; break;
      case Fault::None: break;
    }
  }
  if (!reply.isEmpty()) queue(due, d.addr, reply);
  // Queued after the reply, so that it follows it even with no delay.
  if (strayAt >= 0) queue(strayAt, d.addr, QByteArray("~"));
}

void Network::moveRequest(Drive& d, unsigned char c, double t) {
  advance(d, t);
  report_.line(t - t0_, std::string("frame ") + d.addr + " move " + std::to_string(c) + " at " +
                            std::to_string(d.stuck ? 0 : d.pos) + " " + ((d.stuck || d.moving) ? "M" : "P"));
  if (d.stuck || d.moving || c == d.pos || c < 1 || c > d.ducts) return;
  d.from = d.pos;
  d.target = c;
  d.moving = true;
  d.moveStart = t;
  d.movingPolls = o_.movePolls;
}

void Network::handleFrame(char a, unsigned char c, double t) {
  const double rel = t - t0_;
  auto it = drives_.find(a);
  Drive* d = it == drives_.end() ? nullptr : &it->second;
  // Paced, the first byte is written one byte time after this.
  const double due = t + (o_.paced ? 2 : 3) * kByteMs + o_.turnaroundMs;
  const std::string who(1, a);
  if (c == 'S') {
    report_.line(rel, "frame " + who + " status");
    ++statusQueries_;
    if (!d) return;
    advance(*d, t);
    statusQuery(*d, due);
  } else if (c == 'd') {
    report_.line(rel, "frame " + who + " ducts");
    if (!d) return;
    QByteArray reply("D");
    reply += static_cast<char>(d->ducts + 48);
    reply += '\r';
    queue(due, a, reply);
  } else if (c == 'r') {
    report_.line(rel, "frame " + who + " reset");
    if (!d) return;
    advance(*d, t);
    d->moving = false;
    d->stuck = false;
    d->from = d->target = d->pos;
  } else if (!d) {
    report_.line(rel, "frame " + who + " move " + std::to_string(c));
  } else {
    moveRequest(*d, c, t);
  }
}

std::optional<Pending> Network::takeDue(double t) {
  if (pending_.empty() || pending_.begin()->first > t) return std::nullopt;
  Pending p = pending_.begin()->second;
  pending_.erase(pending_.begin());
  return p;
}

// Serves the line until a signal, or until the hang-up.
void serve(xav::bench::PtyPort& port, Network& net, Report& report, const Options& o, double t0) {
  QByteArray inbox;
  double inboxSince = 0;
  while (!g_stop) {
    double t = nowMs();
    double waitMs = 50;
    if (const auto due = net.nextDue()) waitMs = std::min(waitMs, *due - t);
    if (!inbox.isEmpty()) waitMs = std::min(waitMs, inboxSince + 50 - t);
    if (waitMs < 0) waitMs = 0;
    pollfd pfd{port.masterFd(), POLLIN, 0};
    timespec ts{static_cast<time_t>(waitMs / 1000), static_cast<long>(std::fmod(waitMs, 1000.0) * 1e6)};
    const int rc = ppoll(&pfd, 1, &ts, nullptr);
    if (rc < 0 && errno != EINTR) break;
    t = nowMs();
    if (rc > 0 && (pfd.revents & POLLIN)) {
      const QByteArray got = port.readAvailable();
      if (!got.isEmpty()) {
        report.line(t - t0, "rx " + hex(got));
        if (inbox.isEmpty()) inboxSince = t;
        inbox += got;
        while (inbox.size() >= 2) {
          net.handleFrame(inbox[0], static_cast<unsigned char>(inbox[1]), t);
          inbox.remove(0, 2);
          if (o.hangUpAfter > 0 && net.statusQueries() >= o.hangUpAfter) return;
        }
        if (!inbox.isEmpty()) inboxSince = t;
      }
    }
    // A lone byte that no second byte follows is line noise: drop it.
    if (!inbox.isEmpty() && t - inboxSince > 50) inbox.clear();
    while (const auto p = net.takeDue(nowMs())) {
      report.line(nowMs() - t0, std::string("tx ") + p->addr + " " + hex(p->bytes));
      port.write(p->bytes, o.paced);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parseOptions(argc, argv);
  std::map<char, Drive> drives = makeDrives(o);

  FILE* reportFile = stdout;
  if (!o.report.empty()) {
    reportFile = std::fopen(o.report.c_str(), "w");
    if (!reportFile) usage("cannot write the report file");
  }
  Report report(reportFile);

  auto port = std::make_unique<xav::bench::PtyPort>();
  QString error;
  if (!port->create(&error) || !port->linkAsCom(o.com, &error)) {
    std::fprintf(stderr, "tvr-drive-sim: %s\n", error.toLocal8Bit().constData());
    return 1;
  }

  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::printf("ready COM %d %s\n", o.com, port->slaveName().toLocal8Bit().constData());
  std::fflush(stdout);

  const double t0 = nowMs();
  Network net(o, std::move(drives), report, t0);
  serve(*port, net, report, o, t0);
  if (!g_stop) {
    // The line goes away: both ends of the pseudo-terminal and the COM link.
    report.line(nowMs() - t0, "hang-up");
    port.reset();
  }
  if (reportFile != stdout) std::fclose(reportFile);
  return 0;
}
