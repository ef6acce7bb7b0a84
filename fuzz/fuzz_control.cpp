// What a control client sends, in pieces of any size: whole lines come out
// in order, none longer than the bound, none holding a line end; a fault is
// said before more than the bound waits; a tag is the first word after @.
#include <cstdint>
#include <deque>
#include <string>

#include "app/sources/control_server.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 97;  // how the network cuts it
  const std::string sent(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string in;
  std::deque<std::string> lines;
  std::string out;  // the lines taken, joined again
  for (std::size_t at = 0; at < sent.size(); at += piece) {
    in += sent.substr(at, piece);
    const LineFault fault = TakeControlLines(in, lines);
    FUZZ_CHECK(lines.size() <= ControlServer::kMaxPending + 1);
    for (const std::string& l : lines) FUZZ_CHECK(l.size() <= ControlServer::kMaxLine && l.find('\n') == std::string::npos);
    if (fault != LineFault::kNone) return 0;  // the connection ends here
    FUZZ_CHECK(in.size() <= ControlServer::kMaxLine && in.find('\n') == std::string::npos);
    for (const std::string& l : lines) {
      std::string tag;
      const std::string command = SplitTag(l, tag);
      if (!tag.empty()) {
        FUZZ_CHECK(tag[0] == '@' && tag.find_first_of(" \t") == std::string::npos && l.rfind(tag, 0) == 0);
        FUZZ_CHECK(command.empty() || (command[0] != ' ' && command[0] != '\t'));
      } else {
        FUZZ_CHECK(command == l);
      }
      out += l + "\n";
    }
    lines.clear();
  }
  // Nothing but carriage returns at a line's end and comments (a # after a
  // blank, and the blanks before it) is lost.
  std::string expected;
  for (std::size_t start = 0, end; (end = sent.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string l = sent.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    for (std::size_t i = 1; i < l.size(); ++i)
      if (l[i] == '#' && (l[i - 1] == ' ' || l[i - 1] == '\t')) {
        l.resize(i);
        while (!l.empty() && (l.back() == ' ' || l.back() == '\t')) l.pop_back();
        break;
      }
    expected += l + "\n";
  }
  FUZZ_CHECK(out == expected);
  return 0;
}
