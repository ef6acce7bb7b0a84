// The command line: any arguments are either refused with a message or taken,
// and a --port entry taken is one the port map then resolves as given.
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "fuzz_check.h"
#include "serial/port_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments separated by NUL bytes, as the system hands them over.
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back() += static_cast<char>(data[i]);
  }
  const std::vector<std::string> ours = WithoutQtOptions(args);
  FUZZ_CHECK(ours.size() <= args.size());
  Options o;
  std::string error;
  if (!ParseOptions(ours, o, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(o.simReplyDelayMs >= 0 && o.simReplyDelayMs <= 600000);
  PortMap map;
  for (const auto& [com, path] : o.ports) {
    FUZZ_CHECK(com.size() >= 4 && com.compare(0, 3, "COM") == 0);
    FUZZ_CHECK(!path.empty());
    std::string again, againPath;
    FUZZ_CHECK(ParsePortOption(com + "=" + path, again, againPath));
    FUZZ_CHECK(again == com && againPath == path);
    map.Map(com, path);
  }
  // The last entry for a name wins, and reaches its path (or, for a COM
  // name given as the path, that port's device).
  for (const auto& [com, path] : o.ports) {
    const std::string reached = map.Resolve(com);
    std::string last;
    for (const auto& [c2, p2] : o.ports)
      if (c2 == com) last = p2;
    if (!ComNumber(last)) FUZZ_CHECK(reached == last);
  }
  return 0;
}
