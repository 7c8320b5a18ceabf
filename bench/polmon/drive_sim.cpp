// tvr-drive-sim: a bench stand-in for a network of up to 20 TVR drives on a
// pseudo-terminal that the tools open as "COM n".
//
//   tvr-drive-sim --com N [--drives A,B,T | --drives 20] [--ducts 12,B=6]
//                 [--position 1,C=4] [--move-ms 200] [--turnaround-ms 1]
//                 [--unpaced] [--fault ADDR=KIND[:EVERY]]... [--report FILE]
//
// Each drive answers the status query "<addr>S" with its status letter, its
// duct + 48 and a carriage return, and the duct-count query "<addr>d" with
// "D", its duct count + 48 and a carriage return. A move request (the duct
// number as one byte) sets a standing drive moving one duct every --move-ms;
// it reports "M" until it arrives and "P" after. "<addr>r" resets the drive:
// it stops where it is, reports "P", and a stuck drive is freed.
//
// Pacing (on by default) puts every byte on the line at 9600 baud: a reply
// starts after the request's two bytes have had their wire time and the
// turnaround has passed, and its bytes follow one another at 9600 baud.
//
// Faults, applied to the drive's status replies (every EVERY-th one, 1 when
// left out): silent (no answer), short (2 bytes), long (4 bytes), noise
// (1 to 5 random bytes), status=X (the letter X instead of P/M). "stuck"
// makes the drive stand still reporting "M" at duct 0 until it is reset.
//
// The report (stdout, or --report FILE) gets one line per event, with the
// milliseconds since start:  "<ms> rx <hex>" for received bytes,
// "<ms> frame <addr> status|ducts|reset" or "<ms> frame <addr> move <n> at <duct> <letter>",
// and "<ms> tx <addr> <hex>" for every reply. The first line on stdout is
// "ready COM <n> <pty>" once the port can be opened.

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
#include <deque>
#include <map>
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

enum class Fault { None, Silent, Short, Long, Noise, Letter };

struct Drive {
  char addr = 'A';
  int ducts = 12;
  int pos = 1;
  int from = 1;
  int target = 1;
  bool moving = false;
  double moveStart = 0;
  bool stuck = false;
  Fault fault = Fault::None;
  char faultLetter = 'E';
  int every = 1;
  int statusReplies = 0;
};

struct Pending {
  double due;
  char addr;
  QByteArray bytes;
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
               "       [--move-ms 200] [--turnaround-ms 1] [--unpaced] [--fault ADDR=KIND[:EVERY]]...\n"
               "       [--report FILE]\n"
               "faults: silent short long noise status=X stuck\n");
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

}  // namespace

int main(int argc, char** argv) {
  int com = 1;
  bool paced = true;
  double moveMs = 200;
  double turnaroundMs = 1;
  std::string drivesArg = "A", ductsArg, positionArg, reportPath;
  std::vector<std::string> faults;
  {
    QCommandLineParser p;
    xav::describeProgram(p, QStringLiteral("tvr-drive-sim"),
                         QStringLiteral("A network of up to 20 TVR drives on a pseudo-terminal linked as COM n\n"
                                        "(~/.config/xav/ports/comN), answering at 9600 baud.\n"
                                        "Faults: silent short long noise status=X stuck."));
    auto option = [&](const char* name, const char* text, const char* valueName = nullptr) {
      const QCommandLineOption opt(QLatin1String(name), QLatin1String(text),
                                   valueName ? QLatin1String(valueName) : QString());
      p.addOption(opt);
      return opt;
    };
    const auto comOpt = option("com", "Link the port as COM <N> (1 to 16).", "N");
    const auto drivesOpt = option("drives", "Answering drives: letters (A,B,T) or a count (default A).", "LIST");
    const auto ductsOpt = option("ducts", "Duct counts: one for all, then per drive (12,B=6).", "LIST");
    const auto positionOpt = option("position", "Starting ducts, as --ducts (1,C=4).", "LIST");
    const auto moveOpt = option("move-ms", "Milliseconds per duct travelled (default 200).", "MS");
    const auto turnaroundOpt = option("turnaround-ms", "Milliseconds before a reply starts (default 1).", "MS");
    option("unpaced", "Send replies at once instead of at 9600 baud.");
    option("paced", "Send replies at 9600 baud (the default).");
    const auto faultOpt = option("fault", "A drive's fault, every EVERY-th status reply (repeatable).", "ADDR=KIND[:EVERY]");
    const auto reportOpt = option("report", "Write the report to FILE instead of standard output.", "FILE");
    if (const auto end = xav::parseCommandLine(p, xav::argumentsOf(argc, argv))) return *end;
    // The last of --paced and --unpaced counts, as given.
    for (const QString& name : p.optionNames()) {
      if (name == QLatin1String("unpaced")) paced = false;
      else if (name == QLatin1String("paced")) paced = true;
    }
    if (p.isSet(comOpt)) com = toInt(p.value(comOpt).toStdString(), "--com");
    if (p.isSet(drivesOpt)) drivesArg = p.value(drivesOpt).toStdString();
    if (p.isSet(ductsOpt)) ductsArg = p.value(ductsOpt).toStdString();
    if (p.isSet(positionOpt)) positionArg = p.value(positionOpt).toStdString();
    if (p.isSet(moveOpt)) moveMs = p.value(moveOpt).toDouble();
    if (p.isSet(turnaroundOpt)) turnaroundMs = p.value(turnaroundOpt).toDouble();
    for (const QString& f : p.values(faultOpt)) faults.push_back(f.toStdString());
    if (p.isSet(reportOpt)) reportPath = p.value(reportOpt).toStdString();
  }
  if (com < 1 || com > 16) usage("--com must be 1 to 16");

  std::map<char, Drive> drives;
  if (!drivesArg.empty() && std::isdigit(static_cast<unsigned char>(drivesArg[0]))) {
    const int n = toInt(drivesArg, "--drives");
    const auto all = allAddresses();
    for (int k = 0; k < n && k < static_cast<int>(all.size()); ++k) drives[all[k]].addr = all[k];
  } else {
    for (char c : drivesArg) {
      if (c == ',' || c == ' ') continue;
      if (!isAddress(c)) usage("--drives takes the letters A to R, T and U");
      drives[c].addr = c;
    }
  }
  if (!ductsArg.empty()) applyPerDrive(ductsArg, drives, &Drive::ducts, "--ducts");
  if (!positionArg.empty()) applyPerDrive(positionArg, drives, &Drive::pos, "--position");
  for (const std::string& f : faults) {
    const auto eq = f.find('=');
    if (eq != 1 || !drives.count(f[0])) usage("--fault takes ADDR=KIND[:EVERY] for an answering drive");
    Drive& d = drives[f[0]];
    std::string kind = f.substr(2);
    const auto colon = kind.find(':');
    if (colon != std::string::npos) {
      d.every = std::max(1, toInt(kind.substr(colon + 1), "--fault EVERY"));
      kind = kind.substr(0, colon);
    }
    if (kind == "silent") d.fault = Fault::Silent;
    else if (kind == "short") d.fault = Fault::Short;
    else if (kind == "long") d.fault = Fault::Long;
    else if (kind == "noise") d.fault = Fault::Noise;
    else if (kind.rfind("status=", 0) == 0 && kind.size() == 8) {
      d.fault = Fault::Letter;
      d.faultLetter = kind[7];
    } else if (kind == "stuck") {
      d.stuck = true;
    } else {
      usage("unknown fault");
    }
  }
  for (auto& [a, d] : drives) {
    d.from = d.target = d.pos;
  }

  FILE* reportFile = stdout;
  if (!reportPath.empty()) {
    reportFile = std::fopen(reportPath.c_str(), "w");
    if (!reportFile) usage("cannot write the report file");
  }
  Report report(reportFile);

  xav::bench::PtyPort port;
  QString error;
  if (!port.create(&error) || !port.linkAsCom(com, &error)) {
    std::fprintf(stderr, "tvr-drive-sim: %s\n", error.toLocal8Bit().constData());
    return 1;
  }

  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::printf("ready COM %d %s\n", com, port.slaveName().toLocal8Bit().constData());
  std::fflush(stdout);

  const double t0 = nowMs();
  const double byteMs = 10.0 * 1000.0 / 9600.0;
  std::mt19937 noiseRng(7);
  QByteArray inbox;
  double inboxSince = 0;
  std::deque<Pending> pending;

  auto advance = [&](Drive& d, double t) {
    if (!d.moving) return;
    const int steps = moveMs > 0 ? static_cast<int>((t - d.moveStart) / moveMs) : 1 << 20;
    const int dist = std::abs(d.target - d.from);
    if (steps >= dist) {
      d.pos = d.target;
      d.moving = false;
    } else {
      d.pos = d.from + (d.target > d.from ? steps : -steps);
    }
  };

  auto handleFrame = [&](char a, unsigned char c, double t) {
    const double rel = t - t0;
    auto it = drives.find(a);
    Drive* d = it == drives.end() ? nullptr : &it->second;
    const double due = t + (paced ? 2 * byteMs : 0) + turnaroundMs;
    std::string who(1, a);
    if (c == 'S') {
      report.line(rel, "frame " + who + " status");
      if (!d) return;
      advance(*d, t);
      QByteArray reply;
      reply += (d->stuck || d->moving) ? 'M' : 'P';
      reply += static_cast<char>((d->stuck ? 0 : d->pos) + 48);
      reply += '\r';
      ++d->statusReplies;
      if (d->fault != Fault::None && d->statusReplies % d->every == 0) {
        switch (d->fault) {
          case Fault::Silent: reply.clear(); break;
          case Fault::Short: reply.chop(1); break;
          case Fault::Long: reply += 'X'; break;
          case Fault::Noise: {
            reply.clear();
            const int n = 1 + static_cast<int>(noiseRng() % 5);
            for (int k = 0; k < n; ++k) reply += static_cast<char>(noiseRng() & 0xFF);
            break;
          }
          case Fault::Letter: reply[0] = d->faultLetter; break;
          case Fault::None: break;
        }
      }
      if (!reply.isEmpty()) pending.push_back({due, a, reply});
    } else if (c == 'd') {
      report.line(rel, "frame " + who + " ducts");
      if (!d) return;
      QByteArray reply("D");
      reply += static_cast<char>(d->ducts + 48);
      reply += '\r';
      pending.push_back({due, a, reply});
    } else if (c == 'r') {
      report.line(rel, "frame " + who + " reset");
      if (!d) return;
      advance(*d, t);
      d->moving = false;
      d->stuck = false;
      d->from = d->target = d->pos;
    } else {
      if (!d) {
        report.line(rel, "frame " + who + " move " + std::to_string(c));
        return;
      }
      advance(*d, t);
      report.line(rel, "frame " + who + " move " + std::to_string(c) + " at " + std::to_string(d->stuck ? 0 : d->pos) +
                           " " + ((d->stuck || d->moving) ? "M" : "P"));
      if (d->stuck || d->moving || c == d->pos || c < 1 || c > d->ducts) return;
      d->from = d->pos;
      d->target = c;
      d->moving = true;
      d->moveStart = t;
    }
  };

  while (!g_stop) {
    double t = nowMs();
    double waitMs = 50;
    if (!pending.empty()) waitMs = std::min(waitMs, pending.front().due - t);
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
          handleFrame(inbox[0], static_cast<unsigned char>(inbox[1]), t);
          inbox.remove(0, 2);
        }
        if (!inbox.isEmpty()) inboxSince = t;
      }
    }
    // A lone byte that no second byte follows is line noise: drop it.
    if (!inbox.isEmpty() && t - inboxSince > 50) inbox.clear();
    while (!pending.empty() && pending.front().due <= nowMs()) {
      Pending p = pending.front();
      pending.pop_front();
      report.line(nowMs() - t0, std::string("tx ") + p.addr + " " + hex(p.bytes));
      port.write(p.bytes, paced);
    }
  }
  if (reportFile != stdout) std::fclose(reportFile);
  return 0;
}
