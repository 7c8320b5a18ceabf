#include "frame_handler.h"

#include <algorithm>

#include "colours.h"
#include "numbers.h"

namespace rvsim {

namespace {

constexpr int kFunctionCodeAt = 7;
constexpr quint8 kWriteMultiple = 16;
constexpr quint8 kReadHolding = 3;

quint8 at(QByteArrayView b, qsizetype i) { return static_cast<quint8>(b[i]); }

// Transaction id, protocol id 0, the given length, unit id and function code:
// the first 8 bytes of every reply.
QByteArray replyHeader(QByteArrayView request, int size, quint8 length) {
  QByteArray reply(size, '\0');
  reply[0] = request[0];
  reply[1] = request[1];
  reply[4] = 0;
  reply[5] = static_cast<char>(length);
  reply[6] = request[6];
  reply[7] = request[7];
  return reply;
}

void relabel(RegisterImage& image, int first) {
  for (int i = 1; i <= kRows; ++i) {
    image.row(i).modReg = QString::number(first + i - 1);
    image.row(i).modReg1 = QString::number(first + 19 + i);
  }
}

void showPosition(RegisterRow& row, quint8 v) {
  if (v > 0) {
    row.position = QString::number(v);
    row.positionColour = v > 99 ? xav::colours::LightRed : xav::colours::White;
  } else {
    // A drive at 0 shows "0" only while something is requested of it.
    row.position = xav::leadingInteger(row.request) > 0 ? QStringLiteral("0") : QString();
  }
}

// Shows the positions of the registers written (the k-th register's low byte
// sits at 12 + 2k) and, right after drive D's row, applies the monitor rule.
void FillPositionRegs(QByteArrayView frame, int registers, RegisterImage& image, bool monitorOn,
                      const std::function<QString()>& timeText, FrameOutcome& out) {
  for (int i = 1; i <= registers; ++i) {
    RegisterRow& row = image.row(i);
    showPosition(row, at(frame, 12 + 2 * i));
    if (i == 4 && monitorOn && xav::leadingInteger(row.request) > 1 && row.request != row.position) {
      out.monitorLine = row.position + QStringLiteral(", ") + row.request + QStringLiteral(", - ") +
                        (timeText ? timeText() : QString());
    }
  }
  out.positionsWritten = true;
}

// The 20 request values into the low bytes 10, 12, ..., 48 of a read reply.
void ReadReqRegs(const RegisterImage& image, QByteArray& reply) {
  for (int i = 1; i <= kRows; ++i) {
    const RegisterRow& row = image.row(i);
    // A box being typed into answers with the value it had before.
    reply[10 + 2 * (i - 1)] = static_cast<char>(requestByte(row.inEntry ? row.savedRequest : row.request));
  }
}

FrameOutcome handleWrite(QByteArrayView frame, RegisterImage& image, bool monitorOn,
                         const std::function<QString()>& timeText) {
  FrameOutcome out;
  // A write that carries no whole register (cut short by the client) is not
  // acknowledged and changes nothing.
  const int registers = static_cast<int>(std::clamp<qsizetype>((frame.size() - 13) / 2, 0, kRows));
  if (registers == 0) return out;

  // The reply reports 20 registers at address 0 whatever was asked.
  out.reply = replyHeader(frame, kWriteReplySize, 6);
  out.reply[11] = kRows;

  const int first = firstRegisterNumber(static_cast<quint16>(at(frame, 8) << 8 | at(frame, 9)));
  if (xav::leadingInteger(image.row(1).modReg) != first) {
    relabel(image, first);
    out.relabelled = true;
  }
  FillPositionRegs(frame, registers, image, monitorOn, timeText, out);
  return out;
}

FrameOutcome handleRead(QByteArrayView frame, const RegisterImage& image) {
  FrameOutcome out;
  out.reply = replyHeader(frame, kReadReplySize, 43);
  out.reply[8] = 2 * kRows;
  ReadReqRegs(image, out.reply);
  return out;
}

}  // namespace

quint8 requestByte(const QString& text) {
  return static_cast<quint8>(std::clamp<long long>(xav::leadingInteger(text), 0, kMaxRequest));
}

int firstRegisterNumber(quint16 start) { return kFirstRegisterNumber + start; }

FrameOutcome handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn,
                         const std::function<QString()>& timeText) {
  if (frame.size() <= kFunctionCodeAt) return {};
  switch (at(frame, kFunctionCodeAt)) {
    case kWriteMultiple: return handleWrite(frame, image, monitorOn, timeText);
    case kReadHolding: return handleRead(frame, image);
    default: return {};
  }
}

QByteArray FrameAssembler::arrival(QByteArrayView bytes, qint64 nowMs) {
  if ((!pending_.isEmpty() || skip_ > 0) && nowMs - lastArrivalMs_ > expiryMs_) reset();
  lastArrivalMs_ = nowMs;

  bool joined = !pending_.isEmpty();
  QByteArray data = pending_;
  data.append(bytes);
  pending_.clear();

  // A header that a Modbus/TCP client would send: protocol 0 and at least a
  // unit id and a function code. Only used to decide whether pieces belong
  // together; a frame that starts an arrival is taken as it comes.
  auto plausible = [&data](qsizetype pos, int length) {
    return at(data, pos + 2) == 0 && at(data, pos + 3) == 0 && length >= 2;
  };

  QByteArray answer;
  bool answered = false;
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
      pending_ = data.mid(pos);
      break;
    }
    const int length = at(data, pos + 4) << 8 | at(data, pos + 5);
    if (joined && !plausible(pos, length)) {
      // The kept piece does not continue into this arrival: it was debris,
      // and the arrival starts a frame of its own.
      data = bytes.toByteArray();
      pos = 0;
      joined = false;
      continue;
    }
    joined = false;
    if (length > kMaxLengthField) {
      // Not a Modbus/TCP frame: nothing after it can be framed either.
      reset();
      break;
    }
    const qsizetype size = 6 + length;
    if (remaining < size) {
      if (!answered) {
        pending_ = data.mid(pos);
      } else if (plausible(pos, length)) {
        skip_ = size - remaining;
      }
      break;
    }
    if (!answered) {
      answer = data.mid(pos, size);
      answered = true;
    }
    pos += size;
  }
  return answer;
}

void FrameAssembler::reset() {
  pending_.clear();
  skip_ = 0;
}

FrameOutcome FrameProcessor::arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn,
                                     const std::function<QString()>& timeText) {
  const QByteArray frame = assembler_.arrival(bytes, nowMs);
  if (frame.isEmpty()) return {};
  return handleFrame(frame, image_, monitorOn, timeText);
}

}  // namespace rvsim
