// The web server: the panel in a browser (a tablet on set, a laptop in the
// gallery) and an API for web tools (Companion's generic HTTP module, a flow,
// curl), one origin serving both. It lives on the window's thread and never
// waits, as the control server: woken by its sockets and deadlines.
//
//   GET  /                 the page, made from the window's control table
//   POST /api/command      one command in script mode's words (text/plain):
//                          answered with its lines and "ok" or "error ..."
//   GET  /api/events       the events of `watch on`, as Server-Sent Events
//   POST /api/login        the token (text/plain): a cookie only this origin reads
//
// Nobody in who does not belong: loopback unless told otherwise, and any
// other address only with --control-token (every /api/ request then needs the
// cookie, or "Authorization: Bearer TOKEN"); a Host that names neither the
// address listened on (an address's digits, any of them when it listens on
// all, rather than a name a resolver could turn towards it) nor a name the
// operator allowed is refused, and so is a request a page of another origin
// sent; no cross-origin sharing at all. Every part of a request, the
// connections and what a stream holds unread are bounded.
//
// Steering: a page's stick lasts while the page renews it (the hold of the
// control server); silence, `stick 0 0` or the page's event stream closing
// stops it with the pad's one zero move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/sources/http_request.h"
#include "app/sources/server.h"

class HttpServer : public Server {
 public:
  static constexpr std::size_t kMaxConnections = 16;
  static constexpr std::size_t kMaxPages = 32;      // pages that steer, each its own source
  static constexpr std::size_t kMaxSessions = 32;   // signed-in browsers
  static constexpr std::size_t kEventBound = 64 * 1024;
  static constexpr std::uint64_t kRequestMs = 10000;  // a request not whole by then is not waited for

  // url: http://HOST:PORT; tokenFile as --control-token's; allowed: names a Host may give besides addresses.
  HttpServer(std::string url, unsigned holdMs, std::string tokenFile, std::vector<std::string> allowed);
  ~HttpServer() override;
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool Bind(std::string& why) override;
  std::string Listening() const override;
  void Heard(const PanelEvent& event) override;
  void Detach() override;

  // Whether a request's Host may be served by a server bound to boundHost:port (DNS rebinding).
  static bool HostAllowed(const std::string& host, const std::string& boundHost, std::uint16_t port,
                          const std::vector<std::string>& allowed);

 private:
  struct Connection;
  struct Page {
    Source source;
    bool holding = false;
    std::uint64_t heardAt = 0;
    int streams = 0;
  };
  void Service() override;
  void Accept();
  void Read(Connection& c);
  void Serve(Connection& c, const HttpRequest& r);
  std::string Refusal(const HttpRequest& r) const;  // why a request is not served; "" when it is
  bool Authorised(const HttpRequest& r) const;
  void Command(Connection& c, const HttpRequest& r);
  void Login(Connection& c, const HttpRequest& r);
  void Respond(Connection& c, const char* status, const char* type, const std::string& body,
               const std::string& headers = "");
  void Flush(Connection& c);
  void Watch(Connection& c);
  Page* PageOf(const HttpRequest& r);
  void LetGo(Page& p);

  std::string m_urlAsked;
  unsigned m_holdMs;
  std::string m_tokenFile, m_token;
  std::vector<std::string> m_allowed;
  std::string m_host;  // as bound
  std::uint16_t m_port = 0;
  std::string m_url;
  std::vector<std::unique_ptr<Connection>> m_connections;
  std::map<std::string, Page> m_pages;
  std::deque<std::string> m_sessions;
  int m_depth = 0;
  std::string* m_answer = nullptr;  // the command running: a box it opens is part of its answer
};
