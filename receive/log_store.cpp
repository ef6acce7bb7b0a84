#include "receive/log_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "receive/block_memory.h"
#include "receive/recv_log.h"

namespace {
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

void LogStore::Append(const LogLine& line) {
  // A record: the kind, then the line's bytes as they came.
  const std::string_view payload = line.kind == LogKind::kCaption ? std::string_view() : line.bytes;
  Block& b = BlockFor(1 + payload.size());
  b.text[b.used] = static_cast<std::uint8_t>(line.kind);
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
  const std::string_view bytes(reinterpret_cast<const char*>(record + 1), n);
  return FormatLogLine({static_cast<LogKind>(record[0]), bytes});
}

std::size_t LogStore::MemoryBytes() const {
  std::size_t total = m_blocks.capacity() * sizeof(Block);
  for (const Block& b : m_blocks) total += Pages(b.lines * sizeof(std::uint32_t)) + Pages(b.used);
  return total;
}
