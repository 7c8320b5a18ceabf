#include "frame_handler.h"

#include <algorithm>

#include "numbers.h"

namespace rvsim {

namespace {

constexpr int kFunctionCodeAt = 7;

quint8 at(QByteArrayView b, qsizetype i) { return static_cast<quint8>(b[i]); }

// Transaction id, protocol id 0, the given length, unit id and function code:
// the first 8 bytes of every reply; the rest zero.
void replyHeader(QByteArrayView request, int size, quint8 length, QByteArray& reply) {
  reply.fill('\0', size);
  char* r = reply.data();
  r[0] = request[0];
  r[1] = request[1];
  r[5] = static_cast<char>(length);
  r[6] = request[6];
  r[7] = request[7];
}

void showPosition(RegisterRow& row, quint8 v) {
  DrivePosition& p = row.position;
  p.value = v;
  if (v > 0) {
    p.blank = false;
    p.aboveRange = v > kHighestDuct;
  } else {
    // A drive at 0 shows "0" only while something is requested of it; its
    // marking stays as it was.
    p.blank = row.request.shownValue() <= 0;
  }
}

// Shows the positions of the registers written (the k-th register's low byte
// sits at 12 + 2k) and, right after drive D's row, applies the monitor rule.
void FillPositionRegs(QByteArrayView frame, int registers, RegisterImage& image, bool monitorOn,
                      const std::function<QString()>& timeText, FrameOutcome& out) {
  for (int i = 1; i <= registers; ++i) {
    RegisterRow& row = image.row(i);
    showPosition(row, at(frame, 12 + 2 * i));
    if (i == 4 && monitorOn && row.request.shownValue() > 1) {
      const QString request = row.request.text();
      const QString position = row.position.text();
      if (request != position) {
        out.monitorLine = position + QStringLiteral(", ") + request + QStringLiteral(", - ") +
                          (timeText ? timeText() : QString());
      }
    }
  }
  out.positionsWritten = true;
}

// The 20 request values into the low bytes 10, 12, ..., 48 of a read reply.
// A request being typed answers with the value it had before.
void ReadReqRegs(const RegisterImage& image, QByteArray& reply) {
  char* r = reply.data();
  for (int i = 1; i <= kRows; ++i) r[10 + 2 * (i - 1)] = static_cast<char>(image.row(i).request.committed);
}

void handleWrite(QByteArrayView frame, RegisterImage& image, bool monitorOn, const std::function<QString()>& timeText,
                 FrameOutcome& out) {
  // A write that carries no whole register (cut short by the client) is not
  // acknowledged and changes nothing.
  const int registers = static_cast<int>(std::clamp<qsizetype>((frame.size() - 13) / 2, 0, kRows));
  if (registers == 0) return;

  // The reply reports 20 registers at address 0 whatever was asked.
  replyHeader(frame, kWriteReplySize, 6, out.reply);
  out.reply.data()[11] = kRows;

  const int first = firstRegisterNumber(static_cast<quint16>(at(frame, 8) << 8 | at(frame, 9)));
  if (image.firstRegister != first) {
    image.firstRegister = first;
    out.relabelled = true;
  }
  FillPositionRegs(frame, registers, image, monitorOn, timeText, out);
}

void handleRead(QByteArrayView frame, const RegisterImage& image, FrameOutcome& out) {
  replyHeader(frame, kReadReplySize, 43, out.reply);
  out.reply.data()[8] = 2 * kRows;
  ReadReqRegs(image, out.reply);
}

}  // namespace

int DriveRequest::shownValue() const {
  if (!inEntry) return committed;
  return static_cast<int>(std::clamp<long long>(xav::leadingInteger(typed), -1, 1 << 20));
}

void FrameOutcome::clear() {
  reply.truncate(0);  // keeps the buffer for the next reply
  positionsWritten = false;
  relabelled = false;
  if (!monitorLine.isEmpty()) monitorLine.clear();
}

quint8 requestValue(const QString& text) {
  return static_cast<quint8>(std::clamp<long long>(xav::leadingInteger(text), 0, kMaxRequest));
}

int firstRegisterNumber(quint16 start) { return kFirstRegisterNumber + start; }

void handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn, const std::function<QString()>& timeText,
                 FrameOutcome& out) {
  out.clear();
  if (frame.size() <= kFunctionCodeAt) return;
  switch (at(frame, kFunctionCodeAt)) {
    case kWriteMultiple: handleWrite(frame, image, monitorOn, timeText, out); break;
    case kReadHolding: handleRead(frame, image, out); break;
    default: break;
  }
}

FrameOutcome handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn,
                         const std::function<QString()>& timeText) {
  FrameOutcome out;
  handleFrame(frame, image, monitorOn, timeText, out);
  return out;
}

bool exceptionReply(QByteArrayView frame, quint8 code, QByteArray& reply) {
  if (frame.size() <= kFunctionCodeAt) return false;
  const quint8 function = at(frame, kFunctionCodeAt);
  if (function != kWriteMultiple && function != kReadHolding) return false;
  replyHeader(frame, kExceptionReplySize, 3, reply);
  reply.data()[7] = static_cast<char>(function | 0x80);
  reply.data()[8] = static_cast<char>(code);
  return true;
}

// A header that a Modbus/TCP client would send: protocol 0 and at least a
// unit id and a function code. Only used to decide whether pieces belong
// together; a frame that starts an arrival is taken as it comes.
bool FrameAssembler::plausible(QByteArrayView data, qsizetype pos, int length) const {
  return at(data, pos + 2) == 0 && at(data, pos + 3) == 0 && length >= 2;
}

// Whether data begins with a header a client could send, whole or not.
bool FrameAssembler::canStartFrame(QByteArrayView data) const {
  if (data.size() < 6) return false;
  const int length = at(data, 4) << 8 | at(data, 5);
  return plausible(data, 0, length) && length <= kMaxLengthField;
}

QByteArrayView FrameAssembler::arrival(QByteArrayView bytes, qint64 nowMs) {
  const bool late = (!pending_.isEmpty() || skip_ > 0) && nowMs - lastArrivalMs_ > expiryMs_;
  lastArrivalMs_ = nowMs;
  if (late) return lateArrival(bytes);
  if (pending_.isEmpty()) return frameFrom(bytes, false);
  joined_ = pending_;
  joined_.append(bytes);
  pending_.clear();
  const QByteArrayView frame = frameFrom(joined_, true);
  if (frame.isNull() && joined_.isEmpty()) {
    // The kept piece did not continue into this arrival: it was debris,
    // and the arrival starts a frame of its own.
    return frameFrom(bytes, false);
  }
  return frame;
}

// Walks the frames of data; a joined piece that turns out not to belong
// together empties joined_ and returns a null view.
QByteArrayView FrameAssembler::frameFrom(QByteArrayView data, bool joined) {
  QByteArrayView answer;
  qsizetype pos = 0;
  while (pos < data.size()) {
    const qsizetype remaining = data.size() - pos;
    if (skip_ > 0) {
      const qsizetype n = std::min<qsizetype>(skip_, remaining);
      skip_ -= n;
      pos += n;
      continue;
    }
    if (remaining < 6) {
      pending_ = data.sliced(pos).toByteArray();
      break;
    }
    const int length = at(data, pos + 4) << 8 | at(data, pos + 5);
    if (joined && !plausible(data, pos, length)) {
      joined_.clear();
      return {};
    }
    joined = false;
    if (length > kMaxLengthField) {
      // Not a Modbus/TCP frame: nothing after it can be framed either.
      reset();
      break;
    }
    const qsizetype size = 6 + length;
    if (remaining < size) {
      if (answer.isNull()) {
        pending_ = data.sliced(pos).toByteArray();
      } else if (plausible(data, pos, length)) {
        skip_ = size - remaining;
        ++skipped_;
      }
      break;
    }
    if (answer.isNull()) {
      answer = data.sliced(pos, size);
    } else {
      ++skipped_;
    }
    pos += size;
  }
  return answer;
}

// The stream is still in the frame that was started: TCP delivers its rest
// first, however late. Reading that rest as a frame of its own would answer
// (and show) data bytes as if they were a header.
QByteArrayView FrameAssembler::lateArrival(QByteArrayView bytes) {
  qint64 remaining = skip_;
  if (!pending_.isEmpty()) {
    joined_ = pending_;
    joined_.append(bytes);
    if (joined_.size() < 6) {
      pending_ = joined_;
      return {};
    }
    if (!canStartFrame(joined_)) {
      // The kept piece was debris, not the start of a frame.
      reset();
      return frameFrom(bytes, false);
    }
    remaining = 6 + (at(joined_, 4) << 8 | at(joined_, 5)) - pending_.size();
    ++skipped_;
  }
  reset();
  if (bytes.size() <= remaining) {
    skip_ = remaining - bytes.size();
    return {};
  }
  const QByteArrayView rest = bytes.sliced(remaining);
  if (rest.size() < 6 || canStartFrame(rest)) return frameFrom(rest, false);
  if (canStartFrame(bytes) && 6 + (at(bytes, 4) << 8 | at(bytes, 5)) <= bytes.size()) return frameFrom(bytes, false);
  return {};
}

void FrameAssembler::reset() {
  pending_.clear();
  skip_ = 0;
}

QByteArrayView FrameProcessor::arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn,
                                       const std::function<QString()>& timeText, FrameOutcome& out) {
  const QByteArrayView frame = assembler_.arrival(bytes, nowMs);
  if (frame.isNull()) {
    out.clear();
    return frame;
  }
  handleFrame(frame, image_, monitorOn, timeText, out);
  return frame;
}

FrameOutcome FrameProcessor::arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn,
                                     const std::function<QString()>& timeText) {
  FrameOutcome out;
  arrival(bytes, nowMs, monitorOn, timeText, out);
  return out;
}

}  // namespace rvsim
