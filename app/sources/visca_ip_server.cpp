#include "app/sources/visca_ip_server.h"

#include <algorithm>

#include "app/listen_address.h"
#include "app/script_commands.h"
#include "app/steering.h"
#include "protocol/frame.h"
#include "serial/backend.h"

namespace {
std::uint64_t Now() { return SteadyMs(); }
}  // namespace

struct ViscaIpServer::Controller {
  Source source;
  serial_backend::Sender sender;                      // over UDP: where its answers go
  std::intptr_t socket = comm::INVALID_HANDLE_VALUE;  // over TCP: its connection
  visca_ip::Splitter splitter;                        // raw: its messages, cut where they end
  std::uint64_t heardAt = 0;
  bool sequenced = false;  // a sequence number was taken since the start or the last RESET
  std::uint32_t last = 0;
  std::vector<Bytes> answered;  // what was sent for the last one, for a repeat
  bool driving = false;
  const std::string& Name() const { return source.name; }
};

ViscaIpServer::ViscaIpServer(std::string url, unsigned holdMs, std::string peer, Framing framing)
    : m_urlAsked(std::move(url)), m_holdMs(holdMs), m_peer(std::move(peer)), m_framing(framing) {}

ViscaIpServer::~ViscaIpServer() {
  for (const auto& c : m_controllers)
    if (c->socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(c->socket);
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
}

bool ViscaIpServer::Bind(std::string& why) {
  ListenAddress at;
  std::string problem = m_framing == Framing::kOverIp ? ParseViscaIpUrl(m_urlAsked, at)
                                                       : ParseRawViscaUrl(m_urlAsked, at, m_scheme);
  if (m_framing == Framing::kOverIp) m_scheme = "udp";
  if (problem.empty()) {
    const serial_backend::ListenResult r =
        Tcp() ? serial_backend::Listen(at.host, at.port) : serial_backend::BindDatagram(at.host, at.port);
    m_socket = r.handle;
    if (r.handle != comm::INVALID_HANDLE_VALUE) m_url = ListenUrl(m_scheme, at.host, r.port);
    problem = r.reason;
  }
  const std::string option = m_framing == Framing::kOverIp ? "--visca-ip " : "--visca ";
  if (m_socket == comm::INVALID_HANDLE_VALUE) why = option + m_urlAsked + ": " + problem;
  return m_socket != comm::INVALID_HANDLE_VALUE;
}

std::string ViscaIpServer::Listening() const {
  return Protocol() + " heard on " + m_url + (m_peer.empty() ? "" : " from " + m_peer + " only");
}

void ViscaIpServer::Detach() {
  for (const auto& c : m_controllers)
    if (m_scheduler && c->socket != comm::INVALID_HANDLE_VALUE) m_scheduler->ForgetSocket(c->socket);
  Server::Detach();
}

void ViscaIpServer::Heard(const PanelEvent& e) {
  if (e.kind == PanelEvent::Kind::kSent) Sent(e.bytes, e.n);
  if (e.kind == PanelEvent::Kind::kReceived) Answered(e.bytes, e.n);
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
  if (m_say) m_say(Protocol() + ": controller " + c->Name() + " heard");
  m_controllers.push_back(std::move(c));
  return *m_controllers.back();
}

void ViscaIpServer::Service() {
  if (m_socket == comm::INVALID_HANDLE_VALUE || !m_actions) return;
  if (Tcp()) {
    AcceptConnections();
    for (std::size_t i = 0; i < m_controllers.size() && m_actions; ++i) ReadConnection(*m_controllers[i]);
    for (std::size_t i = m_controllers.size(); i-- > 0;)
      if (m_controllers[i]->socket == comm::INVALID_HANDLE_VALUE) Forget(i, "disconnected");
  } else {
    ReadDatagrams();
  }
  if (!m_actions) return;  // the panel ended meanwhile
  const std::uint64_t now = Now();
  std::uint64_t due = 0;
  const auto earliest = [&due](std::uint64_t at) { due = due ? std::min(due, at) : at; };
  for (auto& c : m_controllers) {
    if (c->driving && now >= c->heardAt + m_holdMs) {
      if (m_say) m_say(c->Name() + " fell silent while driving: the gimbal stops");
      Steer(*c, 0, 0);
    }
    if (c->driving) earliest(c->heardAt + m_holdMs);
  }
  GiveUp(now);
  for (const Pending& p : m_pending) earliest(p.until);
  if (due) m_deadline.At(due);
}

void ViscaIpServer::ReadDatagrams() {
  std::uint8_t buffer[64];
  for (std::size_t k = 0; k < kMaxPerLook && m_actions; ++k) {
    serial_backend::Sender from;
    const long n = serial_backend::ReceiveDatagram(m_socket, buffer, sizeof buffer, from);
    if (n < 0) break;
    if (!m_peer.empty() && from.host != m_peer) continue;  // not the one controller allowed
    if (static_cast<std::size_t>(n) > sizeof buffer) continue;  // far longer than any packet: dropped
    const auto size = static_cast<std::size_t>(n);
    if (m_framing == Framing::kOverIp) {
      // Only a packet makes a controller heard: junk from new ports is said,
      // logged and remembered nowhere, and pushes no controller out.
      const std::optional<visca_ip::Packet> packet = visca_ip::Read(buffer, size, nullptr);
      if (!packet) continue;  // no packet: nothing to answer with a sequence number
      Controller& c = Heard(from.address, from.host, from.text);
      c.heardAt = Now();
      Take(c, *packet);
      continue;
    }
    // Raw: a datagram holds whole messages; only one that is a message makes a controller.
    std::vector<Bytes> messages = visca_ip::Splitter().Feed(buffer, size);
    messages.erase(std::remove_if(messages.begin(), messages.end(), [](const Bytes& m) { return !visca_ip::IsMessage(m); }),
                   messages.end());
    if (messages.empty()) continue;
    Controller& c = Heard(from.address, from.host, from.text);
    c.heardAt = Now();
    for (const Bytes& m : messages)
      if (m_actions) Message(c, 0, m);
  }
}

void ViscaIpServer::AcceptConnections() {
  for (;;) {
    std::string peer;
    const std::intptr_t s = serial_backend::AcceptOne(m_socket, peer);
    if (s == comm::INVALID_HANDLE_VALUE) return;
    const std::string host = peer.substr(0, peer.rfind(':'));
    if ((!m_peer.empty() && host != m_peer) || m_controllers.size() >= kMaxControllers) {
      serial_backend::CloseSocket(s);
      if (m_say)
        m_say("VISCA: a controller from " + peer + " turned away: " +
              (m_peer.empty() ? std::to_string(kMaxControllers) + " are connected" : "only " + m_peer + " is heard"));
      continue;
    }
    auto c = std::make_unique<Controller>();
    c->source = m_actions->Appear(Source::Kind::kVisca, peer);
    c->socket = s;
    c->sender.address = c->sender.text = peer;
    c->sender.host = host;
    c->heardAt = Now();
    if (m_say) m_say("VISCA: controller " + c->Name() + " connected");
    m_scheduler->WatchSocket(s, false, [this] { Service(); });
    m_controllers.push_back(std::move(c));
  }
}

void ViscaIpServer::ReadConnection(Controller& c) {
  if (c.socket == comm::INVALID_HANDLE_VALUE) return;
  std::uint8_t chunk[256];
  for (std::size_t k = 0; k < kMaxPerLook && m_actions; ++k) {
    bool closed = false;
    const long got = serial_backend::ReceiveSome(c.socket, chunk, sizeof chunk, closed);
    if (got > 0) {
      for (const Bytes& m : c.splitter.Feed(chunk, static_cast<std::size_t>(got))) {
        c.heardAt = Now();
        if (!visca_ip::IsMessage(m)) continue;  // no address byte: no message a camera knows
        if (!m_actions || c.socket == comm::INVALID_HANDLE_VALUE) return;  // the panel ended, or it was let go
        Message(c, 0, m);
      }
    }
    if (c.socket == comm::INVALID_HANDLE_VALUE) return;
    if (closed) {
      if (m_scheduler) m_scheduler->ForgetSocket(c.socket);
      serial_backend::CloseSocket(c.socket);
      c.socket = comm::INVALID_HANDLE_VALUE;  // forgotten once this look is over
      return;
    }
    if (got <= 0) return;
  }
  m_deadline.At(Now());  // more waits: read on at the next look, after the window's own work
}

void ViscaIpServer::Forget(std::size_t index, const std::string& why) {
  Controller& c = *m_controllers[index];
  const bool driving = c.driving;
  if (driving) Steer(c, 0, 0);  // at once: nobody holds that drive any more
  if (m_say) m_say("VISCA: controller " + c.Name() + " " + why + (driving ? " while driving: the gimbal stops" : ""));
  for (Pending& p : m_pending)
    p.waiters.erase(std::remove_if(p.waiters.begin(), p.waiters.end(),
                                   [&](const Waiter& w) { return w.controller == c.source.id; }),
                    p.waiters.end());
  m_controllers.erase(m_controllers.begin() + static_cast<std::ptrdiff_t>(index));
}

void ViscaIpServer::Take(Controller& c, const visca_ip::Packet& packet) {
  const std::uint32_t seq = packet.sequence;
  if (packet.type == visca_ip::kControl) {
    if (packet.payload == visca_ip::kResetAck) {  // RESET: the sequence starts again
      c.sequenced = false;
      c.answered.clear();
      return Reply(c, visca_ip::kControlReply, seq, visca_ip::kResetAck);
    }
    return Reply(c, visca_ip::kControlReply, seq, visca_ip::kMessageError);
  }
  if (packet.type != visca_ip::kCommand && packet.type != visca_ip::kInquiry)
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
  Message(c, seq, packet.payload);
}

void ViscaIpServer::Message(Controller& c, std::uint32_t seq, const Bytes& m) {
  const visca_ip::Asked a = visca_ip::ReadAsk(m);
  switch (a.ask) {
    case visca_ip::Ask::kSyntax: return Reply(c, visca_ip::kReply, seq, visca_ip::kSyntaxError);
    case visca_ip::Ask::kNotExecutable: return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
    case visca_ip::Ask::kClear:
    case visca_ip::Ask::kBroadcastClear:
      // The interface cleared: nothing waits for it any more, and what it drove stops.
      for (Pending& p : m_pending)
        p.waiters.erase(std::remove_if(p.waiters.begin(), p.waiters.end(),
                                       [&](const Waiter& w) { return w.controller == c.source.id; }),
                        p.waiters.end());
      if (c.driving) Steer(c, 0, 0);
      return Reply(c, visca_ip::kReply, seq, visca_ip::InterfaceAnswer(a, m));
    case visca_ip::Ask::kCancel:
    case visca_ip::Ask::kAddressSet: return Reply(c, visca_ip::kReply, seq, visca_ip::InterfaceAnswer(a, m));
    case visca_ip::Ask::kDrive: {
      // While a box is open the panel moves for nobody; a stop is always taken.
      if (!a.drive.Stop() && m_actions->ModalBoxOpen())
        return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
      Reply(c, visca_ip::kReply, seq, visca_ip::kAck);
      Steer(c, a.drive.pan * visca_ip::StepsFor(a.drive.panSpeed), a.drive.tilt * visca_ip::StepsFor(a.drive.tiltSpeed));
      return Reply(c, visca_ip::kReply, seq, visca_ip::kCompletion);
    }
    case visca_ip::Ask::kCamera: {
      const std::uint64_t now = Now();
      GiveUp(now);
      if (m[1] == 0x09) {
        // The same inquiry already at the camera block (a controller that
        // resends what is not answered within its own short wait): it waits
        // for that answer, and the line is not asked again.
        for (Pending& p : m_pending)
          if (p.message == m) return p.waiters.push_back({c.source.id, seq});
        // Resent as its answer was on the way: that answer, for the new number.
        for (const Given& a : m_answered)
          if (a.message == m && now < a.at + kResendMs &&
              std::find(a.controllers.begin(), a.controllers.end(), c.source.id) != a.controllers.end())
            return Reply(c, visca_ip::kReply, seq, a.answer);
      }
      const std::size_t before = m_pending.size();
      if (!m_actions->SendCamera(c.source, Frame(m.data(), m.size())))
        return Reply(c, visca_ip::kReply, seq, visca_ip::kNotExecutable);
      // Sent: the line's traffic queued it (Sent); the camera block answers through the poll.
      if (m_pending.size() == before || m_pending.back().message != m) Await(m, now);
      m_pending.back().waiters.push_back({c.source.id, seq});
      return;
    }
  }
}

void ViscaIpServer::Sent(const std::uint8_t* bytes, std::size_t n) {
  // Every camera message on the line is answered in turn, whoever sent it
  // (the window's zoom, a script): each is awaited, so that no answer of one
  // is taken for another's.
  if (n == 0 || (bytes[0] & 0xF0) != 0x80) return;  // a frame of the gimbal's own protocol
  for (Bytes& m : visca_ip::Splitter().Feed(bytes, n))
    if (visca_ip::IsMessage(m)) Await(std::move(m), Now());
}

void ViscaIpServer::Await(Bytes message, std::uint64_t now) {
  if (m_pending.size() >= kMaxPending) m_pending.pop_front();
  m_pending.push_back({std::move(message), {}, now, now + kAnswerWaitMs});
  m_deadline.At(now + kAnswerWaitMs);
}

void ViscaIpServer::GiveUp(std::uint64_t now) {
  // What the camera block never answered (or never completed) is given up; nothing is said in its place.
  m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), [now](const Pending& p) { return now >= p.until; }),
                  m_pending.end());
  while (!m_answered.empty() && now >= m_answered.front().at + kResendMs) m_answered.pop_front();
}

void ViscaIpServer::Answered(const std::uint8_t* bytes, std::size_t n) {
  const std::uint64_t now = Now();
  GiveUp(now);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = bytes[i];
    if (m_answer.empty() && (b & 0xF0) != 0x90) continue;  // not the camera block's (a card reply)
    m_answer.push_back(b);
    if (b != 0xFF && m_answer.size() < visca_ip::kMaxPayload) continue;
    if (b == 0xFF && m_answer.size() >= 3) Match(m_answer, now);
    m_answer.clear();
  }
}

void ViscaIpServer::Match(const Bytes& answer, std::uint64_t now) {
  // Whose answer it is, as a camera's sockets tell: an acknowledge puts the
  // first command not yet acknowledged in socket y; a completion or an error
  // of socket y is that command's; an inquiry's answer (socket 0), or an
  // error before any acknowledge, is the first message not acknowledged.
  const int kind = answer[1] & 0xF0, socket = answer[1] & 0x0F;
  const auto unacknowledged = [&](bool commandOnly) {
    return std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending& p) {
      return p.socket < 0 && (!commandOnly || p.message[1] == 0x01);
    });
  };
  auto it = m_pending.end();
  if (kind == 0x40) {
    it = unacknowledged(true);
  } else if (socket != 0) {
    it = std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending& p) { return p.socket == socket; });
  }
  if (it == m_pending.end() && kind != 0x40) it = unacknowledged(false);
  if (it == m_pending.end()) return;  // nobody waits for it
  const Pending p = *it;
  if (kind == 0x40) {
    it->socket = socket;
    it->until = now + kCompletionWaitMs;
  } else {
    m_pending.erase(it);  // a completion, an error or an inquiry's answer ends it
    if (p.message[1] == 0x09 && !p.waiters.empty()) {
      if (m_answered.size() >= kMaxControllers) m_answered.pop_front();
      Given a{p.message, answer, {}, now};
      for (const Waiter& w : p.waiters) a.controllers.push_back(w.controller);
      m_answered.push_back(std::move(a));
    }
  }
  for (const Waiter& w : p.waiters)
    for (auto& c : m_controllers)
      if (c->source.id == w.controller) Reply(*c, visca_ip::kReply, w.sequence, answer);
}

void ViscaIpServer::Reply(Controller& c, std::uint16_t type, std::uint32_t seq, const Bytes& payload) {
  Bytes out = m_framing == Framing::kOverIp ? visca_ip::Pack(type, seq, payload) : payload;
  if (Tcp()) {
    if (c.socket == comm::INVALID_HANDLE_VALUE) return;  // let go already: forgotten at the next look
    const serial_backend::WriteResult r =
        serial_backend::SendAll(c.socket, out.data(), static_cast<unsigned>(out.size()), 0, false);
    if (r.gone || r.written < static_cast<long>(out.size())) {
      // Gone, or it reads none of its answers: it is let go, and what it drove stops.
      if (m_scheduler) m_scheduler->ForgetSocket(c.socket);
      serial_backend::CloseSocket(c.socket);
      c.socket = comm::INVALID_HANDLE_VALUE;
      m_deadline.At(Now());
    }
    return;
  }
  serial_backend::SendDatagram(m_socket, out.data(), static_cast<unsigned>(out.size()), c.sender);
  if (m_framing == Framing::kOverIp && seq == c.last && c.sequenced && c.answered.size() < 4)
    c.answered.push_back(std::move(out));
}

void ViscaIpServer::Steer(Controller& c, int x, int y) {
  Steering* pad = m_actions ? m_actions->Steer() : nullptr;
  if (!pad) return;
  pad->Steer({x, y}, c.source);
  c.driving = x != 0 || y != 0;
}
