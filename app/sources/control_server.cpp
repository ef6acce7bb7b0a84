#include "app/sources/control_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/listen_address.h"
#include "protocol/frame.h"
#include "app/steering.h"
#include "app/script_commands.h"
#include "serial/backend.h"

namespace {
std::uint64_t Now() { return SteadyMs(); }
}  // namespace

// A token file's text without its line end; never said anywhere.
bool ReadToken(const std::string& path, std::string& token, std::string& why) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
    why = std::filesystem::is_directory(path, ec) ? "is a directory, not a file holding the token"
                                                  : "is no plain file holding the token";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = std::strerror(errno);
    return false;
  }
  std::getline(in, token);
  while (!token.empty() && (token.back() == '\r' || token.back() == ' ' || token.back() == '\t')) token.pop_back();
  if (token.size() < 8) {
    why = "the token is shorter than 8 characters";
    return false;
  }
  return true;
}

namespace {
std::string FirstWord(const std::string& line, std::string* rest = nullptr) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (rest) {
    std::getline(in >> std::ws, *rest);
  }
  return word;
}

// The control server's own words, beside script mode's.
constexpr const char* kOwnCommands[] = {"help", "watch on|off", "auth TOKEN", "quit (ends this connection)"};
}  // namespace

bool SameToken(const std::string& a, const std::string& b) {
  unsigned char differ = a.size() == b.size() ? 0 : 1;
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    differ |= static_cast<unsigned char>(x ^ y);
  }
  return differ == 0;
}

LineFault TakeControlLines(std::string& in, std::deque<std::string>& lines) {
  std::size_t start = 0;
  for (auto end = in.find('\n'); end != std::string::npos; end = in.find('\n', start)) {
    if (end - start > ControlServer::kMaxLine) return LineFault::kTooLong;
    lines.push_back(ScriptLine(in.substr(start, end - start)));
    start = end + 1;
    if (lines.size() > ControlServer::kMaxPending) return LineFault::kTooMany;
  }
  in.erase(0, start);
  return in.size() > ControlServer::kMaxLine ? LineFault::kTooLong : LineFault::kNone;
}

std::string SplitTag(const std::string& line, std::string& tag) {
  tag.clear();
  if (line.empty() || line[0] != '@') return line;
  const auto space = line.find_first_of(" \t");
  tag = line.substr(0, space);
  const auto command = space == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", space);
  return command == std::string::npos ? "" : line.substr(command);
}

struct ControlServer::Client {
  Source source;
  std::intptr_t socket = -1;
  std::string peer;
  std::string in;                  // received, not yet a whole line
  std::deque<std::string> lines;   // whole lines waiting to run
  std::string out;                 // answers and events the socket has not taken
  bool wantsRoom = false;          // told when its socket can take more
  std::size_t lost = 0;            // events dropped since the client last read
  bool authorised = false;
  bool watching = false;
  int running = 0;                 // commands of its own that run (a box may hold one)
  bool closing = false;            // told why; closed once its answer is out
  bool gone = false;
  bool ended = false;              // it sent all it will; closed once its commands are answered
  bool holding = false;            // its stick is out of rest
  std::uint64_t heardAt = 0;
  std::uint64_t resumeAt = 0;      // a `wait` holds its next commands until then
  std::string waitTag;             // the tag of that wait's answer
  bool waitAnswer = false;
  const std::string& Name() const { return source.name; }
};

ControlServer::ControlServer(std::string url, unsigned holdMs, std::string tokenFile)
    : m_urlAsked(std::move(url)),
      m_holdMs(holdMs),
      m_tokenFile(std::move(tokenFile)) {}

ControlServer::~ControlServer() {
  for (auto& c : m_clients) {
    LetStickGo(*c);
    serial_backend::CloseSocket(c->socket);
  }
  if (m_socket != comm::INVALID_HANDLE_VALUE) serial_backend::CloseSocket(m_socket);
}

bool ControlServer::Bind(std::string& why) {
  if (!m_tokenFile.empty() && !ReadToken(m_tokenFile, m_token, why)) {
    why = "--control-token " + m_tokenFile + ": " + why;
    return false;
  }
  ListenAddress at;
  if (std::string problem = ParseControlUrl(m_urlAsked, at); !problem.empty()) {
    why = "--control " + problem;
    return false;
  }
  const serial_backend::ListenResult r = serial_backend::Listen(at.host, at.port);
  if (r.handle == comm::INVALID_HANDLE_VALUE) {
    why = "cannot listen for control clients on " + at.host + ":" + std::to_string(at.port) + ": " + r.reason;
    return false;
  }
  m_socket = r.handle;
  m_url = ListenUrl("tcp", at.host, r.port);
  return true;
}

std::string ControlServer::Listening() const {
  return "control server listening on " + m_url + (m_token.empty() ? "" : " (auth first)");
}

void ControlServer::Detach() {
  if (m_scheduler)
    for (auto& c : m_clients) m_scheduler->ForgetSocket(c->socket);
  Server::Detach();
}

void ControlServer::Heard(const PanelEvent& e) {
  if (e.kind == PanelEvent::Kind::kBox) Message(e.text);
  Event(WatchedText(e));
}

void ControlServer::Watch(Client& c) {
  if (m_scheduler && !c.gone) m_scheduler->WatchSocket(c.socket, c.wantsRoom, [this] { Service(); });
}

void ControlServer::Service() {
  if (!m_actions) return;
  ++m_depth;
  Accept();
  for (std::size_t i = 0; i < m_clients.size(); ++i) {
    Client& c = *m_clients[i];
    if (c.gone) continue;
    Read(c);
    RunDue(c);
    // A stick nobody renews any more is let go: the client went silent.
    if (c.holding && Now() >= c.heardAt + m_holdMs) LetStickGo(c);
    if (c.ended && c.lines.empty() && !c.waitAnswer && !c.running && !c.closing) {
      LetStickGo(c);  // nobody can renew it any more
      c.closing = true;
    }
    Flush(c);
  }
  if (m_depth == 1) {
    // Only here: an inner Service runs while an outer one walks the list.
    for (auto it = m_clients.begin(); it != m_clients.end();) {
      if (!(*it)->gone || (*it)->running) {
        ++it;
        continue;
      }
      Client& c = **it;
      LetStickGo(c);
      if (m_scheduler) m_scheduler->ForgetSocket(c.socket);
      serial_backend::CloseSocket(c.socket);
      const std::string name = c.Name();
      m_say("control " + name + " (" + c.peer + ") disconnected");
      it = m_clients.erase(it);
      Event(name + " gone");
    }
  }
  // What comes due without a word from the sockets: a silent client's
  // stick, the end of a `wait`, commands beyond a look's share.
  std::uint64_t due = 0;
  const auto earliest = [&due](std::uint64_t at) { due = due ? std::min(due, at) : at; };
  for (const auto& c : m_clients) {
    if (c->holding) earliest(c->heardAt + m_holdMs);
    if (c->waitAnswer) earliest(c->resumeAt);
    if (!c->waitAnswer && !c->lines.empty() && !c->closing) earliest(Now());
    if (c->gone) earliest(Now());
  }
  if (due) m_deadline.At(due);
  --m_depth;
}

void ControlServer::Accept() {
  for (;;) {
    std::string peer;
    const std::intptr_t s = serial_backend::AcceptOne(m_socket, peer);
    if (s == comm::INVALID_HANDLE_VALUE) return;
    const std::size_t present = static_cast<std::size_t>(
        std::count_if(m_clients.begin(), m_clients.end(), [](const auto& c) { return !c->gone; }));
    if (present >= kMaxClients) {
      static const char kBusy[] = "error busy\n";
      serial_backend::SendAll(s, kBusy, sizeof kBusy - 1, 0, false);
      serial_backend::CloseSocket(s);
      m_say("control client from " + peer + " turned away: " + std::to_string(kMaxClients) + " are connected");
      continue;
    }
    auto c = std::make_unique<Client>();
    c->source = m_actions->Appear(Source::Kind::kClient);
    c->socket = s;
    c->peer = peer;
    c->authorised = m_token.empty();
    c->heardAt = Now();
    m_say("control " + c->Name() + " (" + peer + ") connected");
    Event(c->Name() + " connected (" + peer + ")");
    Watch(*c);
    m_clients.push_back(std::move(c));
  }
}

void ControlServer::Read(Client& c) {
  if (c.closing || c.ended) return;
  char chunk[4096];
  for (;;) {
    bool closed = false;
    const long got = serial_backend::ReceiveSome(c.socket, chunk, sizeof chunk, closed);
    if (got > 0) {
      c.in.append(chunk, static_cast<std::size_t>(got));
      const std::size_t before = c.lines.size();
      const LineFault fault = TakeControlLines(c.in, c.lines);
      // Only a whole line renews a stick: a byte now and then holds nothing.
      if (c.lines.size() > before) c.heardAt = Now();
      switch (fault) {
        case LineFault::kNone: break;
        case LineFault::kTooLong: return Close(c, "error line too long (at most " + std::to_string(kMaxLine) + " bytes)");
        case LineFault::kTooMany:
          return Close(c, "error too many commands pending (at most " + std::to_string(kMaxPending) + ")");
      }
    }
    if (closed) {
      // It sent all it will (`printf ... | nc`): what it sent still runs and is answered.
      c.ended = true;
      return;
    }
    if (got <= 0) return;
  }
}

void ControlServer::RunDue(Client& c) {
  // Up to a few commands a look for each client, so that none waits long behind another.
  // A command held by the box it opened does not hold the next: the client's
  // `ok` must be able to close that box.
  for (int n = 0; n < 16 && !c.closing && !c.gone; ++n) {
    if (c.waitAnswer) {
      if (Now() < c.resumeAt) return;
      c.waitAnswer = false;
      Answer(c, c.waitTag, "ok");
    }
    if (c.lines.empty()) return;
    std::string line = std::move(c.lines.front());
    c.lines.pop_front();
    // A command may open a box, whose loop runs the window meanwhile: what
    // waits behind it (the client's `ok`) runs there, at the next look.
    if (!c.lines.empty()) m_deadline.At(Now());
    Run(c, std::move(line));
  }
}

void ControlServer::Run(Client& c, std::string line) {
  std::string tag;
  line = SplitTag(line, tag);
  // A tag comes back before every line of the answer: never a byte a
  // terminal would act on, nor one that is no UTF-8.
  if (!tag.empty() && !TypableText(tag)) return Answer(c, "", "error the tag is not printable UTF-8");
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == '#') {
    if (!tag.empty()) Answer(c, tag, "ok");  // a tag alone is answered, so that a client can wait for it
    return;
  }
  std::string rest;
  const std::string word = FirstWord(line, &rest);
  if (!c.authorised) {
    if (word == "auth" && SameToken(rest, m_token)) {
      c.authorised = true;
      return Answer(c, tag, "ok");
    }
    return Close(c, (tag.empty() ? "" : tag + " ") + "error not authorised");
  }
  if (word == "auth") return Answer(c, tag, "ok");
  if (word == "quit") {
    Answer(c, tag, "ok");
    c.closing = true;
    return;
  }
  if (word == "help") {
    std::string names;
    for (const std::string& n : ScriptCommands::Names()) names += (names.empty() ? "" : " ") + n;
    Answer(c, tag, "commands: " + names);
    for (const char* own : kOwnCommands) Answer(c, tag, std::string("also: ") + own);
    return Answer(c, tag, "ok");
  }
  if (word == "watch") {
    if (rest != "on" && rest != "off") return Answer(c, tag, "error watch on or watch off");
    c.watching = rest == "on";
    return Answer(c, tag, "ok");
  }
  if (const std::optional<int> delay = ScriptCommands::WaitDelay(line)) {
    c.resumeAt = Now() + static_cast<std::uint64_t>(*delay);
    c.waitTag = tag;
    c.waitAnswer = true;
    return;
  }
  if (word == "wait") return Answer(c, tag, "error bad argument");
  // Script mode's words, its checks and its answers; only the last line is ours.
  ScriptCommands commands(*m_actions, [this, &c, tag](const std::string& printed) { Answer(c, tag, printed); },
                          c.source);
  ++c.running;
  Client* const beforeClient = m_acting;
  const std::string beforeTag = m_actingTag;
  m_acting = &c;
  m_actingTag = tag;
  const std::string why = commands.Perform(line);
  m_acting = beforeClient;
  m_actingTag = beforeTag;
  --c.running;
  if (why.empty() && word == "stick") {
    // Held while renewed; at rest it is the pad's own stop.
    Steering* pad = m_actions->Steer();
    c.holding = pad && pad->Moving() && pad->Driver() == c.source;
    c.heardAt = Now();
  }
  Answer(c, tag, why.empty() ? "ok" : "error " + ControlsShown(why));
}

void ControlServer::Answer(Client& c, const std::string& tag, const std::string& line) {
  if (c.gone) return;
  c.out += (tag.empty() ? "" : tag + " ") + ValidUtf8(line) + "\n";
}

void ControlServer::Message(const std::string& text) {
  if (!m_acting) return;
  // Said as script mode says it, at once: the box holds the command's answer.
  Answer(*m_acting, m_actingTag, "message " + text);
  Flush(*m_acting);
}

void ControlServer::Event(const std::string& text) {
  for (auto& p : m_clients) {
    Client& c = *p;
    if (!c.watching || c.gone || c.closing) continue;
    // The panel never waits for a client: what it has not read is bounded.
    if (c.out.size() > kEventBound) {
      ++c.lost;
      continue;
    }
    if (c.lost) {
      c.out += "event lost " + std::to_string(c.lost) + "\n";
      c.lost = 0;
    }
    c.out += "event " + ValidUtf8(ControlsShown(text)) + "\n";
    Flush(c);  // as it happens, not at the next look
  }
}

void ControlServer::Flush(Client& c) {
  if (!c.out.empty() && !c.gone) {
    const serial_backend::WriteResult r =
        serial_backend::SendAll(c.socket, c.out.data(), static_cast<unsigned>(c.out.size()), 0, false);
    if (r.written > 0) c.out.erase(0, static_cast<std::size_t>(r.written));
    if (r.gone) c.gone = true;
  }
  // It reads again: told at once how many it missed, not at the next event.
  if (c.lost && c.out.size() <= kEventBound / 2 && !c.gone) {
    c.out += "event lost " + std::to_string(c.lost) + "\n";
    c.lost = 0;
  }
  if (c.closing && c.out.empty()) c.gone = true;
  if (c.gone) {
    m_deadline.At(Now());  // closed and said at the next look
  } else if (c.wantsRoom != !c.out.empty()) {
    c.wantsRoom = !c.out.empty();
    Watch(c);  // told when the socket has room again, or no longer
  }
}

void ControlServer::LetStickGo(Client& c) {
  if (!c.holding) return;
  if (m_actions) {
    // Its own rest: it stops nothing when another has moved since (the pad keeps who drives).
    ScriptCommands commands(*m_actions, [](const std::string&) {}, c.source);
    commands.Perform("stick 0 0");
  }
  c.holding = false;
}

void ControlServer::Close(Client& c, const std::string& why) {
  c.out += why + "\n";
  c.lines.clear();
  c.closing = true;
}
