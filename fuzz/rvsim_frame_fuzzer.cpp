// libFuzzer target: arbitrary bytes, cut into arrivals, through the frame
// assembler and handler. Replies may only ever be a write reply, a read
// reply, or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frame_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  rvsim::RegisterImage image;
  // The whole input as one frame.
  const QByteArrayView whole(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const rvsim::FrameOutcome direct = rvsim::handleFrame(whole, image, true, [] { return QStringLiteral("t"); });
  if (!direct.reply.isEmpty() && direct.reply.size() != rvsim::kWriteReplySize &&
      direct.reply.size() != rvsim::kReadReplySize) {
    abort();
  }

  // The first byte chooses how the rest is cut into arrivals and how far
  // apart in time they come.
  rvsim::FrameProcessor processor(50);
  const size_t chunk = 1 + data[0] % 64;
  qint64 now = 0;
  for (size_t at = 1; at < size; at += chunk) {
    const size_t n = std::min(chunk, size - at);
    now += data[at] % 100;
    const rvsim::FrameOutcome out = processor.arrival(
        QByteArrayView(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n)), now, true,
        [] { return QStringLiteral("t"); });
    if (!out.reply.isEmpty() && out.reply.size() != rvsim::kWriteReplySize && out.reply.size() != rvsim::kReadReplySize) {
      abort();
    }
    for (const rvsim::RegisterRow& row : processor.image().rows) {
      if (row.position.text().size() > 3 || row.request.committed > rvsim::kMaxRequest) abort();
    }
  }
  return 0;
}
