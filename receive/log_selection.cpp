#include "receive/log_selection.h"

#include "receive/log_store.h"

void LogSelection::To(int row, bool extend, int rows) {
  if (rows <= 0) return Clear();
  row = std::clamp(row, 0, rows - 1);
  if (!extend || m_anchor < 0) m_anchor = row;
  m_current = row;
}

void LogSelection::All(int rows) {
  if (rows <= 0) return Clear();
  m_anchor = 0;
  m_current = rows - 1;
}

std::string LogSelection::Text(const LogStore& store) const {
  std::string text;
  if (Empty()) return text;
  const auto last = std::min<std::size_t>(static_cast<std::size_t>(Last()) + 1, store.Size());
  for (auto row = static_cast<std::size_t>(First()); row < last; ++row) text += store.Line(row) + "\n";
  return text;
}
