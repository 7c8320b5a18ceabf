// The frame handling on byte vectors: exact replies, the register image it
// leaves behind, and what it makes of cut, split and run-together frames.
#include <gtest/gtest.h>

#include <initializer_list>

#include "captions.h"
#include "frame_handler.h"

using namespace rvsim;

namespace {

QByteArray bytes(std::initializer_list<int> list) {
  QByteArray b;
  for (int v : list) b.append(static_cast<char>(v));
  return b;
}

// A write of multiple registers (16) as the gateway sends it.
QByteArray writeFrame(quint16 tid, quint16 start, const std::vector<quint16>& values, quint8 unit = 1) {
  const int n = static_cast<int>(values.size());
  QByteArray f = bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 7 + 2 * n, unit, 16, start >> 8, start & 0xFF, 0, n, 2 * n});
  for (quint16 v : values) f += bytes({v >> 8, v & 0xFF});
  return f;
}

QByteArray readFrame(quint16 tid, quint16 start, quint16 count, quint8 unit = 1) {
  return bytes({tid >> 8, tid & 0xFF, 0, 0, 0, 6, unit, 3, start >> 8, start & 0xFF, count >> 8, count & 0xFF});
}

std::vector<quint16> twenty(quint16 v) { return std::vector<quint16>(20, v); }

FrameOutcome handle(const QByteArray& frame, RegisterImage& image, bool monitor = false) {
  return handleFrame(frame, image, monitor, [] { return QStringLiteral("12:00:00"); });
}

// The frame an arrival completes, copied out of the assembler.
QByteArray feed(FrameAssembler& a, const QByteArray& bytes, qint64 nowMs) { return a.arrival(bytes, nowMs).toByteArray(); }

}  // namespace

TEST(Frames, WriteOfTwentyRegistersGetsTheFixedReply) {
  // tid 0x1234, protocol 0, length 47, unit 1, function 16, start 0,
  // quantity 20, byte count 40, then registers 1..20 holding 1, 2, ... 20.
  const QByteArray request = bytes({0x12, 0x34, 0, 0, 0, 47, 1, 16, 0, 0, 0, 20, 40,
                                    0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0, 9, 0, 10,
                                    0, 11, 0, 12, 0, 13, 0, 14, 0, 15, 0, 16, 0, 17, 0, 18, 0, 19, 0, 20});
  ASSERT_EQ(request.size(), kFullWriteSize);
  ASSERT_EQ(request, writeFrame(0x1234, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  RegisterImage image;
  const FrameOutcome out = handle(request, image);
  // tid echoed, protocol 0, length 6, unit 1, function 16, address 0, quantity 20.
  EXPECT_EQ(out.reply, bytes({0x12, 0x34, 0, 0, 0, 6, 1, 16, 0, 0, 0, 20}));
  EXPECT_TRUE(out.positionsWritten);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(image.row(i).position.text(), QString::number(i));
}

TEST(Frames, WriteReplyIsNotAnEchoOfAddressOrQuantity) {
  // tid 7, unit 9, a write of 10 registers at address 300 (0x012C), each 0x0003.
  const QByteArray request = writeFrame(7, 300, std::vector<quint16>(10, 3), 9);
  ASSERT_EQ(request.mid(0, 13), bytes({0, 7, 0, 0, 0, 27, 9, 16, 0x01, 0x2C, 0, 10, 20}));
  RegisterImage image;
  const FrameOutcome out = handle(request, image);
  // Bytes 8 to 11 still say: 20 registers written at address 0.
  EXPECT_EQ(out.reply, bytes({0, 7, 0, 0, 0, 6, 9, 16, 0, 0, 0, 20}));
  // The ten registers that came are shown; the rows behind them are untouched.
  EXPECT_EQ(image.row(10).position.text(), QStringLiteral("3"));
  EXPECT_EQ(image.row(11).position.text(), QString());
}

TEST(Frames, ReadAlwaysAnswersAllTwentyRequests) {
  RegisterImage image;
  for (int i = 1; i <= 20; ++i) image.row(i).request.committed = static_cast<quint8>(10 * i);  // 10 .. 200
  // tid 0xABCD, length 6, unit 2, function 3, start 0x1000, quantity 5.
  const QByteArray request = bytes({0xAB, 0xCD, 0, 0, 0, 6, 2, 3, 0x10, 0x00, 0, 5});
  const FrameOutcome out = handle(request, image);
  // tid echoed, protocol 0, length 43, unit 2, function 3, byte count 40,
  // then 20 words: high byte 0, low byte the request.
  const QByteArray expected = bytes({0xAB, 0xCD, 0, 0, 0, 43, 2, 3, 40,
                                     0, 10, 0, 20, 0, 30, 0, 40, 0, 50, 0, 60, 0, 70, 0, 80, 0, 90, 0, 100,
                                     0, 110, 0, 120, 0, 130, 0, 140, 0, 150, 0, 160, 0, 170, 0, 180, 0, 190, 0, 200});
  ASSERT_EQ(expected.size(), kReadReplySize);
  EXPECT_EQ(out.reply, expected);
  EXPECT_FALSE(out.positionsWritten);
}

TEST(Frames, ReadDuringEntryAnswersTheSavedCopyAndOddTextIsKeptInRange) {
  RegisterImage image;
  image.row(1).request = {40, true, QStringLiteral("12")};  // half-typed 123 over 40
  image.row(2).request = {0, true, QString()};              // emptied at the start of an entry
  image.row(3).request.committed = requestValue(QStringLiteral("999"));  // pasted
  image.row(4).request.committed = requestValue(QStringLiteral("-5"));
  image.row(5).request.committed = requestValue(QStringLiteral("7x"));
  const QByteArray reply = handle(readFrame(1, 0, 20), image).reply;
  ASSERT_EQ(reply.size(), kReadReplySize);
  EXPECT_EQ(static_cast<quint8>(reply[10]), 40);
  EXPECT_EQ(static_cast<quint8>(reply[12]), 0);
  EXPECT_EQ(static_cast<quint8>(reply[14]), 254);
  EXPECT_EQ(static_cast<quint8>(reply[16]), 0);
  EXPECT_EQ(static_cast<quint8>(reply[18]), 7);
}

TEST(Frames, RegisterNumbersFollowTheStartingAddress) {
  RegisterImage image;
  EXPECT_TRUE(handle(writeFrame(1, 0, twenty(1)), image).relabelled);
  EXPECT_EQ(image.positionRegister(1), 40001);
  EXPECT_EQ(image.positionRegister(20), 40020);
  EXPECT_EQ(image.requestRegister(1), 40021);
  EXPECT_EQ(image.requestRegister(20), 40040);

  EXPECT_TRUE(handle(writeFrame(2, 100, twenty(1)), image).relabelled);
  EXPECT_EQ(image.positionRegister(1), 40101);
  EXPECT_EQ(image.requestRegister(20), 40140);
  EXPECT_FALSE(handle(writeFrame(3, 100, twenty(1)), image).relabelled);

  // The address of a read never relabels.
  handle(readFrame(4, 500, 20), image);
  EXPECT_EQ(image.positionRegister(1), 40101);

  // Starts of 32768 and above count on upwards instead of wrapping.
  handle(writeFrame(5, 32768, twenty(1)), image);
  EXPECT_EQ(image.positionRegister(1), 72769);
  handle(writeFrame(6, 65535, twenty(1)), image);
  EXPECT_EQ(image.requestRegister(20), 105575);
}

TEST(Frames, PositionsShowTheLowByteWithTheirColours) {
  RegisterImage image;
  std::vector<quint16> v = twenty(0);
  v[0] = 0x0105;  // high byte ignored: 5
  v[1] = 0x0100;  // reads as 0
  v[2] = 100;
  v[3] = 255;
  image.row(2).request.committed = 7;
  handle(writeFrame(1, 0, v), image);
  EXPECT_EQ(image.row(1).position.text(), QStringLiteral("5"));
  EXPECT_FALSE(image.row(1).position.aboveRange);
  EXPECT_EQ(image.row(2).position.text(), QStringLiteral("0"));  // something is requested of it
  EXPECT_EQ(image.row(3).position.text(), QStringLiteral("100"));
  EXPECT_TRUE(image.row(3).position.aboveRange);
  EXPECT_EQ(image.row(4).position.text(), QStringLiteral("255"));
  EXPECT_EQ(image.row(5).position.text(), QString());  // 0 with request 0: empty

  // 99 turns white again; 0 leaves the colour as it was.
  v[2] = 99;
  v[3] = 0;
  handle(writeFrame(2, 0, v), image);
  EXPECT_FALSE(image.row(3).position.aboveRange);
  EXPECT_EQ(image.row(4).position.text(), QString());
  EXPECT_TRUE(image.row(4).position.aboveRange);
}

TEST(Frames, OtherFunctionCodesAndRuntsGetNoReply) {
  RegisterImage image;
  // tid 1, length 6, unit 1, function 6 (write single register) 0 := 5.
  EXPECT_TRUE(handle(bytes({0, 1, 0, 0, 0, 6, 1, 6, 0, 0, 0, 5}), image).reply.isEmpty());
  // Header only (7 bytes): no function code at all.
  EXPECT_TRUE(handle(bytes({0, 1, 0, 0, 0, 1, 1}), image).reply.isEmpty());
  EXPECT_EQ(image.row(1).position.text(), QString());
  EXPECT_EQ(image.firstRegister, 0);  // no labels
}

TEST(Frames, CutFramesNeverReadPastTheirEnd) {
  const QByteArray write = writeFrame(1, 0, twenty(9));
  const QByteArray read = readFrame(1, 0, 20);
  for (qsizetype n = 0; n <= write.size(); ++n) {
    RegisterImage image;
    // Every prefix of a write: registers that arrived whole are shown, no
    // others, and a write carrying no register is not acknowledged.
    const FrameOutcome out = handle(write.left(n), image);
    const int whole = n < 15 ? 0 : static_cast<int>(std::min<qsizetype>((n - 13) / 2, 20));
    EXPECT_EQ(out.reply.isEmpty(), whole == 0) << n;
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(image.row(i).position.text(), i <= whole ? QStringLiteral("9") : QString()) << n;
  }
  for (qsizetype n = 0; n <= read.size(); ++n) {
    RegisterImage image;
    EXPECT_EQ(handle(read.left(n), image).reply.size(), n >= 8 ? kReadReplySize : 0) << n;
  }
}

TEST(Frames, DriveDMonitorWritesOneLinePerWriteWhileDIsNotThere) {
  RegisterImage image;
  std::vector<quint16> v = twenty(0);
  v[3] = 12;
  image.row(4).request.committed = 15;
  EXPECT_EQ(handle(writeFrame(1, 0, v), image, true).monitorLine, QStringLiteral("12, 15, - 12:00:00"));
  EXPECT_EQ(handle(writeFrame(1, 0, v), image, true).monitorLine, QStringLiteral("12, 15, - 12:00:00"));
  EXPECT_TRUE(handle(writeFrame(1, 0, v), image, false).monitorLine.isEmpty());
  image.row(4).request.committed = 12;  // arrived
  EXPECT_TRUE(handle(writeFrame(1, 0, v), image, true).monitorLine.isEmpty());
  image.row(4).request.committed = 1;  // requests of 1 and below are not watched
  v[3] = 3;
  EXPECT_TRUE(handle(writeFrame(1, 0, v), image, true).monitorLine.isEmpty());
  // While a new request is typed, the monitor goes by the text in the box.
  image.row(4).request = {1, true, QStringLiteral("012")};
  v[3] = 12;
  EXPECT_EQ(handle(writeFrame(1, 0, v), image, true).monitorLine, QStringLiteral("12, 012, - 12:00:00"));
}

TEST(Assembler, OnlyTheFirstFrameOfAnArrivalIsAnswered) {
  FrameAssembler a;
  const QByteArray first = readFrame(1, 0, 20);
  const QByteArray second = readFrame(2, 0, 20);
  EXPECT_EQ(feed(a, first + second, 0), first);
  EXPECT_EQ(a.pendingBytes(), 0);
  EXPECT_EQ(a.framesSkipped(), 1u);  // counted as ignored
  // The next arrival starts cleanly.
  EXPECT_EQ(feed(a, second, 1), second);
}

TEST(Assembler, SplitFramesAreCompletedAndTheStreamStaysInStep) {
  FrameAssembler a;
  const QByteArray w = writeFrame(1, 0, twenty(5));
  const QByteArray r = readFrame(2, 0, 20);
  // Cut inside the header and inside the data.
  EXPECT_TRUE(feed(a, w.left(4), 0).isEmpty());
  EXPECT_TRUE(feed(a, w.mid(4, 20), 5).isEmpty());
  EXPECT_EQ(feed(a, w.mid(24), 10), w);
  // A whole frame followed by the head of the next: the head is skipped,
  // and its tail in the next arrival is not taken for a frame start.
  EXPECT_EQ(feed(a, r + w.left(30), 20), r);
  EXPECT_TRUE(feed(a, w.mid(30), 30).isEmpty());
  EXPECT_EQ(feed(a, r, 40), r);
  // A split frame completed along with a whole one: the completed one is
  // this arrival's first frame.
  EXPECT_TRUE(feed(a, w.left(10), 50).isEmpty());
  EXPECT_EQ(feed(a, w.mid(10) + r, 60), w);
}

TEST(Assembler, StaleOrUnframeableBytesAreDropped) {
  FrameAssembler a(200);
  const QByteArray w = writeFrame(1, 0, twenty(5));
  // A cut-off frame whose rest never comes: the next frame after a pause
  // starts afresh instead of completing it.
  EXPECT_TRUE(feed(a, w.left(30), 0).isEmpty());
  EXPECT_EQ(feed(a, w, 500), w);
  // A length beyond what Modbus/TCP allows: nothing of it is kept.
  EXPECT_TRUE(feed(a, bytes({0, 1, 0, 0, 0xFF, 0xFF, 1, 3}), 600).isEmpty());
  EXPECT_EQ(a.pendingBytes(), 0);
  EXPECT_EQ(feed(a, w, 601), w);
  // Debris of a few bytes right before a frame is not glued to it.
  EXPECT_TRUE(feed(a, bytes({0, 1}), 650).isEmpty());
  EXPECT_EQ(feed(a, w, 650), w);
  EXPECT_TRUE(feed(a, bytes({0, 1, 0, 0}), 660).isEmpty());
  EXPECT_EQ(feed(a, w, 660), w);
  // A frame of 7 bytes is whole (length 1) and consumed.
  EXPECT_EQ(feed(a, bytes({0, 1, 0, 0, 0, 1, 1}), 700).size(), 7);
}

TEST(Processor, TheLateRestOfAFrameIsDroppedNeverAnswered) {
  // The header of a write, and its 40 data bytes 250 ms later (a segment
  // retransmitted). Drive D at duct 3 puts function code 3 where a header's
  // would be; drive A at 16 a transaction id.
  std::vector<quint16> v = twenty(16);
  v[3] = 3;
  const QByteArray w = writeFrame(9, 0, v);
  FrameProcessor p(200);
  EXPECT_FALSE(p.arrival(writeFrame(1, 0, twenty(7)), 0, false, {}).reply.isEmpty());
  EXPECT_TRUE(p.arrival(w.left(13), 10, false, {}).reply.isEmpty());
  EXPECT_TRUE(p.arrival(w.mid(13), 260, false, {}).reply.isEmpty());
  EXPECT_EQ(p.image().row(1).position.value, 7);  // the late frame changed nothing
  EXPECT_EQ(p.image().firstRegister, 40001);
  EXPECT_EQ(p.assembler().pendingBytes(), 0);
  // The rest may come in pieces, each late; then the stream is in step again.
  EXPECT_TRUE(p.arrival(w.left(20), 300, false, {}).reply.isEmpty());
  EXPECT_TRUE(p.arrival(w.mid(20, 10), 600, false, {}).reply.isEmpty());
  EXPECT_TRUE(p.arrival(w.mid(30), 900, false, {}).reply.isEmpty());
  const FrameOutcome next = p.arrival(readFrame(5, 0, 20), 950, false, {});
  ASSERT_EQ(next.reply.size(), kReadReplySize);
  EXPECT_EQ(next.reply[1], 5);
  // A late rest with the next request behind it: the request is answered.
  EXPECT_TRUE(p.arrival(w.left(13), 1000, false, {}).reply.isEmpty());
  const FrameOutcome behind = p.arrival(w.mid(13) + readFrame(6, 0, 20), 1300, false, {});
  ASSERT_EQ(behind.reply.size(), kReadReplySize);
  EXPECT_EQ(behind.reply[1], 6);
  EXPECT_EQ(p.image().row(1).position.value, 7);
}

TEST(Processor, ReadsSeeTheRequestsOfThatMoment) {
  FrameProcessor p;
  p.image().row(20).request.committed = 254;
  const FrameOutcome out = p.arrival(readFrame(1, 0, 20), 0, false, {});
  EXPECT_EQ(static_cast<quint8>(out.reply[48]), 254);
  EXPECT_TRUE(p.arrival(readFrame(1, 0, 20).left(5), 1, false, {}).reply.isEmpty());
}

TEST(Captions, FileHoldsTwentyOneLinesAndShortFilesGiveEmptyCaptions) {
  QStringList names;
  for (int i = 1; i <= 20; ++i) names << QStringLiteral("Drive %1").arg(i);
  names[2] = QStringLiteral("two\r\nlines");
  const QByteArray file = captionsFileBytes(names);
  EXPECT_EQ(file.count("\r\n"), 21);
  EXPECT_TRUE(file.startsWith("\r\nDrive 1\r\nDrive 2\r\ntwo  lines\r\n"));
  const QStringList back = parseCaptions(file);
  ASSERT_EQ(back.size(), 20);
  EXPECT_EQ(back[19], QStringLiteral("Drive 20"));

  // Line 1 is ignored; missing lines are empty; bare LF ends lines too.
  const QStringList partial = parseCaptions("template text\r\nPump\r\nMixer\nSilo");
  ASSERT_EQ(partial.size(), 20);
  EXPECT_EQ(partial[0], QStringLiteral("Pump"));
  EXPECT_EQ(partial[1], QStringLiteral("Mixer"));
  EXPECT_EQ(partial[2], QStringLiteral("Silo"));
  EXPECT_EQ(partial[3], QString());
  EXPECT_EQ(parseCaptions(QByteArray()), QStringList(20, QString()));
}
