// The manual instruction: whatever the operator types, the frame holds at most
// 48 bytes, and what is accepted is exactly the bytes typed, which the echo
// shows again.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "protocol/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<Frame> out = ParseManualInstruction(text);
  if (!out) return 0;
  FUZZ_CHECK(out->size() <= kFrameSize);
  for (std::size_t i = out->size(); i < Frame::kCapacity; ++i) FUZZ_CHECK(out->data()[i] == 0);
  // Every accepted byte is a pair of hex digits of the text, in order (a
  // lone last digit is a byte of its own: "7" is 07).
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  if (digits.size() % 2) digits.insert(digits.size() - 1, "0");
  // The one text that gives a byte without a digit: a single space is skipped
  // and the empty token after it counts as 00.
  if (text == " ") digits = "00";
  const std::string echo = FormatManualFrame(*out);
  std::string echoDigits;
  for (char c : echo)
    if (c != '-') echoDigits += c;
  FUZZ_CHECK(echoDigits == digits);
  // The echo, spaced instead of dashed, parses back to the same bytes.
  std::string again = echo;
  for (char& c : again)
    if (c == '-') c = ' ';
  const std::optional<Frame> back = ParseManualInstruction(again);
  FUZZ_CHECK(back && *back == *out);
  return 0;
}
