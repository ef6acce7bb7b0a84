// --decode on any input: it ends, its output holds no control byte but the
// line ends (a capture can never drive the terminal), and the output stays
// within a bound of the input's size.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "protocol/decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  std::string why;
  const bool any = DecodeCapture(in, out, why);
  const std::string text = out.str();
  FUZZ_CHECK(any || !why.empty());
  for (char c : text) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t');
  FUZZ_CHECK(text.find('\x7f') == std::string::npos);
  for (char c : why) FUZZ_CHECK((static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) || c == '\n' || c == '\t');
  // A dump's "*" stands for rows like the one before: a few KB each at most.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t stars = static_cast<std::size_t>(std::count(input.begin(), input.end(), '*'));
  FUZZ_CHECK(text.size() <= 200 * size + 4096 + 16384 * stars);
  return 0;
}
