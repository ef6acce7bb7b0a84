#include "protocol/decode.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <cctype>
#include <optional>
#include <sstream>
#include <vector>

#include "protocol/commands.h"
#include "protocol/describe.h"
#include "protocol/frame.h"
#include "protocol/reply.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

// What one line of a capture may hold before the rest of it is skipped, and
// how many bytes in a row may decode to nothing before the input is taken
// for no capture at all (/dev/zero, a disk image): memory stays a few MB.
constexpr std::size_t kMaxLine = 1024 * 1024;
constexpr std::size_t kMaxJunk = 1024 * 1024;

std::string Hex(const Bytes& b, std::size_t at, std::size_t n) { return HexJoin(b.data() + at, n); }

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The commands in what the panel wrote: frames, VISCA commands, other bytes.
void SayCommands(const Bytes& b, const std::string& head, std::ostream& out) {
  std::size_t at = 0;
  while (at < b.size()) {
    const std::size_t left = b.size() - at;
    if (b[at] == kSync && MayStartFrame(b.data() + at, std::min<std::size_t>(left, 3))) {
      if (left < kFrameSize) {
        out << head << "too short (" << left << " bytes): " << Hex(b, at, left) << '\n';
        return;
      }
      const Frame f(b.data() + at, kFrameSize);
      if (CheckFrame(f) == FrameCheck::kBadChecksum) {
        out << head << "bad checksum: " << Hex(b, at, kFrameSize) << '\n';
      } else if (!CommandName(ReadCode(f))) {
        out << head << DescribeFrame(f) << ": " << Hex(b, at, kFrameSize) << '\n';
      } else {
        out << head << DescribeFrame(f) << '\n';
      }
      at += kFrameSize;
      continue;
    }
    if (b[at] == kViscaAddress) {
      const std::size_t limit = at + std::min<std::size_t>(left, kViscaMaxSize);
      const auto end = std::find(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(limit),
                                 kViscaTerminator);
      if (end != b.begin() + static_cast<long>(limit)) {
        const std::size_t n = static_cast<std::size_t>(end - b.begin()) + 1 - at;
        const Frame c(b.data() + at, n);
        const bool known = ReadVisca(c).kind != ViscaKind::kOther;
        out << head << (known ? DescribeVisca(c) : "VISCA command: " + Hex(b, at, n)) << '\n';
        at += n;
        // The video format's two trailers belong to it.
        static constexpr std::uint8_t kTrailers[] = {0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF};
        if (ReadVisca(c).kind == ViscaKind::kVideoFormat && b.size() - at >= sizeof kTrailers &&
            std::equal(std::begin(kTrailers), std::end(kTrailers), b.begin() + static_cast<long>(at)))
          at += sizeof kTrailers;
        continue;
      }
    }
    // Bytes that are no command of the device (a manual instruction, garbage):
    // up to where a command may start.
    std::size_t end = at + 1;
    while (end < b.size() && b[end] != kSync && b[end] != kViscaAddress) ++end;
    out << head << "bytes: " << Hex(b, at, end - at) << '\n';
    at = end;
  }
}

// What the device answered, across reads: replies (joined when a read ended
// inside one) and the camera block's acknowledges and completions.
class Replies {
 public:
  void Read(const Bytes& b, std::ostream& out) {
    const std::size_t readStart = m_pending.size();
    m_pending.insert(m_pending.end(), b.begin(), b.end());
    std::size_t at = 0;
    while (at < m_pending.size()) {
      const std::size_t left = m_pending.size() - at;
      if (m_pending[at] == kReplySync0 && (left < 2 || m_pending[at + 1] == kReplySync1)) {
        if (left < kReplySize) break;  // the rest comes with the next read
        const std::optional<DecodedReply> r = DecodeReplyFrame(m_pending.data() + at);
        if (r) {
          std::string line = r->line;
          line.erase(0, line.find_first_not_of(' '));
          line.erase(line.find_last_not_of(' ') + 1);
          out << "    reply: " << line;
          if (at < readStart) out << " (joined from two reads)";
          out << '\n';
          at += kReplySize;
          continue;
        }
      }
      if (m_pending[at] == 0x90 && left >= 3 && m_pending[at + 2] == kViscaTerminator) {
        const int kind = m_pending[at + 1] >> 4;
        out << "    camera: "
            << (kind == 4 ? "acknowledge" : kind == 5 ? "completion" : kind == 6 ? "error" : "answer") << '\n';
        at += 3;
        continue;
      }
      if (m_pending[at] == 0x90 && left < 3) break;
      ++at;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(at));
  }
  void End(std::ostream& out) {
    if (!m_pending.empty()) out << "    incomplete at the end: " << Hex(m_pending, 0, m_pending.size()) << '\n';
  }

 private:
  Bytes m_pending;
};

// ---- the formats a capture comes in, each a small reader of one line --------

enum class Dir { kUnknown, kTx, kRx, kNote, kSkip };
struct LineRead {
  std::string time;  // as the line gave it; empty when it had none
  Dir dir = Dir::kUnknown;
  Bytes bytes;
};

bool IsHex(char c) { return Digit(c) >= 0; }
std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Hex in any of the usual spellings: "7e-7e-44", "7E 7E 44", "7e:7e", "7E7E44",
// "0x7E, 0x7E, 0x44"; nothing for anything else.
std::optional<Bytes> AnyHex(std::string_view text) {
  Bytes out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '-' || c == ':' || c == ',' || c == ';') {
      ++i;
      continue;
    }
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      std::size_t j = i + 2;
      while (j < text.size() && IsHex(text[j])) ++j;
      if (j - (i + 2) == 0 || j - (i + 2) > 2) return std::nullopt;
      out.push_back(static_cast<std::uint8_t>(j - (i + 2) == 1 ? Digit(text[i + 2])
                                                               : Digit(text[i + 2]) << 4 | Digit(text[i + 3])));
      i = j;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && IsHex(text[j])) ++j;
    if (j == i || (j - i) % 2 != 0) return std::nullopt;
    for (std::size_t k = i; k < j; k += 2) out.push_back(static_cast<std::uint8_t>(Digit(text[k]) << 4 | Digit(text[k + 1])));
    i = j;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

bool Offset(std::string_view s, std::size_t n) {
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (!IsHex(s[i])) return false;
  return true;
}

// "2026-12-08T10:41:02.517 TX 7e-7e-44-..." and "... -- a note", as --log writes them.
std::optional<LineRead> SessionLogLine(std::string_view line) {
  const auto sp = line.find(' ');
  if (sp == std::string_view::npos || line.substr(0, sp).find('T') == std::string_view::npos || !std::isdigit(static_cast<unsigned char>(line[0])))
    return std::nullopt;
  for (char c : line.substr(0, sp))
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != ':' && c != '.' && c != 'T' && c != ',')
      return std::nullopt;  // a time stamp is printed as it stands: nothing else may pass
  const std::string_view rest = line.substr(sp + 1);
  LineRead r;
  r.time = std::string(line.substr(0, sp));
  if (rest.rfind("-- ", 0) == 0 || rest == "--") {
    r.dir = Dir::kNote;
    return r;
  }
  if (rest.size() < 3 || (rest.rfind("TX ", 0) != 0 && rest.rfind("RX ", 0) != 0)) return std::nullopt;
  std::optional<Bytes> b = AnyHex(rest.substr(3));
  if (!b) return std::nullopt;
  r.dir = rest[0] == 'T' ? Dir::kTx : Dir::kRx;
  r.bytes = std::move(*b);
  return r;
}

// hexdump -C: "00000000  7e 7e 44 00 00 8b 02 00  00 00 ...  |~~D.....|"; an
// offset alone ends the dump, "*" stands for lines like the one before.
std::optional<LineRead> HexdumpLine(std::string_view line) {
  LineRead r;
  if (line == "*") {
    r.dir = Dir::kSkip;
    return r;
  }
  if (!Offset(line, 8)) return std::nullopt;
  if (line.size() == 8) {
    r.dir = Dir::kSkip;
    return r;
  }
  if (line.substr(8, 2) != "  ") return std::nullopt;
  const auto bar = line.find('|');
  std::optional<Bytes> b = AnyHex(line.substr(10, bar == std::string_view::npos ? std::string_view::npos : bar - 10));
  if (!b) return std::nullopt;
  r.bytes = std::move(*b);
  return r;
}

// xxd: "00000000: 7e7e 4400 008b 0200 0000 0000 0000 0000  ~~D.............".
std::optional<LineRead> XxdLine(std::string_view line) {
  if (!Offset(line, 8) || line.size() < 10 || line[8] != ':' || line[9] != ' ') return std::nullopt;
  std::string_view hex = line.substr(10);
  const auto text = hex.find("  ");  // the text column follows two blanks
  if (text != std::string_view::npos) hex = hex.substr(0, text);
  std::optional<Bytes> b = AnyHex(hex);
  if (!b) return std::nullopt;
  LineRead r;
  r.bytes = std::move(*b);
  return r;
}

// A time stamp first, as terminal programs write them: "[10:41:02.517]",
// "10:41:02.517", "[2026-12-08 10:41:02.517]", "2026-12-08 10:41:02"; then
// perhaps a direction (TX, RX, >, <, ->, <-), then hex.
std::optional<LineRead> StampedLine(std::string_view line) {
  std::string_view s = line;
  const bool bracket = !s.empty() && s.front() == '[';
  if (bracket) s.remove_prefix(1);
  std::size_t i = 0;
  auto digits = [&](std::size_t n) {
    for (std::size_t k = 0; k < n; ++k, ++i)
      if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
  };
  if (digits(4) && i < s.size() && s[i] == '-') {  // a date first
    ++i;
    if (!digits(2) || i >= s.size() || s[i++] != '-' || !digits(2) || i >= s.size() || (s[i] != ' ' && s[i] != 'T'))
      return std::nullopt;
    ++i;
  } else {
    i = 0;
  }
  const std::size_t clock = i;
  if (!(digits(2) || (i = clock, digits(1))) || i >= s.size() || s[i++] != ':' || !digits(2) || i >= s.size() ||
      s[i++] != ':' || !digits(2))
    return std::nullopt;
  while (i < s.size() && (s[i] == '.' || s[i] == ',' || std::isdigit(static_cast<unsigned char>(s[i])))) ++i;
  LineRead r;
  r.time = std::string(s.substr(0, i));
  if (bracket) {
    if (i >= s.size() || s[i] != ']') return std::nullopt;
    ++i;
  }
  std::string_view rest = TrimView(s.substr(i));
  static constexpr std::pair<const char*, Dir> kWords[] = {{"TX", Dir::kTx}, {"RX", Dir::kRx}, {"->", Dir::kTx},
                                                           {"<-", Dir::kRx}, {">", Dir::kTx},  {"<", Dir::kRx}};
  for (const auto& [word, dir] : kWords) {
    const std::string_view w(word);
    if (rest.rfind(w, 0) == 0 && (rest.size() == w.size() || rest[w.size()] == ' ' || rest[w.size()] == ':')) {
      r.dir = dir;
      rest = TrimView(rest.substr(w.size() + (rest.size() > w.size() && rest[w.size()] == ':' ? 1 : 0)));
      break;
    }
  }
  std::optional<Bytes> b = AnyHex(rest);
  if (!b) return std::nullopt;
  r.bytes = std::move(*b);
  return r;
}

std::optional<LineRead> PlainHexLine(std::string_view line) {
  std::optional<Bytes> b = AnyHex(line);
  if (!b) return std::nullopt;
  LineRead r;
  r.bytes = std::move(*b);
  return r;
}

// Tried in this order: the most particular shape first.
struct Format {
  const char* name;
  std::optional<LineRead> (*read)(std::string_view);
};
constexpr Format kFormats[] = {
    {"session log", SessionLogLine}, {"hexdump -C", HexdumpLine}, {"xxd", XxdLine},
    {"time-stamped hex", StampedLine}, {"hex", PlainHexLine},
};

// A line for the terminal: control bytes and what is not UTF-8 as \xNN, so
// that a capture can never move the cursor or retitle the window.
std::string Printable(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = n > 0 && i + n <= text.size() && !(c < 0x20 && c != '\t') && c != 0x7F && !(c >= 0x80 && c < 0xC2);
    for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (ok && n >= 2) ok = !(c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);  // C1 controls
    if (ok) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      ++i;
    }
  }
  return out;
}

// A capture that does not say which way the bytes went: one stream, in which
// frames are found by their first bytes as the gimbal finds them, and the
// direction told by what they are: 7E 7E 44 frames and 8x ... FF commands
// went to the device, BB 09 replies and 9x ... FF answers came from it.
class Stream {
 public:
  explicit Stream(std::ostream& out) : m_out(out) {}
  void Feed(const Bytes& b, const std::string& time) {
    if (m_pending.empty()) m_time = time;
    m_pending.insert(m_pending.end(), b.begin(), b.end());
    Scan(false, time);
  }
  void End() { Scan(true, m_time); }
  int Decoded() const { return m_decoded; }
  // Of those, what checks beyond doubt: frames with their checksum and a
  // known code, known VISCA commands, replies, acknowledges and completions.
  std::uint64_t Strong() const { return m_strong; }
  // Bytes in a row that were nothing: past kMaxJunk the input is no capture.
  std::size_t Junk() const { return m_junk; }

 private:
  std::string Head(Dir d) const {
    return (m_time.empty() ? std::string() : m_time + " ") + (d == Dir::kTx ? "TX " : d == Dir::kRx ? "RX " : "");
  }
  void Scan(bool end, const std::string& next) {
    std::size_t at = 0;
    while (at < m_pending.size()) {
      const std::size_t left = m_pending.size() - at;
      const std::uint8_t* p = m_pending.data() + at;
      std::size_t took = 0;
      if (p[0] == kSync && MayStartFrame(p, std::min<std::size_t>(left, 3))) {
        if (left < kFrameSize && !end) break;
        // A frame cut short is followed by the next frame's start: the rest
        // of the capture stays in step.
        std::size_t n = std::min(left, kFrameSize);
        for (std::size_t k = 1; k + 2 < n; ++k)
          if (p[k] == kSync && p[k + 1] == kSync && p[k + 2] == 0x44) n = k;
        const Frame f(p, n);
        if (n < kFrameSize) m_out << Head(Dir::kTx) << "too short (" << n << " bytes): " << HexJoin(p, n) << '\n';
        else if (CheckFrame(f) == FrameCheck::kBadChecksum) m_out << Head(Dir::kTx) << "bad checksum: " << HexJoin(p, n) << '\n';
        else if (!CommandName(ReadCode(f))) m_out << Head(Dir::kTx) << DescribeFrame(f) << ": " << HexJoin(p, n) << '\n';
        else {
          m_out << Head(Dir::kTx) << DescribeFrame(f) << '\n';
          ++m_strong;
        }
        took = n;
      } else if ((p[0] & 0xF0) == 0x80 || (p[0] & 0xF0) == 0x90) {
        // VISCA: a command from the panel (8x) or the camera's answer (9x), up to FF.
        const std::size_t limit = std::min<std::size_t>(left, kViscaMaxSize);
        const std::uint8_t* term = std::find(p + 1, p + limit, kViscaTerminator);
        if (term == p + limit && limit < kViscaMaxSize && !end) break;
        if (term != p + limit) {
          const std::size_t n = static_cast<std::size_t>(term - p) + 1;
          const Frame c(p, n);
          if ((p[0] & 0xF0) == 0x80) {
            const bool known = ReadVisca(c).kind != ViscaKind::kOther;
            m_out << Head(Dir::kTx) << (known ? DescribeVisca(c) : "VISCA command: " + HexJoin(p, n)) << '\n';
            m_strong += known;
          } else {
            const int kind = n == 3 ? p[1] >> 4 : 0;
            m_strong += kind == 4 || kind == 5;
            m_out << Head(Dir::kRx) << HexJoin(p, n) << "\n    camera: "
                  << (kind == 4 ? "acknowledge" : kind == 5 ? "completion" : kind == 6 ? "error" : "answer") << '\n';
          }
          took = n;
        }
      } else if (p[0] == kReplySync0 && (left < 2 || p[1] == kReplySync1)) {
        if (left < kReplySize && !end) break;
        if (left >= kReplySize) {
          if (const std::optional<DecodedReply> r = DecodeReplyFrame(p)) {
            std::string line = r->line;
            line.erase(0, line.find_first_not_of(' '));
            line.erase(line.find_last_not_of(' ') + 1);
            m_out << Head(Dir::kRx) << HexJoin(p, kReplySize) << "\n    reply: " << line << '\n';
            took = kReplySize;
            ++m_strong;
          }
        }
      }
      if (took) {
        Junk(at);
        ++m_decoded;
        m_junk = 0;
        at += took;
        continue;
      }
      m_junkRun.push_back(*p);
      ++m_junk;
      ++at;
      if (m_junkRun.size() == 32) Junk(at);
    }
    Junk(at);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(at));
    m_time = next;
  }
  void Junk(std::size_t) {
    if (m_junkRun.empty()) return;
    m_out << Head(Dir::kUnknown) << "bytes: " << HexJoin(m_junkRun.data(), m_junkRun.size()) << '\n';
    m_junkRun.clear();
  }

  std::ostream& m_out;
  Bytes m_pending, m_junkRun;
  std::string m_time;
  int m_decoded = 0;
  std::uint64_t m_strong = 0;
  std::size_t m_junk = 0;
};
}  // namespace


bool DecodeCapture(std::istream& in, std::ostream& out, std::string& why) {
  Replies replies;
  Stream stream(out);
  int decoded = 0;
  long lineNumber = 0;
  char chunk[64 * 1024];
  // Text or bytes as they were on the wire (tio's and picocom's logs): told
  // by the first block; a NUL or many control bytes is no text.
  in.read(chunk, sizeof chunk);
  std::size_t got = static_cast<std::size_t>(in.gcount());
  std::size_t controls = 0;
  bool binary = false;
  for (std::size_t i = 0; i < std::min<std::size_t>(got, 4096); ++i) {
    const auto c = static_cast<unsigned char>(chunk[i]);
    binary = binary || c == 0;
    if ((c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F) ++controls;
  }
  binary = binary || controls * 3 > std::min<std::size_t>(got, 4096);
  std::uint64_t total = 0;  // bytes of a binary input
  auto tooMuchJunk = [&] { return stream.Junk() >= kMaxJunk; };
  if (binary) {
    while (got > 0 && out) {
      total += got;
      stream.Feed(Bytes(chunk, chunk + got), "");
      if (tooMuchJunk()) break;
      in.read(chunk, sizeof chunk);
      got = static_cast<std::size_t>(in.gcount());
    }
  } else {
    std::string line;
    bool overlong = false;
    auto finish = [&] {
      ++lineNumber;
      if (overlong) {
        out << "line " << lineNumber << ": longer than " << kMaxLine << " characters; the rest of it skipped\n";
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string_view text = TrimView(line);
      if (text.empty()) return;
      std::optional<LineRead> r;
      for (const Format& f : kFormats)
        if ((r = f.read(text))) break;
      if (!r) {
        out << "line " << lineNumber << ": not a frame: " << Printable(text) << '\n';
        return;
      }
      const std::string head = r->time.empty() ? std::string() : r->time + " ";
      switch (r->dir) {
        case Dir::kSkip: return;
        case Dir::kNote: out << Printable(text) << '\n'; return;
        case Dir::kTx:
          ++decoded;
          SayCommands(r->bytes, head + "TX ", out);
          return;
        case Dir::kRx:
          ++decoded;
          out << head << "RX " << Hex(r->bytes, 0, r->bytes.size()) << '\n';
          replies.Read(r->bytes, out);
          return;
        case Dir::kUnknown: stream.Feed(r->bytes, r->time); return;
      }
    };
    while (got > 0 && out && !tooMuchJunk()) {
      for (std::size_t i = 0; i < got; ++i) {
        if (chunk[i] == '\n') {
          finish();
          line.clear();
          overlong = false;
        } else if (line.size() < kMaxLine) {
          line += chunk[i];
        } else {
          overlong = true;  // a few MB at most, whatever the input
        }
      }
      in.read(chunk, sizeof chunk);
      got = static_cast<std::size_t>(in.gcount());
    }
    if (!line.empty() || overlong) finish();
  }
  stream.End();
  replies.End(out);
  decoded += stream.Decoded();
  if (tooMuchJunk()) {
    out << "stopped: " << kMaxJunk / (1024 * 1024) << " MB in a row held nothing to decode\n";
    if (decoded == 0) why = "nothing in it decodes (stopped after " + std::to_string(kMaxJunk / (1024 * 1024)) + " MB)";
    return decoded > 0;
  }
  if (decoded == 0) {
    why = binary ? "binary, and nothing in it decodes" : "no session log lines and no hex frames in it";
    return false;
  }
  // Bytes that are no capture find a short VISCA-like run now and then: a
  // raw log of the line is commands through and through.
  if (binary && stream.Strong() * 1024 < total) {
    why = "binary, and next to nothing in it decodes (" + std::to_string(stream.Strong()) + " commands or replies in " +
          std::to_string(total) + " bytes)";
    return false;
  }
  return true;
}
