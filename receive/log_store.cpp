#include "receive/log_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "protocol/frame.h"
#include "receive/block_memory.h"
#include "receive/recv_log.h"

namespace {
// Each record starts with what it holds.
enum Kind : std::uint8_t {
  kText = 0,      // the line's bytes as they are
  kCaption = 1,   // the read's caption line, no payload
  kHex = 2,       // bytes, shown as two lowercase digits each joined by "-"
  kDashHex = 3,   // the same after a leading "-" (the later lines of a read)
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // upper case is not how the log writes bytes: kept as text
}

// The bytes of a line exactly as HexJoin would write them, or false.
bool PackHex(std::string_view s, std::vector<std::uint8_t>& out) {
  out.clear();
  if (s.size() % 3 != 2) return false;
  for (std::size_t i = 0; i < s.size(); i += 3) {
    const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0 || (i + 2 < s.size() && s[i + 2] != '-')) return false;
    out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return true;
}

constexpr std::size_t kPage = 4096;
std::size_t Pages(std::size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }
}  // namespace

LogStore::~LogStore() { Clear(); }

void LogStore::Clear() {
  for (const Block& b : m_blocks) UnmapBlock(b.base, b.mapped);
  std::vector<Block>().swap(m_blocks);
  m_lines = 0;
}

LogStore::Block& LogStore::BlockFor(std::size_t recordBytes) {
  if (!m_blocks.empty()) {
    Block& last = m_blocks.back();
    if (last.lines < kBlockLines && last.textCapacity - last.used >= recordBytes) return last;
  }
  // A line longer than a block (no read makes one) gets a block of its own.
  const std::size_t textCapacity = std::max(kBlockTextBytes, Pages(recordBytes));
  const std::size_t endsBytes = kBlockLines * sizeof(std::uint32_t);
  const std::size_t mapped = endsBytes + textCapacity;
  void* base = MapBlock(mapped);
  if (!base) throw std::bad_alloc();
  auto* bytes = static_cast<std::uint8_t*>(base);
  m_blocks.push_back({base, mapped, reinterpret_cast<std::uint32_t*>(bytes), bytes + endsBytes, textCapacity,
                      m_lines, 0, 0});
  return m_blocks.back();
}

void LogStore::Append(std::string_view line) {
  Kind kind = kText;
  std::string_view payload = line;
  if (line == kRecvCaption) {
    kind = kCaption;
    payload = {};
  } else if (PackHex(line, m_packed)) {
    kind = kHex;
  } else if (!line.empty() && line[0] == '-' && PackHex(line.substr(1), m_packed)) {
    kind = kDashHex;
  }
  if (kind == kHex || kind == kDashHex)
    payload = std::string_view(reinterpret_cast<const char*>(m_packed.data()), m_packed.size());
  Block& b = BlockFor(1 + payload.size());
  b.text[b.used] = kind;
  if (!payload.empty()) std::memcpy(b.text + b.used + 1, payload.data(), payload.size());
  b.used += 1 + payload.size();
  b.ends[b.lines++] = static_cast<std::uint32_t>(b.used);
  ++m_lines;
}

std::string LogStore::Line(std::size_t index) const {
  if (index >= m_lines) return {};
  const auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), index,
                                   [](std::size_t i, const Block& b) { return i < b.firstLine; });
  const Block& b = *(it - 1);
  const std::size_t k = index - b.firstLine;
  const std::size_t begin = k ? b.ends[k - 1] : 0;
  const std::uint8_t* record = b.text + begin;
  const std::size_t n = b.ends[k] - begin - 1;
  switch (record[0]) {
    case kCaption: return kRecvCaption;
    case kHex: return HexJoin(record + 1, n);
    case kDashHex: return "-" + HexJoin(record + 1, n);
    default: return std::string(reinterpret_cast<const char*>(record + 1), n);
  }
}

std::size_t LogStore::MemoryBytes() const {
  std::size_t total = m_blocks.capacity() * sizeof(Block);
  for (const Block& b : m_blocks) total += Pages(b.lines * sizeof(std::uint32_t)) + Pages(b.used);
  return total;
}
