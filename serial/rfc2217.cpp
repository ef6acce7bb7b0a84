#include "serial/rfc2217.h"

#include <algorithm>

namespace telnet {
namespace {
// The options each side may do: the payload is binary and nobody waits for
// a go-ahead; only we send COM-PORT commands. Everything else (ECHO, LINEMODE,
// terminal types) is refused: a gimbal's line is no terminal.
bool WeDo(std::uint8_t option) { return option == kBinary || option == kSga || option == kComPort; }
bool TheyMayDo(std::uint8_t option) { return option == kBinary || option == kSga; }

void Put(Bytes& out, std::uint8_t verb, std::uint8_t option) { out.insert(out.end(), {kIac, verb, option}); }

std::string ParityName(std::uint32_t v) {
  switch (v) {
    case 1: return "none";
    case 2: return "odd";
    case 3: return "even";
    case 4: return "mark";
    case 5: return "space";
    default: return "unknown";
  }
}
std::string StopName(std::uint32_t v) { return v == 1 ? "1" : v == 2 ? "2" : v == 3 ? "1.5" : "unknown"; }
std::string ControlName(std::uint32_t v) {
  return v == 1 ? "none" : v == 2 ? "XON/XOFF" : v == 3 ? "hardware" : "another";
}
std::string Number(std::uint32_t v) { return std::to_string(v); }

// One row per COM-PORT request the panel makes: its code, its name in the
// RFC, the width of its value in network order, whether the server's answer
// must repeat the value (a purge is answered with what was purged), and how
// the value is said to the operator.
struct ComPortRequest {
  std::uint8_t code;
  const char* name;
  int width;
  bool answerRepeatsValue;
  const char* what;
  std::string (*say)(std::uint32_t);
};
constexpr ComPortRequest kRequests[] = {
    {kSetBaudRate, "SET-BAUDRATE", 4, true, "baud", Number},
    {kSetDataSize, "SET-DATASIZE", 1, true, "data bits", Number},
    {kSetParity, "SET-PARITY", 1, true, "parity", ParityName},
    {kSetStopSize, "SET-STOPSIZE", 1, true, "stop bits", StopName},
    {kSetControl, "SET-CONTROL", 1, true, "flow control", ControlName},
    {kPurgeData, "PURGE-DATA", 1, false, "purge", Number},
};
const ComPortRequest* FindRequest(std::uint8_t code) {
  for (const ComPortRequest& r : kRequests)
    if (r.code == code) return &r;
  return nullptr;
}
std::string SayValue(std::uint8_t code, std::uint32_t v) {
  const ComPortRequest* r = FindRequest(code);
  return r ? r->say(v) : std::to_string(v);
}
}  // namespace

std::string DescribeValue(std::uint8_t code, std::uint32_t v) {
  const ComPortRequest* r = FindRequest(code);
  return r && r->code != kPurgeData ? std::string(r->what) + " " + r->say(v) : std::to_string(v);
}

void Escape(const std::uint8_t* payload, std::size_t n, Bytes& out) {
  out.reserve(out.size() + n + static_cast<std::size_t>(std::count(payload, payload + n, kIac)));
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(payload[i]);
    if (payload[i] == kIac) out.push_back(kIac);
  }
}

bool ComPortClient::Agreed() const {
  const auto it = m_local.find(kComPort);
  return it != m_local.end() && it->second == State::kYes;
}

Bytes ComPortClient::Hello() {
  Bytes out;
  for (std::uint8_t option : {kBinary, kSga, kComPort}) {
    Put(out, kWill, option);
    m_local[option] = State::kWantYes;
  }
  for (std::uint8_t option : {kBinary, kSga}) {
    Put(out, kDo, option);
    m_remote[option] = State::kWantYes;
  }
  return out;
}

void ComPortClient::Command(std::uint8_t verb, std::uint8_t option, Bytes& reply) {
  // Each option's state on each side is kept, so that an answer is sent only
  // where the state changes: two sides that both answer everything loop.
  const bool mine = verb == kDo || verb == kDont;  // DO and DONT are about what we do
  const bool yes = verb == kDo || verb == kWill;
  State& state = (mine ? m_local : m_remote)[option];
  const bool allowed = mine ? WeDo(option) : TheyMayDo(option);
  if (yes) {
    if (!allowed) {
      Put(reply, mine ? kWont : kDont, option);
    } else {
      if (state == State::kNo) Put(reply, mine ? kWill : kDo, option);
      state = State::kYes;
    }
  } else {
    if (state == State::kYes) Put(reply, mine ? kWont : kDont, option);
    state = State::kNo;
  }
  if (mine && option == kComPort) {
    if (!m_comPortAnswered && !yes)
      Note("the server takes no line settings (it refused the COM-PORT-OPTION); they stay the server's");
    m_comPortAnswered = true;
  }
}

void ComPortClient::Receive(const std::uint8_t* wire, std::size_t n, Bytes& payload, Bytes& reply,
                            std::uint64_t nowMs) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = wire[i];
    switch (m_parse) {
      case Parse::kData:
        if (b == kIac) m_parse = Parse::kIac;
        else payload.push_back(b);
        break;
      case Parse::kIac:
        if (b == kIac) {
          payload.push_back(kIac);
          m_parse = Parse::kData;
        } else if (b >= kWill && b <= kDont) {
          m_verb = b;
          m_parse = Parse::kOption;
        } else if (b == kSb) {
          m_sb.clear();
          m_sbOverflow = false;
          m_parse = Parse::kSb;
        } else {
          m_parse = Parse::kData;  // NOP, GA, BRK, AYT, a stray SE: nothing for the panel
        }
        break;
      case Parse::kOption:
        Command(m_verb, b, reply);
        m_parse = Parse::kData;
        break;
      case Parse::kSb:
        if (b == kIac) {
          m_parse = Parse::kSbIac;
        } else if (m_sb.size() < 64) {
          m_sb.push_back(b);
        } else {
          m_sbOverflow = true;  // no answer of ours is that long: read to its end, then drop it
        }
        break;
      case Parse::kSbIac:
        if (b == kIac) {
          if (m_sb.size() < 64) m_sb.push_back(kIac);
          m_parse = Parse::kSb;
        } else {
          // IAC SE ends it; anything else after IAC ends it too (the server
          // broke the rule, and waiting for SE would swallow the payload).
          if (!m_sbOverflow) Subnegotiation();
          m_parse = b == kSe ? Parse::kData : Parse::kIac;
          if (b != kSe) --i;  // read the byte again as a command
        }
        break;
    }
  }
  Tick(nowMs);
}

void ComPortClient::Subnegotiation() {
  if (m_sb.size() < 2 || m_sb[0] != kComPort || m_sb[1] <= kServerOffset) return;
  const std::uint8_t code = static_cast<std::uint8_t>(m_sb[1] - kServerOffset);
  auto it = m_pending.find(code);
  if (it == m_pending.end() || it->second.empty()) return;  // NOTIFY-LINESTATE and others we did not ask
  const Pending asked = it->second.front();
  it->second.pop_front();
  std::uint32_t got = 0;
  for (std::size_t i = 2; i < m_sb.size() && i < 6; ++i) got = got << 8 | m_sb[i];
  // A purge is answered with what was purged; a value of 0 asks, it sets nothing.
  const ComPortRequest* request = FindRequest(code);
  if (request && request->answerRepeatsValue && got != asked.value)
    Note("the server set " + DescribeValue(code, got) + ", not " + SayValue(code, asked.value));
}

void ComPortClient::Request(std::uint8_t code, std::uint32_t value, Bytes& out, std::uint64_t nowMs) {
  const int width = FindRequest(code)->width;
  out.insert(out.end(), {kIac, kSb, kComPort, code});
  std::uint8_t field[4];
  for (int i = 0; i < width; ++i) field[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  Escape(field, static_cast<std::size_t>(width), out);  // network order; an FF in it doubled
  out.insert(out.end(), {kIac, kSe});
  m_pending[code].push_back({value, nowMs});
}

Bytes ComPortClient::SetLine(const LineSettings& line, std::uint64_t nowMs) {
  Bytes out;
  Request(kSetBaudRate, line.baud, out, nowMs);
  Request(kSetDataSize, line.dataBits, out, nowMs);
  Request(kSetParity, static_cast<std::uint32_t>(line.parity) + 1, out, nowMs);
  static constexpr std::uint8_t kStop[] = {1, 3, 2};  // one, one and a half, two
  Request(kSetStopSize, line.stopBits < 3 ? kStop[line.stopBits] : 1, out, nowMs);
  Request(kSetControl, 1, out, nowMs);
  return out;
}

Bytes ComPortClient::Purge(bool rx, bool tx, std::uint64_t nowMs) {
  Bytes out;
  if (rx || tx) Request(kPurgeData, rx && tx ? 3 : rx ? 1 : 2, out, nowMs);
  return out;
}

void ComPortClient::Tick(std::uint64_t nowMs) {
  for (auto& [code, queue] : m_pending) {
    while (!queue.empty() && nowMs - queue.front().sentAt >= kAnswerMs) {
      queue.pop_front();
      const ComPortRequest* r = FindRequest(code);
      Note(std::string("the server did not answer ") + (r ? r->name : "a request") + "; going on without it");
    }
  }
}

void ComPortClient::Note(const std::string& text) {
  if (std::find(m_said.begin(), m_said.end(), text) != m_said.end()) return;
  m_said.push_back(text);
  m_notes.push_back(text);
}

std::vector<std::string> ComPortClient::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(m_notes);
  return notes;
}
}  // namespace telnet
