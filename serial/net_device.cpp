#include "serial/net_device.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/line_time.h"
#include "serial/rfc2217.h"

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

namespace {
using Bytes = std::vector<std::uint8_t>;
constexpr double kLineBacklogBytes = 48;  // a frame
constexpr std::size_t kInBound = 64 * 1024;  // what the server sent and the poll has not read, at most
constexpr std::uint64_t kFloodOverMs = 2000;   // a flood is over after this long without a byte dropped

// One connection to the server. What arrives is read into a queue of its
// own at every look, so that the port's "how much is queued" is exact and a
// read never waits; what the port writes goes out whole in one send.
class NetworkDevice : public PortDevice {
 public:
  NetworkDevice(std::intptr_t socket, const NetAddress& address) : m_socket(socket), m_address(address) {
    if (address.kind == NetAddress::Kind::kRfc2217) {
      m_telnet = std::make_unique<telnet::ComPortClient>();
      Send(m_telnet->Hello());
    }
  }
  ~NetworkDevice() override { serial_backend::CloseSocket(m_socket); }

  bool IsNetwork() const override { return true; }
  void SetQueues(std::uint32_t, std::uint32_t) override {}  // the sockets' buffers are the system's

  void Purge(unsigned mask) override {
    const bool rx = mask & (comm::PURGE_RXABORT | comm::PURGE_RXCLEAR);
    const bool tx = mask & (comm::PURGE_TXABORT | comm::PURGE_TXCLEAR);
    if (rx) {
      Pump();  // what has come so far, through the telnet layer, then thrown away
      m_in.clear();
      m_inAt = 0;
    }
    if (m_telnet) Send(m_telnet->Purge(rx, tx, NowMs()));
  }

  bool ApplyState(const comm::DCB& dcb, LineIo&) override {
    if (m_closed) return false;
    m_baud = dcb.BaudRate;  // a raw TCP port's line is the server's: the panel's rate stands in for it
    if (m_telnet) {
      telnet::LineSettings line;
      line.baud = dcb.BaudRate;
      line.dataBits = dcb.ByteSize;
      line.parity = dcb.Parity;
      line.stopBits = dcb.StopBits;
      Send(m_telnet->SetLine(line, NowMs()));
    } else if (m_settingsApplied) {
      Note("a raw TCP port: the line settings are the server's, the panel's choice is not sent");
    }
    m_settingsApplied = true;
    return true;
  }
  bool ApplyTimeouts(const comm::COMMTIMEOUTS&, std::uint32_t) override { return true; }
  void TakeErrorBaseline(LineIo&, LineErrorCounts& baseline) override { baseline = {}; }

  serial_backend::CommStatus ClearError(LineIo&, LineErrorCounts&) override {
    Pump();
    serial_backend::CommStatus status;
    status.queued = static_cast<long>(m_in.size() - m_inAt);
    // What came before the end is read first: nothing the server sent is lost.
    status.gone = m_closed && status.queued == 0;
    return status;
  }

  long ReadSome(void* buffer, unsigned n) override {
    const std::size_t k = std::min<std::size_t>(n, m_in.size() - m_inAt);
    std::copy_n(m_in.begin() + static_cast<long>(m_inAt), k, static_cast<std::uint8_t*>(buffer));
    m_inAt += k;
    if (m_inAt == m_in.size()) {
      m_in.clear();
      m_inAt = 0;
    }
    return static_cast<long>(k);
  }

  serial_backend::WriteResult WriteAll(const void* buffer, unsigned count, unsigned deadlineMs) override {
    serial_backend::WriteResult r;
    if (m_closed) {
      r.gone = true;
      return r;
    }
    // The server's line drains at its rate, whatever its buffers take: never
    // more than a frame waits there beyond the one handed over now, so a
    // press beyond what the line carries is a stall's (dropped), never a
    // move delivered late.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (Drain(); m_backlog > kLineBacklogBytes; Drain()) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= until) {
        r.deadline = true;
        return r;
      }
      const auto excess = std::chrono::milliseconds(std::max(1u, LineTimeMs(static_cast<unsigned long long>(m_backlog - kLineBacklogBytes), m_baud)));
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(excess, until - now));
    }
    deadlineMs = static_cast<unsigned>(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count()));
    // The second half of a doubled FF a cut send left behind goes first.
    if (!m_wireTail.empty()) {
      const serial_backend::WriteResult t = serial_backend::SendAll(
          m_socket, m_wireTail.data(), static_cast<unsigned>(m_wireTail.size()), deadlineMs);
      m_wireTail.erase(m_wireTail.begin(), m_wireTail.begin() + std::max<long>(t.written, 0));
      if (!m_wireTail.empty()) {
        r.deadline = t.deadline;
        r.gone = t.gone;
        m_closed = m_closed || t.gone;
        return r;
      }
    }
    const auto* payload = static_cast<const std::uint8_t*>(buffer);
    Bytes wire;
    if (m_telnet) telnet::Escape(payload, count, wire);
    else wire.assign(payload, payload + count);
    const serial_backend::WriteResult s =
        serial_backend::SendAll(m_socket, wire.data(), static_cast<unsigned>(wire.size()), deadlineMs);
    r.deadline = s.deadline;
    r.gone = s.gone;
    m_closed = m_closed || s.gone;
    r.written = PayloadSent(payload, count, s.written);
    m_backlog += static_cast<double>(std::max<long>(r.written, 0));
    return r;
  }

  std::vector<std::string> TakeNotes() override {
    if (m_telnet)
      for (std::string& n : m_telnet->TakeNotes()) m_notes.push_back(std::move(n));
    std::vector<std::string> out;
    out.swap(m_notes);
    return out;
  }

  // For the connection's first moments: whether the server has hung up, and
  // what it said before it did.
  bool Closed() { return Pump(), m_closed; }
  std::string Said() const {
    std::string text;
    for (std::size_t i = m_inAt; i < m_in.size() && text.size() < 80; ++i) {
      const char c = static_cast<char>(m_in[i]);
      if (c == '\r' || c == '\n') {
        if (!text.empty()) break;
        continue;
      }
      text += (m_in[i] >= 0x20 && m_in[i] < 0x7F) ? c : '?';
    }
    return text;
  }
  std::intptr_t Socket() const { return m_socket; }
  bool Negotiated() const { return !m_telnet || m_telnet->Answered(); }

 private:
  // What the line behind the server has not carried yet, by its rate.
  void Drain() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - m_backlogAt).count();
    m_backlog = std::max(0.0, m_backlog - seconds * (m_baud ? m_baud : 9600) / 11.0);
    m_backlogAt = now;
  }

  void Pump() {
    if (m_closed) return;
    std::uint8_t chunk[4096];
    for (int rounds = 0; rounds < 64; ++rounds) {  // at most 256 KB a look: the log takes 1000 bytes a poll anyway
      bool closed = false;
      const long got = serial_backend::ReceiveSome(m_socket, chunk, sizeof chunk, closed);
      if (got > 0) {
        if (m_telnet) {
          Bytes reply;
          m_telnet->Receive(chunk, static_cast<std::size_t>(got), m_in, reply, NowMs());
          Send(reply);
        } else {
          m_in.insert(m_in.end(), chunk, chunk + got);
        }
      }
      if (closed) m_closed = true;
      if (got <= 0) break;
    }
    if (m_telnet) m_telnet->Tick(NowMs());
    KeepWithinBound();
  }

  // What the poll has not read yet stays within kInBound, whatever a server
  // sends: the rest is dropped (said when it starts, counted when it ends),
  // so a server that floods cannot swell the panel.
  void KeepWithinBound() {
    if (m_inAt > 0 && m_inAt >= m_in.size() / 2) {
      m_in.erase(m_in.begin(), m_in.begin() + static_cast<long>(m_inAt));
      m_inAt = 0;
    }
    const std::size_t unread = m_in.size() - m_inAt;
    const std::uint64_t now = NowMs();
    if (unread <= kInBound) {
      // The flood is over once nothing was dropped for a while.
      if (m_dropped && now >= m_droppedAt + kFloodOverMs) {
        m_notes.push_back(std::to_string(m_dropped) + " bytes from the server were dropped: it sent faster than the poll reads");
        m_dropped = 0;
      }
      return;
    }
    if (!m_dropped)
      m_notes.push_back("the server sends faster than the poll reads; what does not fit in " +
                        std::to_string(kInBound / 1024) + " KB is dropped");
    m_dropped += unread - kInBound;
    m_droppedAt = now;
    m_in.resize(m_inAt + kInBound);
  }

  // Telnet's own bytes: small, and sent at once or not at all.
  void Send(const Bytes& bytes) {
    if (bytes.empty() || m_closed) return;
    const serial_backend::WriteResult r =
        serial_backend::SendAll(m_socket, bytes.data(), static_cast<unsigned>(bytes.size()), 0, false);
    if (r.gone) m_closed = true;
  }

  // How many payload bytes the wire bytes sent stand for. A cut between the
  // two bytes of a doubled FF counts the FF as sent and keeps its second half
  // to go before anything else.
  long PayloadSent(const std::uint8_t* payload, unsigned count, long wireSent) {
    if (!m_telnet) return wireSent;
    long wire = 0, done = 0;
    for (unsigned i = 0; i < count && wire < wireSent; ++i) {
      const long size = payload[i] == telnet::kIac ? 2 : 1;
      if (wire + size > wireSent) m_wireTail.push_back(telnet::kIac);
      wire += size;
      ++done;
    }
    return done;
  }

  void Note(const std::string& text) {
    if (m_rawSaid) return;
    m_rawSaid = true;
    m_notes.push_back(text);
  }

  std::intptr_t m_socket;
  NetAddress m_address;
  std::unique_ptr<telnet::ComPortClient> m_telnet;
  Bytes m_in;
  std::size_t m_inAt = 0;
  Bytes m_wireTail;
  bool m_closed = false;
  bool m_settingsApplied = false;
  bool m_rawSaid = false;
  std::vector<std::string> m_notes;
  std::uint32_t m_baud = 0;
  std::size_t m_dropped = 0;  // bytes beyond kInBound since the flood began
  std::uint64_t m_droppedAt = 0;  // the last of them
  double m_backlog = 0;  // bytes handed over that the server's line has not carried yet
  std::chrono::steady_clock::time_point m_backlogAt = std::chrono::steady_clock::now();
};
}  // namespace

// A name's lookup, handed over from the thread that waits for the resolver.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  serial_backend::ResolveResult result;
};

NetworkConnect::NetworkConnect(const NetAddress& address) : m_address(address) {}

NetworkConnect::~NetworkConnect() {
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
}

NetworkConnect::Step NetworkConnect::Fail(SerialError error, std::string reason) {
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
  m_socket = comm::INVALID_HANDLE_VALUE;
  m_device.reset();
  m_error = error;
  m_reason = std::move(reason);
  return Step::kFailed;
}

NetworkConnect::Step NetworkConnect::Advance(unsigned waitMs) {
  if (m_error != SerialError::None) return Step::kFailed;
  const std::uint64_t until = NowMs() + waitMs;
  auto left = [&] {
    const std::uint64_t now = NowMs();
    return static_cast<unsigned>(now >= until ? 0 : until - now);
  };
  if (!m_addresses) {
    if (!LookedUp(waitMs)) return Step::kPending;
    serial_backend::ResolveResult r = std::move(m_lookup->result);
    m_lookup.reset();
    if (!r.addresses) return Fail(SerialError::DeviceNotFound, r.reason);
    m_addresses = std::move(r.addresses);
    m_startedAt = NowMs();
  }
  while (!m_device) {
    if (m_socket == comm::INVALID_HANDLE_VALUE) {
      // The host's addresses in turn ("localhost" is ::1, then 127.0.0.1).
      serial_backend::ConnectResult c;
      while (m_socket == comm::INVALID_HANDLE_VALUE && m_next < serial_backend::AddressCount(*m_addresses)) {
        c = serial_backend::StartConnect(*m_addresses, m_next++);
        m_socket = c.handle;
        m_refused = m_refused || c.refused;
        if (m_socket == comm::INVALID_HANDLE_VALUE) m_reason = c.reason;
      }
      if (m_socket == comm::INVALID_HANDLE_VALUE) return Fail(SerialError::Resource, m_reason);
    }
    serial_backend::ConnectResult why;
    const unsigned connectLeft =
        static_cast<unsigned>(std::max<std::int64_t>(0, static_cast<std::int64_t>(m_startedAt + kConnectMs - NowMs())));
    switch (serial_backend::CheckConnect(m_socket, std::min(left(), connectLeft), why)) {
      case serial_backend::ConnectState::kConnected:
        serial_backend::TuneSocket(m_socket);
        m_device = std::make_unique<NetworkDevice>(m_socket, m_address);
        m_socket = comm::INVALID_HANDLE_VALUE;  // the device's now
        m_connectedAt = NowMs();
        break;
      case serial_backend::ConnectState::kFailed:
        serial_backend::CloseSocket(m_socket);
        m_socket = comm::INVALID_HANDLE_VALUE;
        m_reason = why.reason;
        m_refused = m_refused || why.refused;
        if (m_next >= serial_backend::AddressCount(*m_addresses)) return Fail(SerialError::Resource, m_reason);
        break;  // the next address
      case serial_backend::ConnectState::kPending:
        if (NowMs() >= m_startedAt + kConnectMs)
          return Fail(SerialError::Resource, "the server does not answer (no connection within " +
                                                 std::to_string(kConnectMs / 1000) + " s)");
        return Step::kPending;
    }
  }
  // Connected: a moment to hear a server that is busy and hangs up at once.
  auto* device = static_cast<NetworkDevice*>(m_device.get());
  for (;;) {
    if (device->Closed()) {
      const std::string said = device->Said();
      if (said.find("in use") != std::string::npos)
        return Fail(SerialError::DeviceBusy, "in use by another program (the server says: " + said + ")");
      return Fail(SerialError::Resource,
                  "the server closed the connection" + (said.empty() ? std::string() : " (it says: " + said + ")"));
    }
    if (Settled(NowMs())) return Step::kReady;
    const unsigned wait = left();
    if (wait == 0) return Step::kPending;
    serial_backend::WaitReadable(device->Socket(), std::min<unsigned>(wait, 10));
  }
}

bool NetworkConnect::LookedUp(unsigned waitMs) {
  if (!m_lookup) {
    m_lookup = std::make_shared<PendingLookup>();
    // The thread keeps the lookup alive: a connection given up meanwhile
    // only stops listening for its answer.
    std::thread([lookup = m_lookup, host = m_address.host, port = m_address.port] {
      serial_backend::ResolveResult r = serial_backend::Resolve(host, port);
      std::lock_guard lock(lookup->mutex);
      lookup->result = std::move(r);
      lookup->done = true;
      lookup->answered.notify_all();
    }).detach();
  }
  std::unique_lock lock(m_lookup->mutex);
  return m_lookup->answered.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return m_lookup->done; });
}

bool NetworkConnect::Settled(std::uint64_t now) {
  const auto* device = static_cast<NetworkDevice*>(m_device.get());
  // An RFC 2217 server answers our options at once; one that does not within
  // the settle time is taken as it is (its requests are said unanswered later).
  return now >= m_connectedAt + kSettleMs && (device->Negotiated() || now >= m_connectedAt + 2 * kSettleMs);
}

std::unique_ptr<PortDevice> NetworkConnect::Take() { return std::move(m_device); }
