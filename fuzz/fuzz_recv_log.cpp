// A read of any bytes becomes the caption and hex lines: no byte lost, none
// invented, none reordered, as the lines are shown; and the log's store gives
// every line back as it was shown.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "receive/log_store.h"
#include "receive/recv_log.h"

namespace {
int Digit(char c) { return c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t n = size > kRecvBufferSize ? kRecvBufferSize : size;  // a poll reads at most this
  const std::vector<LogLine> read = ReceivedLines(data, n);
  std::vector<std::string> lines;
  for (const LogLine& l : read) {
    lines.push_back(FormatLogLine(l));
    FUZZ_CHECK(FormattedSize(l) == lines.back().size());
  }
  if (n == 0) {
    FUZZ_CHECK(lines.empty());
    return 0;
  }
  FUZZ_CHECK(lines.front() == kRecvCaption);
  std::vector<std::uint8_t> back;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    FUZZ_CHECK(!l.empty());
    FUZZ_CHECK((i == 1) == (l[0] != '-'));  // only the later lines start with "-"
    for (std::size_t k = l[0] == '-' ? 1 : 0; k < l.size(); k += 3) {
      FUZZ_CHECK(k + 1 < l.size() && Digit(l[k]) >= 0 && Digit(l[k + 1]) >= 0);
      FUZZ_CHECK(k + 2 == l.size() || l[k + 2] == '-');
      back.push_back(static_cast<std::uint8_t>(Digit(l[k]) << 4 | Digit(l[k + 1])));
    }
  }
  FUZZ_CHECK(back == std::vector<std::uint8_t>(data, data + n));

  static LogStore store;  // one store across inputs: it grows as a session's log does
  if (store.Size() > 200000) store.Clear();
  const std::size_t first = store.Size();
  for (const LogLine& l : read) store.Append(l);
  // And the input itself as a line of text, whatever it holds.
  const std::string raw(reinterpret_cast<const char*>(data), size);
  store.Append(TextLine(raw));
  for (std::size_t i = 0; i < lines.size(); ++i) FUZZ_CHECK(store.Line(first + i) == lines[i]);
  FUZZ_CHECK(store.Line(first + lines.size()) == raw);
  return 0;
}
