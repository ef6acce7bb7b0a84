// The receive side of the RFC 2217 layer: whatever a server sends, read in
// one piece or in two, gives the same payload and the same answers; answers
// are only option commands; and payload doubled on the way out comes back as it was.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "serial/rfc2217.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t cut = data[0] % size;  // where the socket's read ends
  const std::uint8_t* wire = data + 1;
  const std::size_t n = size - 1;

  telnet::ComPortClient whole, split;
  whole.Hello();
  split.Hello();
  telnet::LineSettings line;
  line.baud = 57600;
  line.parity = 2;
  whole.SetLine(line, 0);
  split.SetLine(line, 0);
  telnet::Bytes payloadWhole, replyWhole, payloadSplit, replySplit;
  whole.Receive(wire, n, payloadWhole, replyWhole, 1);
  split.Receive(wire, cut < n ? cut : n, payloadSplit, replySplit, 1);
  if (cut < n) split.Receive(wire + cut, n - cut, payloadSplit, replySplit, 1);
  FUZZ_CHECK(payloadWhole == payloadSplit);
  FUZZ_CHECK(replyWhole == replySplit);
  FUZZ_CHECK(whole.TakeNotes() == split.TakeNotes());
  FUZZ_CHECK(payloadWhole.size() <= n);
  FUZZ_CHECK(replyWhole.size() % 3 == 0);
  for (std::size_t i = 0; i < replyWhole.size(); i += 3) {
    FUZZ_CHECK(replyWhole[i] == telnet::kIac);
    FUZZ_CHECK(replyWhole[i + 1] >= telnet::kWill && replyWhole[i + 1] <= telnet::kDont);
  }

  // The same bytes as payload, on their way out and back.
  telnet::Bytes escaped;
  telnet::Escape(wire, n, escaped);
  telnet::ComPortClient back;
  telnet::Bytes payload, reply;
  back.Receive(escaped.data(), escaped.size(), payload, reply, 0);
  FUZZ_CHECK(payload == telnet::Bytes(wire, wire + n));
  FUZZ_CHECK(reply.empty());
  return 0;
}
