#include <chrono>

#include "protocol/frame.h"

#include "app/options.h"
#include "app/sources/control_server.h"
#include "app/sources/http_server.h"
#include "app/sources/server.h"
#include "app/sources/visca_ip_server.h"

bool MakeServers(const Options& o, std::vector<std::unique_ptr<IServer>>& servers, std::string& why) {
  if (!o.control.empty()) servers.push_back(std::make_unique<ControlServer>(o.control, o.controlHoldMs, o.controlToken));
  if (!o.viscaIp.empty()) servers.push_back(
        std::make_unique<ViscaIpServer>(o.viscaIp, o.viscaIpHoldMs, o.viscaIpPeer, ViscaIpServer::Framing::kOverIp));
  if (!o.visca.empty())
    servers.push_back(
        std::make_unique<ViscaIpServer>(o.visca, o.viscaIpHoldMs, o.viscaIpPeer, ViscaIpServer::Framing::kRaw));
  if (!o.http.empty())
    servers.push_back(std::make_unique<HttpServer>(o.http, o.controlHoldMs, o.controlToken, o.httpAllowHosts));
  for (auto& server : servers)
    if (!server->Bind(why)) return false;
  return true;
}

std::string WatchedText(const PanelEvent& e) {
  switch (e.kind) {
    case PanelEvent::Kind::kSent: return "tx " + HexJoin(e.bytes, e.n) + " " + e.who->name;
    case PanelEvent::Kind::kReceived: return "rx " + HexJoin(e.bytes, e.n);
    case PanelEvent::Kind::kNews: return e.text;
    case PanelEvent::Kind::kBox: return "box " + e.text;
  }
  return e.text;
}

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void Deadline::Attach(IScheduler& scheduler, std::function<void()> due) {
  Stop();
  m_scheduler = &scheduler;
  m_due = std::move(due);
  m_alive = std::make_shared<bool>(true);
}

void Deadline::At(std::uint64_t atMs) {
  if (!m_scheduler || (m_at && m_at <= atMs)) return;
  m_at = atMs;
  const std::uint64_t now = SteadyMs();
  const int ms = atMs > now ? static_cast<int>(atMs - now) : 0;
  m_scheduler->After(ms, [this, alive = m_alive, atMs] {
    if (!*alive || m_at != atMs) return;  // stopped, or an earlier one took its place
    m_at = 0;
    m_due();
  });
}

void Deadline::Stop() {
  if (m_alive) *m_alive = false;
  m_alive.reset();
  m_scheduler = nullptr;
  m_at = 0;
}

void Server::Attach(IScriptActions& actions, IScheduler& scheduler, std::function<void(const std::string&)> say) {
  m_actions = &actions;
  m_scheduler = &scheduler;
  m_say = std::move(say);
  m_deadline.Attach(scheduler, [this] { Service(); });
  scheduler.WatchSocket(m_socket, false, [this] { Service(); });
  Service();  // what came before the window was up
}

void Server::Detach() {
  m_deadline.Stop();
  if (m_scheduler) m_scheduler->ForgetSocket(m_socket);
  m_scheduler = nullptr;
  m_actions = nullptr;
}
