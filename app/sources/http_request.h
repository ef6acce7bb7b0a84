// An HTTP/1.1 request as the panel's web server takes it: one whole request
// cut from the front of what a connection sent, every part of it bounded
// (the request line, the headers, the body), so that nothing a peer sends can
// make the panel hold more than a few kilobytes for it. No chunked bodies:
// the page and curl send a Content-Length.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string method, target, version;
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case, values trimmed
  std::string body;
  // A header's value; nullptr when it was not sent.
  const std::string* Header(const std::string& lowerName) const;
  // The target's path, without its query.
  std::string Path() const { return target.substr(0, target.find('?')); }
  // A query parameter's value ("" when absent); no decoding beyond what the page sends.
  std::string Query(const std::string& name) const;
};

struct HttpLimits {
  std::size_t line = 2048;      // the request line
  std::size_t headers = 8192;   // every header line together
  std::size_t count = 48;       // header lines
  std::size_t body = 4096;      // a command is one line of at most 4096 bytes
};

// kIncomplete: more is needed (in is left as it is). Anything else but kNone:
// the request cannot be served; HttpStatus says what to answer, and the
// connection is closed after it.
enum class HttpFault { kNone, kIncomplete, kBad, kLineTooLong, kHeadersTooLarge, kBodyTooLarge, kChunked };
HttpFault TakeHttpRequest(std::string& in, HttpRequest& out, const HttpLimits& limits = {});
// "400 Bad Request", "414 URI Too Long", ... for a fault.
const char* HttpStatus(HttpFault fault);
