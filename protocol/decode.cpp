#include "protocol/decode.h"

#include <algorithm>
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

std::string Hex(const Bytes& b, std::size_t at, std::size_t n) { return HexJoin(b.data() + at, n); }

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "7e-7e-44" or "7E 7E 44": pairs of hex digits; nothing for anything else.
std::optional<Bytes> ParseHex(const std::string& text) {
  Bytes out;
  std::string token;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    std::istringstream parts(word);
    for (std::string pair; std::getline(parts, pair, '-');) {
      if (pair.size() != 2 || Digit(pair[0]) < 0 || Digit(pair[1]) < 0) return std::nullopt;
      out.push_back(static_cast<std::uint8_t>(Digit(pair[0]) << 4 | Digit(pair[1])));
    }
  }
  if (out.empty()) return std::nullopt;
  return out;
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
}  // namespace

bool DecodeCapture(std::istream& in, std::ostream& out, std::string& why) {
  Replies replies;
  int decoded = 0, lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    // A session log line: time, direction, bytes.
    std::istringstream words(line);
    std::string time, direction, rest;
    words >> time >> direction;
    std::getline(words, rest);
    std::optional<Bytes> bytes;
    std::string head;
    bool received = false;
    if (direction == "--" && time.find('T') != std::string::npos) {
      out << line << '\n';  // the session log's note about the line itself
      continue;
    }
    if ((direction == "TX" || direction == "RX") && time.find('T') != std::string::npos && (bytes = ParseHex(rest))) {
      head = time + " " + direction + " ";
      received = direction == "RX";
    } else if ((bytes = ParseHex(line))) {  // a capture: one frame a line
      received = bytes->size() == kReplySize && (*bytes)[0] == kReplySync0 && (*bytes)[1] == kReplySync1;
      head = received ? "RX " : "TX ";
    } else {
      out << "line " << lineNumber << ": not a frame: " << line << '\n';
      continue;
    }
    ++decoded;
    if (received) {
      out << head << Hex(*bytes, 0, bytes->size()) << '\n';
      replies.Read(*bytes, out);
    } else {
      SayCommands(*bytes, head, out);
    }
  }
  replies.End(out);
  if (decoded == 0) {
    why = "no session log lines and no hex frames in it";
    return false;
  }
  return true;
}
