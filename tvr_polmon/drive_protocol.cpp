#include "drive_protocol.h"

#include <cmath>

#include "drive_letters.h"
#include "numbers.h"

namespace polmon {

int rowOfAddress(const QString& address) {
  if (address.isEmpty()) return -1;
  return xav::driveIndex(address.at(0));
}

QByteArray commandFrame(const QString& address, char command) {
  QByteArray frame = address.toLatin1();
  frame.append(command);
  return frame;
}

std::optional<unsigned char> moveByte(const QString& request) {
  const long long n = xav::roundHalfToEven(xav::leadingNumber(request));
  if (n < 0 || n > 255) return std::nullopt;
  return static_cast<unsigned char>(n);
}

std::optional<StatusReply> decodeStatus(const QByteArray& reply, const QString& address) {
  if (reply.size() != kReplyLength) return std::nullopt;
  if (address < QStringLiteral("A") || address > QStringLiteral("U")) return std::nullopt;
  StatusReply out;
  out.status = reply.at(0);
  out.position = static_cast<unsigned char>(reply.at(1)) - 48;
  return out;
}

std::optional<int> decodeDuctCount(const QByteArray& reply) {
  if (reply.size() < 2) return std::nullopt;
  return static_cast<unsigned char>(reply.at(1)) - 48;
}

std::optional<long long> randomTarget(double limit, double current, const std::function<double()>& uniform) {
  if (!std::isfinite(limit) || !uniform) return std::nullopt;
  // Every t the draw can give lies in [lo, hi].
  const long long lo = limit >= 0 ? 1 : static_cast<long long>(std::floor(limit + 1));
  const long long hi = limit > 0 ? static_cast<long long>(std::ceil(limit)) : 1;
  if (lo == hi && static_cast<double>(lo) == current) return std::nullopt;
  // A generator that keeps giving the same number must not hang the poll.
  for (int tries = 0; tries < 100000; ++tries) {
    const long long t = static_cast<long long>(std::floor(limit * uniform() + 1));
    if (static_cast<double>(t) != current) return t;
  }
  return std::nullopt;
}

}  // namespace polmon
