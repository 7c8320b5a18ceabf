#include "module_sim.h"

namespace xav::bench {

namespace {
QString printable(const QByteArray& b) {
  QString s;
  for (char c : b) {
    if (c == '\r') s += QStringLiteral("\\r");
    else if (c == '\n') s += QStringLiteral("\\n");
    else if (c < 32 || c > 126) s += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    else s += QLatin1Char(c);
  }
  return s;
}
}  // namespace

SimActions ModuleSim::receive(const QByteArray& bytes) {
  SimActions out;
  buffer_ += bytes;
  for (;;) {
    if (buffer_.isEmpty()) break;
    if (buffer_.startsWith("**??")) {
      buffer_.remove(0, 4);
      awake_ = true;
      out.log << QStringLiteral("WAKE");
      continue;
    }
    if (buffer_ == "*" || buffer_ == "**" || buffer_ == "**?") break;  // wake-up not complete yet
    if (buffer_.startsWith("??")) {
      buffer_.remove(0, 2);
      if (!awake_) {
        out.log << QStringLiteral("QUERY without wake-up, ignored");
        continue;
      }
      awake_ = false;
      ++queries_;
      const bool answer = !opt_.silent && (opt_.answerAttempt == 0 || opt_.answerAttempt == queries_);
      out.log << QStringLiteral("QUERY %1%2").arg(queries_).arg(answer ? QString() : QStringLiteral(" (silent)"));
      if (answer) {
        QByteArray reply = opt_.settings;
        if (opt_.shortLength >= 0) reply = reply.left(opt_.shortLength);
        out.reply = reply;
        out.delayMs = opt_.lateMs;
        out.log << QStringLiteral("REPLY %1").arg(printable(reply));
      }
      continue;
    }
    if (buffer_.startsWith("?")) {
      if (buffer_.size() < 2) break;
    }
    if (buffer_.startsWith('@')) {
      const qsizetype cr = buffer_.indexOf('\r');
      if (cr < 0) {
        if (buffer_.size() > 200) {  // no line end in sight: drop the noise
          out.log << QStringLiteral("NOISE %1").arg(printable(buffer_));
          buffer_.clear();
        }
        break;
      }
      if (cr == 1) {
        if (buffer_.size() < 3) break;  // wait for the LF
        const bool lf = buffer_.at(2) == '\n';
        buffer_.remove(0, lf ? 3 : 2);
        out.log << (lf ? QStringLiteral("END") : QStringLiteral("END without LF"));
        continue;
      }
      const QByteArray line = buffer_.left(cr);
      buffer_.remove(0, cr + 1);
      if (line.size() == 45) {
        // A module that missed the record (button not pressed, noise) keeps
        // answering with its old settings.
        const bool ignored = ++records_ == opt_.ignoreRecord;
        if (!ignored) opt_.settings = line.mid(1);
        out.log << QStringLiteral("RECORD %1%2").arg(printable(line), ignored ? QStringLiteral(" (ignored)") : QString());
      } else {
        out.log << QStringLiteral("BAD RECORD (%1 characters) %2").arg(line.size()).arg(printable(line));
      }
      continue;
    }
    out.log << QStringLiteral("NOISE %1").arg(printable(buffer_.left(1)));
    buffer_.remove(0, 1);
  }
  return out;
}

}  // namespace xav::bench
