// The simulated gimbal inside the program, behind the port operations
// (serial/in_process.h): what the panel writes is fed to it at once, its
// replies become readable when they are due. No thread: the poll asks.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "serial/in_process.h"
#include "sim/gimbal.h"

class SimDevice : public InProcessDevice {
 public:
  static constexpr const char* kName = "sim:gimbal";

  explicit SimDevice(SimOptions options = {}) : m_gimbal(options) {}
  void FromPanel(const std::uint8_t* bytes, std::size_t n) override;
  std::size_t ToPanel(std::uint8_t* buffer, std::size_t max) override;

  // Receives every trace line, when tracing.
  void SetTraceSink(std::function<void(const std::string&)> sink) { m_sink = std::move(sink); }
  const Gimbal& gimbal() const { return m_gimbal; }

 private:
  Gimbal m_gimbal;
  std::deque<SimReply> m_pending;        // by due time
  std::deque<std::uint8_t> m_readable;   // due, not yet read
  std::function<void(const std::string&)> m_sink;
};
