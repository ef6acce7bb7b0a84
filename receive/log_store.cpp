#include "receive/log_store.h"

void LogStore::Append(std::string_view line) {
  m_text.append(line);
  m_ends.push_back(m_text.size());
}

void LogStore::Clear() {
  std::string().swap(m_text);
  std::vector<std::uint64_t>().swap(m_ends);
}

std::string_view LogStore::Line(std::size_t index) const {
  if (index >= m_ends.size()) return {};
  const std::uint64_t begin = index ? m_ends[index - 1] : 0;
  return std::string_view(m_text).substr(begin, m_ends[index] - begin);
}
