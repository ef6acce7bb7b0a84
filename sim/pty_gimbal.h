// The simulated gimbal on a pseudo-terminal, served by a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "sim/gimbal.h"

class PtyGimbal {
 public:
  explicit PtyGimbal(SimOptions options = {});
  ~PtyGimbal();
  // Opens the pseudo-terminal and starts serving; false with a reason.
  bool Start(std::string* error = nullptr);
  void Stop();
  const std::string& Path() const { return m_path; }  // the device the panel opens
  // Receives every trace line (from the serving thread).
  void SetTraceSink(std::function<void(const std::string&)> sink) { m_sink = std::move(sink); }

 private:
  void Serve();

  SimOptions m_options;
  Gimbal m_gimbal;  // touched by the serving thread only
  int m_master = -1, m_slave = -1;
  int m_wake[2] = {-1, -1};
  std::string m_path;
  std::thread m_thread;
  std::function<void(const std::string&)> m_sink;
};
