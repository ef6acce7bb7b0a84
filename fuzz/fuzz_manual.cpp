// The manual instruction: whatever the operator types, nothing is stored past
// the 48-byte send buffer, and what is accepted is exactly the bytes typed,
// which the echo shows again.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "protocol/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // A buffer of exactly the frame's size on the heap: a byte stored past it
  // is an AddressSanitizer report.
  auto out = std::make_unique<std::uint8_t[]>(kFrameSize);
  const int n = ParseManualInstruction(text, out.get());
  FUZZ_CHECK(n >= -1 && n <= static_cast<int>(kFrameSize));
  if (n < 0) return 0;
  // Every accepted byte is a pair of hex digits of the text, in order (a
  // lone last digit is a byte of its own: "7" is 07).
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  if (digits.size() % 2) digits.insert(digits.size() - 1, "0");
  // The one text that gives a byte without a digit: a single space is skipped
  // and the empty token after it counts as 00.
  if (text == " ") digits = "00";
  const std::string echo = FormatManualFrame(out.get(), static_cast<std::size_t>(n));
  std::string echoDigits;
  for (char c : echo)
    if (c != '-') echoDigits += c;
  FUZZ_CHECK(echoDigits == digits);
  // The echo, spaced instead of dashed, parses back to the same bytes.
  std::string again = echo;
  for (char& c : again)
    if (c == '-') c = ' ';
  std::uint8_t back[kFrameSize];
  FUZZ_CHECK(ParseManualInstruction(again, back) == n);
  FUZZ_CHECK(std::memcmp(back, out.get(), static_cast<std::size_t>(n)) == 0);
  return 0;
}
