// The simulated gimbal on a pseudo-terminal, or behind a TCP port as a raw
// serial device server would put it (varnel-sim --listen), served by a
// thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
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
  // Listens on host:port instead, for one client at a time: another one is
  // told "Port already in use" and closed, as ser2net does. Port 0 takes a
  // free one (Path() then names it: tcp://127.0.0.1:PORT).
  bool Listen(const std::string& host, std::uint16_t port, std::string* error = nullptr);
  void Stop();
  const std::string& Path() const { return m_path; }  // the device (or URL) the panel opens
  // Receives every trace line (from the serving thread).
  void SetTraceSink(std::function<void(const std::string&)> sink) { m_sink = std::move(sink); }

 private:
  void Serve();
  void Accept();
  bool StartThread(std::string* error);

  SimOptions m_options;
  Gimbal m_gimbal;  // touched by the serving thread only
  int m_master = -1, m_slave = -1;  // the pseudo-terminal; or the client, and no slave
  int m_listen = -1;
  int m_wake[2] = {-1, -1};
  std::string m_path;
  std::thread m_thread;
  std::function<void(const std::string&)> m_sink;
};
