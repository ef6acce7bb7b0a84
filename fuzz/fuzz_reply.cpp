// The SD-card reply decoder: only replies are recognised, a count comes back
// as the number encoded, and every status bit shows in the line.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "protocol/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kReplySize) return 0;
  std::uint8_t f[kReplySize];
  std::memcpy(f, data, kReplySize);
  const auto r = DecodeReplyFrame(f);
  const bool isReply = f[0] == kReplySync0 && f[1] == kReplySync1 && f[2] >= kReplyStatus && f[2] <= kReplyMinutes;
  FUZZ_CHECK(r.has_value() == isReply);
  if (!r) return 0;
  // Unpack then pack gives the frame back, but for the trailer (the sum) and
  // a status reply's two unused bytes.
  const Reply value = *UnpackReply(f);
  const ReplyBytes packed = PackReply(value);
  FUZZ_CHECK(std::memcmp(packed.data(), f, f[2] == kReplyStatus ? 5 : 7) == 0);
  const std::uint8_t* g = packed.data();
  if (f[2] == kReplyStatus) {
    // decode(encode(a, b)) is the line of the frame itself, and flipping any
    // bit the device defines changes it.
    FUZZ_CHECK(DecodeReplyFrame(g)->line == r->line);
    for (int bit = 0; bit < 10; ++bit) {
      std::uint8_t h[kReplySize];
      std::memcpy(h, g, kReplySize);
      h[bit < 8 ? 3 : 4] ^= static_cast<std::uint8_t>(1u << (bit % 8));
      FUZZ_CHECK(DecodeReplyFrame(h)->line != r->line);
    }
    return 0;
  }
  std::int32_t count;
  std::memcpy(&count, data + 3, 4);  // the test machine is little-endian, as the wire is
  FUZZ_CHECK(value.count == count);
  const std::string line = DecodeReplyFrame(g)->line;
  FUZZ_CHECK(line == r->line);
  FUZZ_CHECK(line.find(std::to_string(count)) != std::string::npos);
  return 0;
}
