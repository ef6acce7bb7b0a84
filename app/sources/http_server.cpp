#include "app/sources/http_server.h"

#include <algorithm>
#include <random>
#include <sstream>

#include "app/listen_address.h"
#include "app/script_commands.h"
#include "app/sources/control_server.h"
#include "app/sources/http_page.h"
#include "app/steering.h"
#include "serial/backend.h"

namespace {
std::uint64_t Now() { return SteadyMs(); }

// A page names itself with a short word of letters and digits.
bool PageName(const std::string& s) {
  return !s.empty() && s.size() <= 32 &&
         std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

std::string Cookie(const HttpRequest& r, const std::string& name) {
  const std::string* all = r.Header("cookie");
  if (!all) return "";
  std::istringstream in(*all);
  for (std::string part; std::getline(in, part, ';');) {
    part.erase(0, part.find_first_not_of(' '));
    if (part.compare(0, name.size() + 1, name + "=") == 0) return part.substr(name.size() + 1);
  }
  return "";
}

// The page a request comes from, by its header (a fetch) or its query (an event stream, a beacon).
std::string PageId(const HttpRequest& r) {
  const std::string* header = r.Header("x-varnel-page");
  const std::string id = header ? *header : r.Query("page");
  return PageName(id) ? id : "";
}

std::string NewSession() {
  std::random_device random;
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 32; ++i) id += kHex[random() & 15];
  return id;
}

// An address's digits, as a Host header writes it: 127.0.0.1, [::1].
bool AddressLiteral(const std::string& name) {
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    return name.find_first_not_of("0123456789abcdefABCDEF:.", 1) == name.size() - 1;
  int dots = 0;
  for (const char c : name) {
    if (c == '.') ++dots;
    else if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return dots == 3;
}
}  // namespace

struct HttpServer::Connection {
  std::intptr_t socket = -1;
  std::string peer;
  std::string in, out;
  bool wantsRoom = false;
  bool stream = false;       // an event stream: events go out until it closes
  std::string page;          // the page whose stream it is
  std::size_t lost = 0;      // events dropped while it did not read
  bool closing = false;      // its answer is out: closed once sent
  bool gone = false;
  std::uint64_t since = 0;   // when it connected: a request not whole in time is not waited for
};

HttpServer::HttpServer(std::string url, unsigned holdMs, std::string tokenFile, std::vector<std::string> allowed)
    : m_urlAsked(std::move(url)), m_holdMs(holdMs), m_tokenFile(std::move(tokenFile)), m_allowed(std::move(allowed)) {}

HttpServer::~HttpServer() {
  for (auto& [id, page] : m_pages) LetGo(page);
  for (auto& c : m_connections) serial_backend::CloseSocket(c->socket);
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
}

bool HttpServer::Bind(std::string& why) {
  ListenAddress at;
  if (std::string problem = ParseListenUrl(m_urlAsked, "http", "web", 8080, at); !problem.empty()) {
    why = "--http " + problem;
    return false;
  }
  if (!m_tokenFile.empty() && !ReadToken(m_tokenFile, m_token, why)) {
    why = "--control-token " + m_tokenFile + ": " + why;
    return false;
  }
  if (!IsLoopback(at.host) && m_token.empty()) {
    why = "--http " + m_urlAsked + " is reachable from other machines: give --control-token FILE as well";
    return false;
  }
  const serial_backend::ListenResult r = serial_backend::Listen(at.host, at.port);
  if (r.handle == comm::INVALID_HANDLE_VALUE) {
    why = "cannot listen for web pages on " + at.host + ":" + std::to_string(at.port) + ": " + r.reason;
    return false;
  }
  m_socket = r.handle;
  m_host = at.host;
  m_port = r.port;
  m_url = ListenUrl("http", at.host, r.port);
  return true;
}

std::string HttpServer::Listening() const {
  return "web server listening on " + m_url + (m_token.empty() ? "" : " (token first)");
}

void HttpServer::Detach() {
  if (m_scheduler)
    for (auto& c : m_connections) m_scheduler->ForgetSocket(c->socket);
  Server::Detach();
}

bool HttpServer::HostAllowed(const std::string& host, const std::string& boundHost, std::uint16_t port,
                             const std::vector<std::string>& allowed) {
  // NAME:PORT, the port the one listened on (a browser leaves out only 80).
  const auto colon = host.rfind(':');
  const bool hasPort = colon != std::string::npos && host.find(']', colon) == std::string::npos;
  const std::string name = hasPort ? host.substr(0, colon) : host;
  const std::string portText = hasPort ? host.substr(colon + 1) : "80";
  if (portText != std::to_string(port)) return false;
  std::string lower = name;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (std::find(allowed.begin(), allowed.end(), lower) != allowed.end()) return true;
  const std::string bound = boundHost.find(':') != std::string::npos ? "[" + boundHost + "]" : boundHost;
  if (IsLoopback(boundHost)) return lower == bound || lower == "localhost" || lower == "127.0.0.1" || lower == "[::1]";
  if (boundHost == "0.0.0.0" || boundHost == "::") return AddressLiteral(lower);
  return lower == bound;
}

std::string HttpServer::Refusal(const HttpRequest& r) const {
  const std::string* host = r.Header("host");
  if (!host || !HostAllowed(*host, m_host, m_port, m_allowed))
    return "421 Misdirected Request";  // DNS rebinding: a name that is not this server's
  // A request a page of another origin sent (a form, a fetch) changes nothing here.
  const std::string* site = r.Header("sec-fetch-site");
  if (site && *site != "same-origin" && *site != "none") return "403 Forbidden";
  const std::string* origin = r.Header("origin");
  if (origin && *origin != "http://" + *host) return "403 Forbidden";
  return "";
}

bool HttpServer::Authorised(const HttpRequest& r) const {
  if (m_token.empty()) return true;
  const std::string session = Cookie(r, "varnel");
  for (const std::string& s : m_sessions)
    if (!session.empty() && SameToken(s, session)) return true;
  const std::string* auth = r.Header("authorization");
  return auth && auth->compare(0, 7, "Bearer ") == 0 && SameToken(auth->substr(7), m_token);
}

void HttpServer::Heard(const PanelEvent& e) {
  if (e.kind == PanelEvent::Kind::kBox && m_answer) *m_answer += "message " + e.text + "\n";
  const std::string text = WatchedText(e);
  for (auto& p : m_connections) {
    Connection& c = *p;
    if (!c.stream || c.gone) continue;
    // The panel never waits for a page: what it has not read is bounded.
    if (c.out.size() > kEventBound) {
      ++c.lost;
      continue;
    }
    if (c.lost) c.out += "data: lost " + std::to_string(std::exchange(c.lost, 0)) + "\n\n";
    c.out += "data: " + ValidUtf8(ControlsShown(text)) + "\n\n";
    Flush(c);
  }
}

void HttpServer::Watch(Connection& c) {
  if (m_scheduler && !c.gone) m_scheduler->WatchSocket(c.socket, c.wantsRoom, [this] { Service(); });
}

void HttpServer::Service() {
  if (!m_actions) return;
  ++m_depth;
  Accept();
  for (std::size_t i = 0; i < m_connections.size(); ++i) {
    Connection& c = *m_connections[i];
    if (c.gone) continue;
    Read(c);
    if (!c.stream && !c.closing && Now() >= c.since + kRequestMs) {
      Respond(c, "408 Request Timeout", "text/plain; charset=utf-8", "error the request did not come whole in time\n");
    }
    Flush(c);
  }
  for (auto& [id, page] : m_pages)
    if (page.holding && Now() >= page.heardAt + m_holdMs) LetGo(page);  // the page went silent
  if (m_depth == 1) {
    for (auto it = m_connections.begin(); it != m_connections.end();) {
      if (!(*it)->gone) {
        ++it;
        continue;
      }
      Connection& c = **it;
      if (c.stream) {
        // A page's stream closed (the tab, the browser, the network): what it held stops.
        const auto page = m_pages.find(c.page);
        if (page != m_pages.end() && --page->second.streams <= 0) LetGo(page->second);
      }
      if (m_scheduler) m_scheduler->ForgetSocket(c.socket);
      serial_backend::CloseSocket(c.socket);
      it = m_connections.erase(it);
    }
  }
  std::uint64_t due = 0;
  const auto earliest = [&due](std::uint64_t at) { due = due ? std::min(due, at) : at; };
  for (const auto& c : m_connections) {
    if (!c->stream && !c->closing) earliest(c->since + kRequestMs);
    if (c->gone) earliest(Now());
  }
  for (const auto& [id, page] : m_pages)
    if (page.holding) earliest(page.heardAt + m_holdMs);
  if (due) m_deadline.At(due);
  --m_depth;
}

void HttpServer::Accept() {
  for (;;) {
    std::string peer;
    const std::intptr_t s = serial_backend::AcceptOne(m_socket, peer);
    if (s == comm::INVALID_HANDLE_VALUE) return;
    auto c = std::make_unique<Connection>();
    c->socket = s;
    c->peer = peer;
    c->since = Now();
    const std::size_t present = static_cast<std::size_t>(
        std::count_if(m_connections.begin(), m_connections.end(), [](const auto& p) { return !p->gone; }));
    if (present >= kMaxConnections) {
      Respond(*c, "503 Service Unavailable", "text/plain; charset=utf-8",
              "error busy: " + std::to_string(kMaxConnections) + " connections are open\n");
      serial_backend::SendAll(s, c->out.data(), static_cast<unsigned>(c->out.size()), 0, false);
      serial_backend::CloseSocket(s);
      continue;
    }
    Watch(*c);
    m_connections.push_back(std::move(c));
  }
}

void HttpServer::Read(Connection& c) {
  char chunk[4096];
  bool closed = false;
  for (;;) {
    const long got = serial_backend::ReceiveSome(c.socket, chunk, sizeof chunk, closed);
    // Only the head of one request is kept; what a stream or a closing connection sends is dropped.
    if (got > 0 && !c.closing && !c.stream) c.in.append(chunk, static_cast<std::size_t>(got));
    if (got <= 0 || closed || c.in.size() > 16384) break;
  }
  if (closed && (c.stream || c.closing)) c.gone = true;
  if (c.closing || c.stream || c.gone) return;
  HttpRequest r;
  const HttpFault fault = TakeHttpRequest(c.in, r);
  if (fault == HttpFault::kIncomplete) {
    if (closed) c.gone = true;  // it ended before its request was whole
    return;
  }
  if (fault != HttpFault::kNone)
    return Respond(c, HttpStatus(fault), "text/plain; charset=utf-8", std::string("error ") + HttpStatus(fault) + "\n");
  Serve(c, r);
}

void HttpServer::Serve(Connection& c, const HttpRequest& r) {
  if (const std::string why = Refusal(r); !why.empty()) {
    m_say("web request from " + c.peer + " refused: " + why + " (Host " + (r.Header("host") ? *r.Header("host") : "none") +
          ")");
    return Respond(c, why.c_str(), "text/plain; charset=utf-8", "error " + why + "\n");
  }
  const std::string path = r.Path();
  const bool get = r.method == "GET";
  if (get && path == "/") return Respond(c, "200 OK", "text/html; charset=utf-8", PanelPage());
  if (get && path == "/panel.js") return Respond(c, "200 OK", "text/javascript; charset=utf-8", PanelScript());
  if (get && path == "/panel.css") return Respond(c, "200 OK", "text/css; charset=utf-8", PanelStyle());
  if (r.method == "POST" && path == "/api/login") return Login(c, r);
  if (path.compare(0, 5, "/api/") == 0 && !Authorised(r))
    return Respond(c, "401 Unauthorized", "text/plain; charset=utf-8", "error not authorised\n");
  if (r.method == "POST" && path == "/api/command") return Command(c, r);
  if (get && path == "/api/events") {
    c.stream = true;
    if (Page* p = PageOf(r)) {
      c.page = PageId(r);
      ++p->streams;
    }
    c.out += "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\nCache-Control: no-store\r\n"
             "X-Content-Type-Options: nosniff\r\n\r\n: the panel's events\n\n";
    return Flush(c);
  }
  const bool known = path == "/" || path == "/panel.js" || path == "/panel.css" || path == "/api/command" ||
                     path == "/api/events" || path == "/api/login";
  if (known) return Respond(c, "405 Method Not Allowed", "text/plain; charset=utf-8", "error method not allowed\n");
  Respond(c, "404 Not Found", "text/plain; charset=utf-8", "error no such page\n");
}

HttpServer::Page* HttpServer::PageOf(const HttpRequest& r) {
  // A request that names no page (curl, a flow) is the one source "web": its stick too lasts only while renewed.
  const std::string id = PageId(r);
  auto it = m_pages.find(id);
  if (it == m_pages.end()) {
    if (m_pages.size() >= kMaxPages) {
      // The oldest page that holds nothing and has no stream makes room.
      const auto idle = std::find_if(m_pages.begin(), m_pages.end(),
                                     [](const auto& p) { return !p.second.holding && p.second.streams <= 0; });
      if (idle == m_pages.end()) return nullptr;
      m_pages.erase(idle);
    }
    it = m_pages.emplace(id, Page{m_actions->Appear(Source::Kind::kClient, id.empty() ? "web" : "web page"), false, 0, 0})
             .first;
  }
  return &it->second;
}

void HttpServer::Command(Connection& c, const HttpRequest& r) {
  std::string line = r.body;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  line = ScriptLine(line);
  // An error is said with a status of its own, so that a tool that looks only at the status (curl --fail,
  // Companion's button) sees it.
  const auto text = [&](const std::string& body, bool ok = false) {
    Respond(c, ok ? "200 OK" : "422 Unprocessable Content", "text/plain; charset=utf-8", body);
  };
  if (line.find('\n') != std::string::npos) return text("error one command a request\n");
  std::istringstream words(line);
  std::string word;
  words >> word;
  if (word == "wait") return text("error a request does not wait: send the next one later\n");
  if (word == "quit") return text("error quit ends the panel: close it at the panel\n");
  Page* page = PageOf(r);
  if (!page)
    return Respond(c, "503 Service Unavailable", "text/plain; charset=utf-8", "error too many pages steer at once\n");
  const Source who = page->source;
  std::string answer;
  ScriptCommands commands(*m_actions, [&answer](const std::string& printed) { answer += printed + "\n"; }, who);
  std::string* before = std::exchange(m_answer, &answer);
  const std::string why = commands.Perform(line);
  m_answer = before;
  if (why.empty() && word == "stick") {
    // Held while renewed; at rest it is the pad's own stop.
    Steering* pad = m_actions->Steer();
    page->holding = pad && pad->Moving() && pad->Driver() == page->source;
    page->heardAt = Now();
  }
  text(answer + (why.empty() ? "ok" : "error " + ControlsShown(why)) + "\n", why.empty());
}

void HttpServer::Login(Connection& c, const HttpRequest& r) {
  std::string token = r.body;
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  if (m_token.empty() || !SameToken(token, m_token)) {
    m_say("web sign-in from " + c.peer + " refused: wrong token");
    return Respond(c, "401 Unauthorized", "text/plain; charset=utf-8", "error wrong token\n");
  }
  const std::string session = NewSession();
  m_sessions.push_back(session);
  if (m_sessions.size() > kMaxSessions) m_sessions.pop_front();
  // Only this origin reads it, never a script, and no other site sends it.
  Respond(c, "204 No Content", "text/plain; charset=utf-8", "",
          "Set-Cookie: varnel=" + session + "; Path=/; HttpOnly; SameSite=Strict\r\n");
}

void HttpServer::Respond(Connection& c, const char* status, const char* type, const std::string& body,
                         const std::string& headers) {
  c.out += std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n"
           "Content-Security-Policy: default-src 'self'; frame-ancestors 'none'\r\nConnection: close\r\n" +
           headers + "\r\n" + body;
  c.closing = true;
}

void HttpServer::Flush(Connection& c) {
  if (!c.out.empty() && !c.gone) {
    const serial_backend::WriteResult w =
        serial_backend::SendAll(c.socket, c.out.data(), static_cast<unsigned>(c.out.size()), 0, false);
    if (w.written > 0) c.out.erase(0, static_cast<std::size_t>(w.written));
    if (w.gone) c.gone = true;
  }
  if (c.closing && c.out.empty()) c.gone = true;
  if (c.gone) {
    m_deadline.At(Now());
  } else if (c.wantsRoom != !c.out.empty()) {
    c.wantsRoom = !c.out.empty();
    Watch(c);
  }
}

void HttpServer::LetGo(Page& p) {
  if (!p.holding) return;
  if (m_actions) {
    ScriptCommands commands(*m_actions, [](const std::string&) {}, p.source);
    commands.Perform("stick 0 0");
  }
  p.holding = false;
}
