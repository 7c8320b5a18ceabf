#pragma once
// Modbus/TCP frame handling over RVSIM's register image, free of widgets:
// bytes of one arrival in, the reply bytes out. The window shows the image
// and keeps the request side of it up to date as the user types.

#include <QByteArray>
#include <QByteArrayView>
#include <QRgb>
#include <QString>
#include <array>
#include <functional>

namespace rvsim {

inline constexpr int kRows = 20;
inline constexpr int kFirstRegisterNumber = 40001;
// The gateway's write of 20 registers: 7-byte header, function code,
// address, quantity, byte count and 40 data bytes.
inline constexpr int kFullWriteSize = 53;
inline constexpr int kWriteReplySize = 12;
inline constexpr int kReadReplySize = 49;
// Largest request a read reply carries; typing stops at 254 as well.
inline constexpr int kMaxRequest = 254;

struct RegisterRow {
  QString modReg;        // register number carrying the position; blank until the first write
  QString modReg1;       // register number carrying the request
  QString position;      // text of the position box
  QRgb positionColour = 0xFFFFFFFF;
  QString request = QStringLiteral("0");
  QString savedRequest;  // what a read returns while a new value is being typed
  bool inEntry = false;  // cyan request box
};

struct RegisterImage {
  std::array<RegisterRow, kRows> rows;
  RegisterRow& row(int i) { return rows[static_cast<size_t>(i - 1)]; }  // i = 1..20
  const RegisterRow& row(int i) const { return rows[static_cast<size_t>(i - 1)]; }
};

// What one frame did, beyond the reply.
struct FrameOutcome {
  QByteArray reply;        // empty: nothing is sent
  bool positionsWritten = false;
  bool relabelled = false;
  QString monitorLine;     // non-empty: one line for the drive D monitor (without line end)
};

// The byte a read reply carries for a request text: its leading number,
// kept within 0..254 so pasted or odd text can never yield a wrong byte.
quint8 requestByte(const QString& text);

// Register number shown for a starting address: 40001 + start. The address
// is read unsigned, so starts of 32768 and above carry on upwards (72769 ...)
// instead of wrapping below 40001.
int firstRegisterNumber(quint16 start);

// Handles one complete frame starting at byte 0. monitorOn is the state of
// "D Monitor"; timeText is asked only when a monitor line is written.
FrameOutcome handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn,
                         const std::function<QString()>& timeText);

// Cuts the byte stream of one connection into frames by the length in the
// Modbus/TCP header. Of the frames that complete within one arrival only the
// first is handed out; later ones are skipped whole, so the stream stays in
// step. A frame split over arrivals is completed by the next arrival, unless
// that comes after a pause longer than the expiry (then the stale piece is
// dropped and the new arrival starts afresh).
class FrameAssembler {
 public:
  // Longest frame Modbus/TCP allows: 6 header bytes + 254.
  static constexpr int kMaxLengthField = 254;
  static constexpr qint64 kDefaultExpiryMs = 200;

  explicit FrameAssembler(qint64 expiryMs = kDefaultExpiryMs) : expiryMs_(expiryMs) {}

  // Feeds one arrival received at nowMs (a monotonic clock). Returns the
  // frame to answer, or an empty array when this arrival completes none.
  QByteArray arrival(QByteArrayView bytes, qint64 nowMs);
  void reset();
  qsizetype pendingBytes() const { return pending_.size(); }

 private:
  qint64 expiryMs_;
  QByteArray pending_;   // start of a frame still incomplete
  qint64 skip_ = 0;      // bytes of a skipped frame still to come
  qint64 lastArrivalMs_ = 0;
};

// Assembler and image together: what the window runs for each arrival.
class FrameProcessor {
 public:
  explicit FrameProcessor(qint64 expiryMs = FrameAssembler::kDefaultExpiryMs) : assembler_(expiryMs) {}
  FrameOutcome arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn,
                       const std::function<QString()>& timeText);
  void newConnection() { assembler_.reset(); }
  RegisterImage& image() { return image_; }
  const RegisterImage& image() const { return image_; }

 private:
  FrameAssembler assembler_;
  RegisterImage image_;
};

}  // namespace rvsim
