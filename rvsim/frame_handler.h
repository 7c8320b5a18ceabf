#pragma once
// Modbus/TCP frame handling over RVSIM's register image, free of widgets:
// bytes of one arrival in, the reply bytes out. The image holds numbers; the
// window turns them into the texts and colours it shows.

#include <QByteArray>
#include <QByteArrayView>
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
inline constexpr quint8 kWriteMultiple = 16;
inline constexpr quint8 kReadHolding = 3;
// Positions above this are beyond the ducts a drive has; the window marks them.
inline constexpr int kHighestDuct = 99;

// A drive's position as last written by the gateway.
struct DrivePosition {
  quint8 value = 0;         // low byte of the last write
  bool blank = true;        // shown empty: never written, or 0 while nothing was requested
  bool aboveRange = false;  // the last non-zero value was above kHighestDuct
  QString text() const { return blank ? QString() : QString::number(value); }
};

// A drive's request: the committed value, and while the user types a new
// one, the text typed so far. Reads always return the committed value, so a
// half-typed request never reaches the drive.
struct DriveRequest {
  quint8 committed = 0;
  bool inEntry = false;
  QString typed;
  // What the request box shows.
  QString text() const { return inEntry ? typed : QString::number(committed); }
  // The number the shown text reads as.
  int shownValue() const;
};

struct RegisterRow {
  DrivePosition position;
  DriveRequest request;
  QString caption;
};

struct RegisterImage {
  std::array<RegisterRow, kRows> rows;
  // Register number of row 1's position; 0 until the first write labels the rows.
  int firstRegister = 0;
  RegisterRow& row(int i) { return rows[static_cast<size_t>(i - 1)]; }  // i = 1..20
  const RegisterRow& row(int i) const { return rows[static_cast<size_t>(i - 1)]; }
  int positionRegister(int i) const { return firstRegister ? firstRegister + i - 1 : 0; }
  int requestRegister(int i) const { return firstRegister ? firstRegister + kRows - 1 + i : 0; }
};

// What one frame did, beyond the reply.
struct FrameOutcome {
  QByteArray reply;        // empty: nothing is sent
  bool positionsWritten = false;
  bool relabelled = false;
  QString monitorLine;     // non-empty: one line for the drive D monitor (without line end)
  void clear();
};

// The request value of a text typed or pasted: its leading number, kept
// within 0..254 so odd text can never yield a wrong byte.
quint8 requestValue(const QString& text);

// Register number shown for a starting address: 40001 + start. The address
// is read unsigned, so starts of 32768 and above carry on upwards (72769 ...)
// instead of wrapping below 40001.
int firstRegisterNumber(quint16 start);

// Handles one complete frame starting at byte 0. monitorOn is the state of
// "D Monitor"; timeText is asked only when a monitor line is written. The
// outcome is filled in place so its reply buffer can be reused.
void handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn, const std::function<QString()>& timeText,
                 FrameOutcome& out);
FrameOutcome handleFrame(QByteArrayView frame, RegisterImage& image, bool monitorOn,
                         const std::function<QString()>& timeText);

// Exception reply (9 bytes) to a frame of function 3 or 16: the frame's
// transaction and unit ids, the function code with its high bit set, and the
// code. False (and nothing built) for any other frame.
inline constexpr int kExceptionReplySize = 9;
bool exceptionReply(QByteArrayView frame, quint8 code, QByteArray& reply);

// Cuts the byte stream of one connection into frames by the length in the
// Modbus/TCP header. Of the frames that complete within one arrival only the
// first is handed out; later ones are skipped whole, so the stream stays in
// step. A frame split over arrivals is completed by the next arrival. Bytes
// that come after a pause longer than the expiry are the late rest of the
// frame that was started (a retransmitted segment): that rest is dropped,
// never answered, and framing goes on behind it. Only where the bytes behind
// the rest cannot start a frame but the arrival itself is a whole frame is
// the cut piece taken for debris and the arrival answered as it comes.
class FrameAssembler {
 public:
  // Longest frame Modbus/TCP allows: 6 header bytes + 254.
  static constexpr int kMaxLengthField = 254;
  static constexpr qint64 kDefaultExpiryMs = 200;

  explicit FrameAssembler(qint64 expiryMs = kDefaultExpiryMs) : expiryMs_(expiryMs) {}

  // Feeds one arrival received at nowMs (a monotonic clock). Returns the
  // frame to answer, or an empty view when this arrival completes none. The
  // view stays valid until the next call.
  QByteArrayView arrival(QByteArrayView bytes, qint64 nowMs);
  void reset();
  qsizetype pendingBytes() const { return pending_.size(); }
  // Whole frames passed over so far (behind the first of an arrival).
  quint64 framesSkipped() const { return skipped_; }

 private:
  QByteArrayView frameFrom(QByteArrayView data, bool joined);
  QByteArrayView lateArrival(QByteArrayView bytes);
  bool plausible(QByteArrayView data, qsizetype pos, int length) const;
  bool canStartFrame(QByteArrayView data) const;

  qint64 expiryMs_;
  QByteArray pending_;   // start of a frame still incomplete
  QByteArray joined_;    // the kept piece and the arrival that completes it
  qint64 skip_ = 0;      // bytes of a skipped frame still to come
  qint64 lastArrivalMs_ = 0;
  quint64 skipped_ = 0;
};

// Assembler and image together: what the simulator runs for each arrival.
class FrameProcessor {
 public:
  explicit FrameProcessor(qint64 expiryMs = FrameAssembler::kDefaultExpiryMs) : assembler_(expiryMs) {}
  FrameOutcome arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn, const std::function<QString()>& timeText);
  // The frame answered (empty: none) and its outcome, filled in place.
  QByteArrayView arrival(QByteArrayView bytes, qint64 nowMs, bool monitorOn, const std::function<QString()>& timeText,
                         FrameOutcome& out);
  // Only the framing: the frame to answer (empty: none), left to the caller.
  QByteArrayView nextFrame(QByteArrayView bytes, qint64 nowMs) { return assembler_.arrival(bytes, nowMs); }
  void newConnection() { assembler_.reset(); }
  RegisterImage& image() { return image_; }
  const RegisterImage& image() const { return image_; }
  const FrameAssembler& assembler() const { return assembler_; }

 private:
  FrameAssembler assembler_;
  RegisterImage image_;
};

}  // namespace rvsim
