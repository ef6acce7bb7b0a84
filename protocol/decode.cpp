#include "protocol/decode.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <cctype>
#include <functional>
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

// ---- hex dumps: an offset column, the bytes, perhaps their text -------------
//
// As the tools print them (each has a test with the real tool's output):
//   hexdump -C     "00000010  7e 7e 44 00 00 8b 02 00  00 00 ...  |~~D.......|"
//   hexdump, od -x "0000010 7e7e 0044 8b00 0002 ..."   16-bit words, low byte first
//   od             "0000020 077176 000104 105400 ..."   octal words, low byte first
//   od -t x1       "0000020 7e 7e 44 00 ..."          octal offset
//   od -A x -t x1z "000010 7e 7e 44 00 ...  >~~D....<"
//   xxd            "00000010: 7e7e 4400 008b ...  ~~D....."  groups in byte order
//   packet analysers' text export "0010  7e 7e 44 00 ...   ~~D....." offsets from 0 a packet
// The offset (4 to 8 digits, hexadecimal or octal, a colon or not) is never
// data; a text column is cut where it begins; "*" stands for rows like the
// one before, as many as the next offset says; an offset alone ends a dump
// and gives its length (a word dump's last word may hold a padding byte).
struct DumpGroup {
  std::size_t digits;
  int base;            // of the digits
  std::size_t bytes;   // a group holds
  bool lowFirst;       // without a colon: a host-order word, low byte first
};
constexpr DumpGroup kDumpGroups[] = {
    {2, 16, 1, false},  // bytes: hexdump -C, od -t x1, analysers
    {4, 16, 2, true},   // words: hexdump, od -x (xxd: in byte order)
    {6, 8, 2, true},    // octal words: od
    {8, 16, 4, true},   // double words: od -t x4 (xxd -g4: in byte order)
};

struct DumpRow {
  std::uint64_t hex = 0, oct = 0;  // the offset read either way
  bool octal = false;              // its digits could be octal
  std::size_t width = 0;           // of the offset
  bool colon = false, text = false, endOnly = false;
  std::size_t group = 0;
  Bytes bytes;
};

std::optional<DumpRow> ReadDumpRow(std::string_view line) {
  DumpRow r;
  std::size_t i = 0;
  r.octal = true;
  while (i < line.size() && i < 9 && IsHex(line[i])) {
    r.hex = r.hex * 16 + static_cast<unsigned>(Digit(line[i]));
    r.oct = r.oct * 8 + static_cast<unsigned>(Digit(line[i]) & 7);
    r.octal = r.octal && line[i] >= '0' && line[i] <= '7';
    ++i;
  }
  if (i < 4 || i > 8) return std::nullopt;
  r.width = i;
  if (i < line.size() && line[i] == ':') r.colon = true, ++i;
  if (i == line.size()) {
    r.endOnly = true;
    return r;
  }
  if (line[i] != ' ' && line[i] != '\t') return std::nullopt;
  std::string_view data = line.substr(i);
  // A text column between delimiters, or after two blanks or more.
  const auto bar = data.find('|'), angle = data.find('>');
  if (bar != std::string_view::npos && line.back() == '|') data = data.substr(0, bar), r.text = true;
  else if (angle != std::string_view::npos && line.back() == '<') data = data.substr(0, angle), r.text = true;
  data = TrimView(data);
  if (!r.text)
    if (const auto gap = data.find("  "); gap != std::string_view::npos) {
      data = data.substr(0, gap);
      r.text = true;
    }
  if (data.empty()) return std::nullopt;
  std::vector<std::string_view> tokens;
  for (std::size_t at = 0; at < data.size();) {
    const auto end = std::min(data.find_first_of(" \t", at), data.size());
    tokens.push_back(data.substr(at, end - at));
    at = data.find_first_not_of(" \t", end);
    if (at == std::string_view::npos) break;
  }
  const std::size_t digits = tokens.front().size();
  const auto group = std::find_if(std::begin(kDumpGroups), std::end(kDumpGroups),
                                  [&](const DumpGroup& g) { return g.digits == digits && !(r.colon && g.base == 8); });
  if (group == std::end(kDumpGroups)) return std::nullopt;
  r.group = static_cast<std::size_t>(group - std::begin(kDumpGroups));
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const std::string_view tok = tokens[t];
    // xxd ends an odd count with a shorter group; every other tool pads it.
    const bool shorter = r.colon && t + 1 == tokens.size() && tok.size() < digits && tok.size() % 2 == 0;
    if (tok.size() != digits && !shorter) return std::nullopt;
    std::uint64_t v = 0;
    for (const char ch : tok) {
      const int d = Digit(ch);
      if (d < 0 || d >= group->base) return std::nullopt;
      v = v * static_cast<unsigned>(group->base) + static_cast<unsigned>(d);
    }
    const std::size_t n = shorter ? tok.size() / 2 : group->bytes;
    if (n < 8 && v >> (8 * n)) return std::nullopt;  // an octal word beyond 16 bits
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t shift = r.colon || !group->lowFirst ? 8 * (n - 1 - k) : 8 * k;
      r.bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    }
  }
  return r;
}

// The dump being read: where its rows are, the row before, the one held back
// until the next line says whether its last byte is padding.
class Dump {
 public:
  using Sink = std::function<void(const Bytes&)>;
  // Whether the line was a row of a dump (then it is taken); what it adds
  // goes to sink, what is wrong with it to out.
  bool Take(std::string_view line, long lineNumber, std::ostream& out, const Sink& sink) {
    if (line == "*" && m_active) {
      m_star = true;
      return true;
    }
    std::optional<DumpRow> r = ReadDumpRow(line);
    if (!r) return false;
    const bool same = m_active && r->width == m_width && r->colon == m_colon;
    const bool starts = (r->hex == 0 && !r->endOnly) || r->colon || r->text;
    if (!same && !starts) return false;
    if (!same || (r->hex == 0 && !r->endOnly)) Begin(*r, sink);
    const std::uint64_t hexAt = r->hex - m_startHex, octAt = r->oct - m_startOct;
    const bool hexFollows = m_hex && hexAt == m_count, octFollows = m_oct && r->octal && octAt == m_count;
    if (m_star) {
      m_star = false;
      // Which way the offsets count is known once two rows followed; until
      // then, the way in which the rows left out are whole rows.
      const auto whole = [&](std::uint64_t at) { return !m_last.empty() && at > m_count && (at - m_count) % m_last.size() == 0; };
      if (m_hex && m_oct && !whole(hexAt) && whole(octAt) && r->octal) m_hex = false;
      const std::uint64_t at = m_hex ? hexAt : octAt;
      if (whole(at)) {
        if (at - m_count > kMaxRepeat) {
          out << "line " << lineNumber << ": " << at - m_count << " bytes like the row before left out (more than "
              << kMaxRepeat << ")\n";
        } else {
          Flush(sink);
          for (std::uint64_t k = 0; k < (at - m_count) / m_last.size(); ++k) sink(m_last);
        }
        m_count = at;
      }
    } else if (!hexFollows && !octFollows && m_count > 0 && !r->endOnly) {
      Flush(sink);
      out << "line " << lineNumber << ": the offset does not follow the row before; bytes may be missing\n";
    }
    if (hexFollows && !octFollows) m_oct = false;
    if (octFollows && !hexFollows) m_hex = false;
    if (r->endOnly) {
      // The dump's length: what the last row held beyond it was padding.
      const std::uint64_t at = m_hex ? hexAt : octAt;
      if (at < m_count && m_count - at < m_held.size()) m_held.resize(m_held.size() - (m_count - at));
      Flush(sink);
      m_active = false;
      return true;
    }
    Flush(sink);
    m_held = r->bytes;
    m_last = r->bytes;
    m_count = (m_hex ? hexAt : octAt) + r->bytes.size();
    return true;
  }
  void Flush(const Sink& sink) {
    if (!m_held.empty()) sink(m_held);
    m_held.clear();
  }

 private:
  static constexpr std::uint64_t kMaxRepeat = 4096;
  void Begin(const DumpRow& r, const Sink& sink) {
    Flush(sink);
    m_active = true;
    m_width = r.width;
    m_colon = r.colon;
    m_startHex = r.hex;
    m_startOct = r.oct;
    m_hex = true;
    m_oct = r.octal;
    m_count = 0;
    m_star = false;
    m_last.clear();
  }
  bool m_active = false, m_colon = false, m_star = false, m_hex = true, m_oct = true;
  std::size_t m_width = 0;
  std::uint64_t m_startHex = 0, m_startOct = 0, m_count = 0;
  Bytes m_last, m_held;
};

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
// Hex dumps are read before these, by Dump: their rows depend on the row before.
constexpr Format kFormats[] = {
    {"session log", SessionLogLine},
    {"time-stamped hex", StampedLine},
    {"hex", PlainHexLine},
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
  // Each byte keeps the time of the line it came on: a frame wrapped over
  // several lines is said with the time of the line it began on.
  void Feed(const Bytes& b, const std::string& time) {
    if (m_marks.empty() || m_marks.back().second != time) m_marks.emplace_back(m_pending.size(), time);
    m_pending.insert(m_pending.end(), b.begin(), b.end());
    Scan(false);
  }
  void End() { Scan(true); }
  int Decoded() const { return m_decoded; }
  // Of those, what checks beyond doubt: frames with their checksum and a
  // known code, known VISCA commands, replies, acknowledges and completions.
  std::uint64_t Strong() const { return m_strong; }
  // Bytes in a row that were nothing: past kMaxJunk the input is no capture.
  std::size_t Junk() const { return m_junk; }

 private:
  std::string Head(Dir d, std::size_t at) const {
    std::string time;
    for (const auto& [from, t] : m_marks)
      if (from <= at) time = t;
    return (time.empty() ? std::string() : time + " ") + (d == Dir::kTx ? "TX " : d == Dir::kRx ? "RX " : "");
  }
  void Scan(bool end) {
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
        const std::string head = Head(Dir::kTx, at);
        if (n < kFrameSize) m_out << head << "too short (" << n << " bytes): " << HexJoin(p, n) << '\n';
        else if (CheckFrame(f) == FrameCheck::kBadChecksum) m_out << head << "bad checksum: " << HexJoin(p, n) << '\n';
        else if (!CommandName(ReadCode(f))) m_out << head << DescribeFrame(f) << ": " << HexJoin(p, n) << '\n';
        else {
          m_out << head << DescribeFrame(f) << '\n';
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
            m_out << Head(Dir::kTx, at) << (known ? DescribeVisca(c) : "VISCA command: " + HexJoin(p, n)) << '\n';
            m_strong += known;
          } else {
            const int kind = n == 3 ? p[1] >> 4 : 0;
            m_strong += kind == 4 || kind == 5;
            m_out << Head(Dir::kRx, at) << HexJoin(p, n) << "\n    camera: "
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
            m_out << Head(Dir::kRx, at) << HexJoin(p, kReplySize) << "\n    reply: " << line << '\n';
            took = kReplySize;
            ++m_strong;
          }
        }
      }
      if (took) {
        SayJunk();
        ++m_decoded;
        m_junk = 0;
        at += took;
        continue;
      }
      if (m_junkRun.empty()) m_junkAt = at;
      m_junkRun.push_back(*p);
      ++m_junk;
      ++at;
      if (m_junkRun.size() == 32) SayJunk();
    }
    SayJunk();
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(at));
    // The marks move with the bytes; the one the first byte left came on stays.
    std::vector<std::pair<std::size_t, std::string>> marks;
    for (auto& [from, t] : m_marks) {
      if (from <= at && !marks.empty()) marks.clear();
      marks.emplace_back(from <= at ? 0 : from - at, std::move(t));
    }
    m_marks = std::move(marks);
  }
  void SayJunk() {
    if (m_junkRun.empty()) return;
    m_out << Head(Dir::kUnknown, m_junkAt) << "bytes: " << HexJoin(m_junkRun.data(), m_junkRun.size()) << '\n';
    m_junkRun.clear();
  }

  std::ostream& m_out;
  Bytes m_pending, m_junkRun;
  std::size_t m_junkAt = 0;
  std::vector<std::pair<std::size_t, std::string>> m_marks;  // from which byte of m_pending each time holds
  int m_decoded = 0;
  std::uint64_t m_strong = 0;
  std::size_t m_junk = 0;
};
}  // namespace


namespace {
// What is said before the input is known to be a capture waits here: input
// that is none is said in one line, not after pages of its bytes.
class HeldOutput : public std::streambuf {
 public:
  explicit HeldOutput(std::ostream& out) : m_out(out) { setp(m_block, m_block + sizeof m_block); }
  ~HeldOutput() override { sync(); }
  void Release() {
    sync();
    m_out << m_held;
    m_held = std::string();
    m_released = true;
  }

 protected:
  int overflow(int c) override {
    sync();
    if (c != traits_type::eof()) sputc(static_cast<char>(c));
    return c == traits_type::eof() ? 0 : c;
  }
  int sync() override {
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    if (m_released) m_out.write(pbase(), static_cast<std::streamsize>(n));
    else m_held.append(pbase(), n);
    setp(m_block, m_block + sizeof m_block);
    return 0;
  }

 private:
  std::ostream& m_out;
  std::string m_held;
  bool m_released = false;
  char m_block[16 * 1024];
};

// Bytes no text holds: control bytes but the line ends and tabs, and what is
// not UTF-8. A stray NUL in a log is a few in thousands; a program, a picture
// or a raw log of the line is full of them.
std::size_t OddBytes(const char* text, std::size_t n) {
  std::size_t odd = 0;
  for (std::size_t i = 0; i < n;) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 && c >= 0xC2 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = len > 0 && i + len <= n && !(c < 0x20 && c != '\n' && c != '\r' && c != '\t') && c != 0x7F;
    for (std::size_t k = 1; ok && k < len; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!ok && i + len > n && len > 1) ok = true;  // a character cut by the block's end
    odd += !ok;
    i += ok ? len : 1;
  }
  return odd;
}

// How it begins, for the one line that says it is no capture.
std::string Beginning(const char* data, std::size_t n, bool binary) {
  if (!binary) {
    const std::string_view text(data, n);
    return "its first line: " + Printable(text.substr(0, std::min<std::size_t>(text.find('\n'), 64)));
  }
  const std::size_t k = std::min<std::size_t>(n, 16);
  std::string shown;
  for (std::size_t i = 0; i < k; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
  }
  return "it begins " + HexJoin(reinterpret_cast<const std::uint8_t*>(data), k) + " |" + shown + "|";
}
}  // namespace

bool DecodeCapture(std::istream& in, std::ostream& out, std::string& why) {
  HeldOutput held(out);
  std::ostream said(&held);
  Replies replies;
  Stream stream(said);
  Dump dump;
  int decoded = 0;
  long lineNumber = 0, linesRead = 0, linesSeen = 0, sessionLines = 0;
  char chunk[64 * 1024];
  // Text or bytes as they were on the wire (tio's and picocom's logs): told
  // by the first block.
  in.read(chunk, sizeof chunk);
  std::size_t got = static_cast<std::size_t>(in.gcount());
  if (got == 0) {
    why = "empty: nothing to decode";
    return false;
  }
  const std::size_t sniff = std::min<std::size_t>(got, 4096);
  const bool binary = OddBytes(chunk, sniff) * 50 > sniff;
  const std::string beginning = Beginning(chunk, got, binary);
  std::uint64_t total = 0;  // bytes of a binary input
  // Whether this is a capture at all, from its first block: said at once if
  // not, with nothing of it printed.
  bool decided = false;
  auto judge = [&]() -> bool {
    decided = true;
    const bool capture = binary ? stream.Strong() > 0 && stream.Strong() * 1024 >= total
                                : linesRead * 2 >= linesSeen && (decoded + stream.Decoded() > 0 || sessionLines > 0);
    if (capture) {
      held.Release();  // from here on it goes out as it is said
      return true;
    }
    if (binary) {
      why = "not a capture: binary, and next to nothing in its first " + std::to_string(total) + " bytes decodes (" +
            std::to_string(stream.Strong()) + (stream.Strong() == 1 ? " command or reply); " : " commands or replies); ") +
            beginning;
      return false;
    }
    why = "not a capture: " + std::to_string(linesSeen - linesRead) + " of its first " + std::to_string(linesSeen) +
          " lines are no session log line, hex dump row or hex frame, and " +
          (decoded + stream.Decoded() > 0 ? "few" : "none") + " of them decode; " + beginning;
    return false;
  };
  auto tooMuchJunk = [&] { return stream.Junk() >= kMaxJunk; };
  const Dump::Sink feed = [&](const Bytes& b) { stream.Feed(b, ""); };
  if (binary) {
    while (got > 0 && out) {
      total += got;
      stream.Feed(Bytes(chunk, chunk + got), "");
      if (!decided && !judge()) return false;
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
        said << "line " << lineNumber << ": longer than " << kMaxLine << " characters; the rest of it skipped\n";
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string_view text = TrimView(line);
      if (text.empty()) return;
      ++linesSeen;
      if (dump.Take(text, lineNumber, said, feed)) {
        ++linesRead;
        return;
      }
      dump.Flush(feed);
      std::optional<LineRead> r;
      const Format* format = nullptr;
      for (const Format& f : kFormats)
        if ((r = f.read(text))) {
          format = &f;
          break;
        }
      if (!r) {
        said << "line " << lineNumber << ": not a frame: " << Printable(text) << '\n';
        return;
      }
      ++linesRead;
      sessionLines += format == &kFormats[0];
      const std::string head = r->time.empty() ? std::string() : r->time + " ";
      switch (r->dir) {
        case Dir::kSkip: return;
        case Dir::kNote: said << Printable(text) << '\n'; return;
        case Dir::kTx:
          ++decoded;
          SayCommands(r->bytes, head + "TX ", said);
          return;
        case Dir::kRx:
          ++decoded;
          said << head << "RX " << Hex(r->bytes, 0, r->bytes.size()) << '\n';
          replies.Read(r->bytes, said);
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
      if (!decided && linesSeen > 0 && !judge()) return false;
      in.read(chunk, sizeof chunk);
      got = static_cast<std::size_t>(in.gcount());
    }
    if (!line.empty() || overlong) finish();
    dump.Flush(feed);
  }
  stream.End();
  replies.End(said);
  if (!decided && !judge()) return false;
  decoded += stream.Decoded();
  if (tooMuchJunk()) {
    said << "stopped: " << kMaxJunk / (1024 * 1024) << " MB in a row held nothing to decode\n";
    if (decoded == 0) why = "nothing in it decodes (stopped after " + std::to_string(kMaxJunk / (1024 * 1024)) + " MB)";
    return decoded > 0;
  }
  if (decoded == 0) {
    why = binary ? "binary, and nothing in it decodes" : "no session log lines and no hex frames in it";
    return false;
  }
  said.flush();
  // Bytes that are no capture find a short VISCA-like run now and then: a
  // raw log of the line is commands through and through.
  if (binary && stream.Strong() * 1024 < total) {
    why = "binary, and next to nothing in it decodes (" + std::to_string(stream.Strong()) + " commands or replies in " +
          std::to_string(total) + " bytes)";
    return false;
  }
  return true;
}
