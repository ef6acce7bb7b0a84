#include "sim/sim_device.h"

#include <algorithm>

void SimDevice::FromPanel(const std::uint8_t* bytes, std::size_t n) {
  std::vector<SimReply> replies = m_gimbal.Feed(bytes, n, Gimbal::Clock::now());
  if (m_sink)
    for (const std::string& line : m_gimbal.TakeTrace()) m_sink(line);
  for (SimReply& r : replies) m_pending.push_back(std::move(r));
  std::stable_sort(m_pending.begin(), m_pending.end(),
                   [](const SimReply& a, const SimReply& b) { return a.due < b.due; });
}

std::size_t SimDevice::ToPanel(std::uint8_t* buffer, std::size_t max) {
  const auto now = Gimbal::Clock::now();
  while (!m_pending.empty() && m_pending.front().due <= now) {
    m_readable.insert(m_readable.end(), m_pending.front().bytes.begin(), m_pending.front().bytes.end());
    m_pending.pop_front();
  }
  const std::size_t n = std::min(max, m_readable.size());
  std::copy_n(m_readable.begin(), n, buffer);
  m_readable.erase(m_readable.begin(), m_readable.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}
