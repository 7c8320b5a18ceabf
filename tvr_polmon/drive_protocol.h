#pragma once
// The drive network's wire format and the small decisions made on it. Pure
// functions, so that every rule can be checked without a port or a window.
//
// A frame to a drive is two bytes: the address letter and one command byte.
// A query is answered with exactly three bytes; numbers in replies are offset
// by 48 ("0" is duct 0), while a move request carries the duct number itself.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <functional>
#include <optional>

namespace polmon {

inline constexpr int kRows = 20;
inline constexpr char kStatusCommand = 'S';
inline constexpr char kDuctsCommand = 'd';
inline constexpr char kResetCommand = 'r';
inline constexpr int kReplyLength = 3;
// How long a query waits for its reply.
inline constexpr int kReplyTimeoutMs = 100;
// A drive that has just finished a move rests this long before the next one.
inline constexpr int kHoldAfterMoveMs = 10000;
// A frame is two bytes and the first byte of a reply needs its own wire time,
// so at 9600 baud (10 bits a byte) nothing that answers a query can be there
// sooner than three byte times after the query was written.
inline constexpr qint64 kByteTimeNs = 10LL * 1000000000LL / 9600;
inline constexpr qint64 kEarliestReplyNs = 3LL * kByteTimeNs;

// Row 0..19 of an address (its first character: A..R are rows 0..17, T and U
// rows 18 and 19); -1 when the address has no row (S, empty, anything else).
int rowOfAddress(const QString& address);

// A frame for an address: its text, then the command byte. A drive address
// is one letter, so that is two bytes; whatever the user typed into an
// address box goes out as typed.
QByteArray commandFrame(const QString& address, char command);

// The move request byte for a request text: its leading number to the
// nearest integer, halves to the even neighbour. Empty when that number
// cannot be carried by one byte (below 0 or above 255).
std::optional<unsigned char> moveByte(const QString& request);

// A decoded status reply.
struct StatusReply {
  char status = 0;   // the status letter (the reply's first byte)
  int position = 0;  // the duct number, negative when the byte lies below "0"
};

// Decodes a status reply for the queried address: valid only with exactly
// three bytes and an address between "A" and "U" (text comparison).
std::optional<StatusReply> decodeStatus(const QByteArray& reply, const QString& address);

// Duct count of a duct-count reply (its second byte − 48); none when the
// reply is shorter than two bytes.
std::optional<int> decodeDuctCount(const QByteArray& reply);

// Random exercise target for a drive with `limit` ducts standing at
// `current`: draws t = floor(limit × r + 1) with r from `uniform` in [0, 1)
// until t differs from current. When no draw could ever differ (for example
// one duct and the drive stands on it) no target is chosen, instead of
// drawing for ever.
std::optional<long long> randomTarget(double limit, double current, const std::function<double()>& uniform);

}  // namespace polmon
