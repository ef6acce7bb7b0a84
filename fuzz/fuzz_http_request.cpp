// What a web peer sends, cut anywhere: a request is taken only when it came
// whole, within every bound, and what was taken is gone from the front of
// the input; what is left waiting is never more than the bounds allow.
#include <cstdint>
#include <string>

#include "app/sources/http_request.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const HttpLimits limits;
  // Fed in two parts, as two reads would bring them.
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  std::string fed = all.substr(0, cut);
  std::string in = fed;
  HttpRequest r;
  HttpFault f = TakeHttpRequest(in, r, limits);
  if (f == HttpFault::kIncomplete) {
    FUZZ_CHECK(in == fed);
    fed = all;
    in = all;
    f = TakeHttpRequest(in, r, limits);
  }
  if (f == HttpFault::kIncomplete) FUZZ_CHECK(in.size() <= limits.line + limits.headers + limits.body + 8);
  if (f != HttpFault::kNone) return 0;
  FUZZ_CHECK(fed.size() > in.size() && fed.compare(fed.size() - in.size(), in.size(), in) == 0);
  FUZZ_CHECK(r.body.size() <= limits.body && r.headers.size() <= limits.count);
  FUZZ_CHECK(!r.target.empty() && r.target[0] == '/');
  for (const auto& [name, value] : r.headers)
    for (const char c : name) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
  return 0;
}
