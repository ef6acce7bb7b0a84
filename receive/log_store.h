// The received-data log's lines. The log only grows (nothing limits it) and a
// poll must never pause to move what is already stored, so lines go into
// fixed-size blocks taken whole from the system: appending fills the last
// block or starts a new one, and nothing stored is ever copied. A line is
// kept as its kind and the bytes that arrived (17 bytes for a line shown as
// 50 characters) and formatted only when it is shown, so a million lines
// cost about 18 MB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receive/recv_log.h"

class LogStore {
 public:
  LogStore() = default;
  ~LogStore();
  LogStore(const LogStore&) = delete;
  LogStore& operator=(const LogStore&) = delete;

  void Append(const LogLine& line);
  // Gives every block back to the system.
  void Clear();
  std::size_t Size() const { return m_lines; }
  // The line as appended; empty past the end.
  std::string Line(std::size_t index) const;
  // The memory the stored lines occupy (the pages written, and the block table).
  std::size_t MemoryBytes() const;

  static constexpr std::size_t kBlockTextBytes = 1 << 20;
  static constexpr std::size_t kBlockLines = 1 << 16;

 private:
  struct Block {
    void* base;
    std::size_t mapped;
    std::uint32_t* ends;  // end of each line's record in text
    std::uint8_t* text;   // the records back to back
    std::size_t textCapacity;
    std::size_t firstLine;
    std::size_t lines;
    std::size_t used;
  };
  Block& BlockFor(std::size_t recordBytes);

  std::vector<Block> m_blocks;
  std::size_t m_lines = 0;
};
