// The received-data log's lines, packed into one growing buffer: the log only
// grows, nothing limits it, and a million lines must stay cheap to append to
// and to hold (about the line's own bytes plus an offset each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LogStore {
 public:
  void Append(std::string_view line);
  void Clear();
  std::size_t Size() const { return m_ends.size(); }
  std::string_view Line(std::size_t index) const;
  std::size_t MemoryBytes() const { return m_text.capacity() + m_ends.capacity() * sizeof(std::uint64_t); }

 private:
  std::string m_text;                // all lines back to back
  std::vector<std::uint64_t> m_ends;  // end offset of each line in m_text
};
