#include "app/sources/visca_ip_server.h"

#include <algorithm>

#include "app/listen_address.h"
#include "app/script_commands.h"
#include "app/steering.h"
#include "protocol/frame.h"
#include "protocol/visca_ip.h"
#include "serial/backend.h"

namespace {
std::uint64_t Now() { return SteadyMs(); }
}  // namespace

struct ViscaIpServer::Controller {
  Source source;
  serial_backend::Sender sender;
  std::uint64_t heardAt = 0;
  bool sequenced = false;  // a sequence number was taken since the start or the last RESET
  std::uint32_t last = 0;
  std::vector<std::vector<std::uint8_t>> answered;  // what was sent for the last one, for a repeat
  bool driving = false;
  const std::string& Name() const { return source.name; }
};

ViscaIpServer::ViscaIpServer(std::string url, unsigned holdMs, std::string peer)
    : m_urlAsked(std::move(url)), m_holdMs(holdMs), m_peer(std::move(peer)) {}

ViscaIpServer::~ViscaIpServer() {
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
}

bool ViscaIpServer::Bind(std::string& why) {
  ListenAddress at;
  std::string problem = ParseViscaIpUrl(m_urlAsked, at);
  if (problem.empty()) {
    const serial_backend::ListenResult r = serial_backend::BindDatagram(at.host, at.port);
    m_socket = r.handle;
    if (r.handle != comm::INVALID_HANDLE_VALUE) m_url = ListenUrl("udp", at.host, r.port);
    problem = r.reason;
  }
  if (m_socket == comm::INVALID_HANDLE_VALUE) why = "--visca-ip " + m_urlAsked + ": " + problem;
  return m_socket != comm::INVALID_HANDLE_VALUE;
}

std::string ViscaIpServer::Listening() const {
  return "VISCA over IP heard on " + m_url + (m_peer.empty() ? "" : " from " + m_peer + " only");
}

void ViscaIpServer::Heard(const PanelEvent& e) {
  if (e.kind == PanelEvent::Kind::kReceived) Read(e.bytes, e.n);
}

ViscaIpServer::Controller& ViscaIpServer::Heard(const std::string& address, const std::string& host,
                                                const std::string& text) {
  for (auto& c : m_controllers)
    if (c->sender.address == address) return *c;
  if (m_controllers.size() >= kMaxControllers) {
    // The one heard longest ago makes room, unless it drives: then the oldest silent one.
    auto oldest = std::min_element(m_controllers.begin(), m_controllers.end(), [](const auto& a, const auto& b) {
      return std::make_pair(a->driving, a->heardAt) < std::make_pair(b->driving, b->heardAt);
    });
    if ((*oldest)->driving) Steer(**oldest, 0, 0);
    m_controllers.erase(oldest);
  }
  auto c = std::make_unique<Controller>();
  c->source = m_actions->Appear(Source::Kind::kVisca, text);
  c->sender.address = address;
  c->sender.host = host;
  c->sender.text = text;
  if (m_say) m_say("VISCA over IP: controller " + c->Name() + " heard");
  m_controllers.push_back(std::move(c));
  return *m_controllers.back();
}

void ViscaIpServer::Service() {
  if (m_socket == comm::INVALID_HANDLE_VALUE || !m_actions) return;
  std::uint8_t buffer[64];
  for (std::size_t k = 0; k < kMaxPerLook; ++k) {
    serial_backend::Sender from;
    const long n = serial_backend::ReceiveDatagram(m_socket, buffer, sizeof buffer, from);
    if (n < 0) break;
    if (!m_peer.empty() && from.host != m_peer) continue;  // not the one controller allowed
    if (static_cast<std::size_t>(n) > sizeof buffer) continue;  // far longer than any packet: dropped
    // Only a packet makes a controller heard: junk from new ports is said,
    // logged and remembered nowhere, and pushes no controller out.
    const std::optional<visca_ip::Packet> packet = visca_ip::Read(buffer, static_cast<std::size_t>(n), nullptr);
    if (!packet) continue;  // no packet: nothing to answer with a sequence number
    Controller& c = Heard(from.address, from.host, from.text);
    c.heardAt = Now();
    Take(c, *packet);
    if (!m_actions) return;  // the panel ended meanwhile
  }
  const std::uint64_t now = Now();
  std::uint64_t due = 0;
  const auto earliest = [&due](std::uint64_t at) { due = due ? std::min(due, at) : at; };
  for (auto& c : m_controllers) {
    if (c->driving && m_holdMs > 0 && now >= c->heardAt + m_holdMs) {
      if (m_say) m_say(c->Name() + " fell silent while driving: the gimbal stops");
      Steer(*c, 0, 0);
    }
    if (c->driving && m_holdMs > 0) earliest(c->heardAt + m_holdMs);
  }
  // A command the camera block never answered is given up.
  while (!m_pending.empty() && now >= m_pending.front().since + kAnswerWaitMs) m_pending.pop_front();
  if (!m_pending.empty()) earliest(m_pending.front().since + kAnswerWaitMs);
  if (due) m_deadline.At(due);
}

void ViscaIpServer::Take(Controller& c, const visca_ip::Packet& packet) {
  const visca_ip::Packet* const p = &packet;
  const std::uint32_t seq = p->sequence;
  if (p->type == visca_ip::kControl) {
    if (p->payload == visca_ip::kResetAck) {  // RESET: the sequence starts again
      c.sequenced = false;
      c.answered.clear();
      return Reply(c, visca_ip::kControlReply, seq, visca_ip::kResetAck);
    }
    return Reply(c, visca_ip::kControlReply, seq, visca_ip::kMessageError);
  }
  if (p->type != visca_ip::kCommand && p->type != visca_ip::kInquiry)
    return Reply(c, visca_ip::kControlReply, seq, visca_ip::kMessageError);
  if (c.sequenced && seq == c.last) {
    // Its answer was lost: the same answer again, the command not run twice.
    for (const auto& datagram : c.answered)
      serial_backend::SendDatagram(m_socket, datagram.data(), static_cast<unsigned>(datagram.size()), c.sender);
    return;
  }
  if (c.sequenced && seq - c.last >= 0x80000000u)  // behind the last one taken, not a wrap
    return Reply(c, visca_ip::kControlReply, seq, visca_ip::kSequenceError);
  c.sequenced = true;
  c.last = seq;
  c.answered.clear();
  Command(c, p->type, seq, p->payload);
}

void ViscaIpServer::Command(Controller& c, std::uint16_t type, std::uint32_t seq,
                            const std::vector<std::uint8_t>& payload) {
  const visca_ip::Asked a = visca_ip::ReadAsk(payload, type == visca_ip::kInquiry);
  switch (a.ask) {
    case visca_ip::Ask::kSyntax: return Reply(c, visca_ip::kReply, seq, visca_ip::kSyntaxError);
    case visca_ip::Ask::kNotExecutable: return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
    case visca_ip::Ask::kDrive: {
      // While a box is open the panel moves for nobody; a stop is always taken.
      if (!a.drive.Stop() && m_actions->ModalBoxOpen())
        return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
      Reply(c, visca_ip::kReply, seq, visca_ip::kAck);
      Steer(c, a.drive.pan * visca_ip::StepsFor(a.drive.panSpeed), a.drive.tilt * visca_ip::StepsFor(a.drive.tiltSpeed));
      return Reply(c, visca_ip::kReply, seq, visca_ip::kCompletion);
    }
    case visca_ip::Ask::kCamera: {
      if (!m_actions->SendCamera(c.source, Frame(payload.data(), payload.size())))
        return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
      m_pending.push_back({c.source.id, seq, Now()});  // the camera block answers through the poll
      return;
    }
  }
}

void ViscaIpServer::Read(const std::uint8_t* bytes, std::size_t n) {
  std::deque<Pending>& pending = m_pending;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = bytes[i];
    if (m_answer.empty() && (b & 0xF0) != 0x90) continue;  // not the camera block's (a card reply)
    m_answer.push_back(b);
    if (b != 0xFF && m_answer.size() < visca_ip::kMaxPayload) continue;
    if (b == 0xFF && m_answer.size() >= 3 && !pending.empty()) {
      const Pending p = pending.front();
      const bool ack = (m_answer[1] & 0xF0) == 0x40;
      if (!ack) pending.pop_front();  // a completion, an error or an inquiry's answer ends it
      for (auto& c : m_controllers)
        if (c->source.id == p.controller) Reply(*c, visca_ip::kReply, p.sequence, m_answer);
    }
    m_answer.clear();
  }
}

void ViscaIpServer::Reply(Controller& c, std::uint16_t type, std::uint32_t seq,
                          const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> datagram = visca_ip::Pack(type, seq, payload);
  serial_backend::SendDatagram(m_socket, datagram.data(), static_cast<unsigned>(datagram.size()), c.sender);
  if (seq == c.last && c.sequenced && c.answered.size() < 4) c.answered.push_back(std::move(datagram));
}

void ViscaIpServer::Steer(Controller& c, int x, int y) {
  Steering* pad = m_actions ? m_actions->Steer() : nullptr;
  if (!pad) return;
  pad->Steer({x, y}, c.source);
  c.driving = x != 0 || y != 0;
}
