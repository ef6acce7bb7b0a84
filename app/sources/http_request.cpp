#include "app/sources/http_request.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}
// A token of RFC 9110: the method, a header's name.
bool Token(const std::string& s) {
  if (s.empty()) return false;
  for (const unsigned char c : s)
    if (!(std::isalnum(c) || std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos))
      return false;
  return true;
}
bool Visible(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7F; });
}
}  // namespace

const std::string* HttpRequest::Header(const std::string& lowerName) const {
  for (const auto& [name, value] : headers)
    if (name == lowerName) return &value;
  return nullptr;
}

std::string HttpRequest::Query(const std::string& name) const {
  const auto q = target.find('?');
  if (q == std::string::npos) return "";
  std::size_t at = q + 1;
  while (at <= target.size()) {
    const auto end = std::min(target.find('&', at), target.size());
    const std::string pair = target.substr(at, end - at);
    const auto eq = pair.find('=');
    if (pair.substr(0, eq) == name) return eq == std::string::npos ? "" : pair.substr(eq + 1);
    at = end + 1;
  }
  return "";
}

HttpFault TakeHttpRequest(std::string& in, HttpRequest& out, const HttpLimits& limits) {
  // The head: the request line, then header lines, up to a blank line.
  const auto headEnd = in.find("\r\n\r\n");
  const auto lineEnd = in.find("\r\n");
  if (lineEnd == std::string::npos) return in.size() > limits.line ? HttpFault::kLineTooLong : HttpFault::kIncomplete;
  if (lineEnd > limits.line) return HttpFault::kLineTooLong;
  if (headEnd == std::string::npos)
    return in.size() - lineEnd > limits.headers + 4 ? HttpFault::kHeadersTooLarge : HttpFault::kIncomplete;
  if (headEnd - lineEnd > limits.headers + 2) return HttpFault::kHeadersTooLarge;

  HttpRequest r;
  const std::string line = in.substr(0, lineEnd);
  const auto s1 = line.find(' '), s2 = line.rfind(' ');
  if (s1 == std::string::npos || s2 == s1) return HttpFault::kBad;
  r.method = line.substr(0, s1);
  r.target = line.substr(s1 + 1, s2 - s1 - 1);
  r.version = line.substr(s2 + 1);
  if (!Token(r.method) || r.target.empty() || r.target[0] != '/' || !Visible(r.target) ||
      (r.version != "HTTP/1.1" && r.version != "HTTP/1.0"))
    return HttpFault::kBad;
  for (std::size_t at = lineEnd + 2; at < headEnd + 2;) {
    const auto end = in.find("\r\n", at);
    const std::string h = in.substr(at, end - at);
    at = end + 2;
    const auto colon = h.find(':');
    if (colon == std::string::npos || !Token(h.substr(0, colon))) return HttpFault::kBad;  // no folded lines either
    if (r.headers.size() == limits.count) return HttpFault::kHeadersTooLarge;
    const std::string value = Trim(h.substr(colon + 1));
    if (std::any_of(value.begin(), value.end(), [](char c) { return c == '\0' || c == '\r' || c == '\n'; }))
      return HttpFault::kBad;
    r.headers.emplace_back(Lower(h.substr(0, colon)), value);
  }
  if (const std::string* te = r.Header("transfer-encoding")) return te->empty() ? HttpFault::kBad : HttpFault::kChunked;
  std::size_t length = 0;
  int lengths = 0;
  for (const auto& [name, value] : r.headers) {
    if (name != "content-length") continue;
    std::size_t n = 0;
    const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (value.empty() || ec != std::errc() || p != value.data() + value.size() || (lengths++ && n != length))
      return ec == std::errc::result_out_of_range ? HttpFault::kBodyTooLarge : HttpFault::kBad;
    length = n;
  }
  if (length > limits.body) return HttpFault::kBodyTooLarge;
  const std::size_t bodyAt = headEnd + 4;
  if (in.size() < bodyAt + length) return HttpFault::kIncomplete;
  r.body = in.substr(bodyAt, length);
  in.erase(0, bodyAt + length);
  out = std::move(r);
  return HttpFault::kNone;
}

const char* HttpStatus(HttpFault fault) {
  switch (fault) {
    case HttpFault::kLineTooLong: return "414 URI Too Long";
    case HttpFault::kHeadersTooLarge: return "431 Request Header Fields Too Large";
    case HttpFault::kBodyTooLarge: return "413 Content Too Large";
    case HttpFault::kChunked: return "501 Not Implemented";
    default: return "400 Bad Request";
  }
}
