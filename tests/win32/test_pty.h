// Under Wine the tests' line is one port of a null-modem pair that the test
// runner (scripts/wine-run.sh) makes from two linked pseudo-terminals: the
// code under test opens path() ("COM31"), the test holds the other port
// ("COM32") as the far end. The same calls as the Linux TestPty, so the
// suites above it run unchanged; no <windows.h> here, so that this header
// can stand beside the panel's own DCB.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TestPty {
 public:
  // The next pair in turn, or the pair given (0 = COM31-COM32).
  explicit TestPty(int pair = -1);
  ~TestPty();
  TestPty(const TestPty&) = delete;
  TestPty& operator=(const TestPty&) = delete;

  bool ok() const { return m_far != nullptr; }
  const std::string& path() const { return m_path; }  // the port the code under test opens
  void CloseMaster();

  void Send(const std::vector<std::uint8_t>& bytes) const;
  // Up to n bytes from the far end, waiting at most timeoutMs in all.
  std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs = 2000) const;
  // Everything that arrives within quietMs of silence.
  std::vector<std::uint8_t> Drain(int quietMs = 100) const;

 private:
  void* m_far = nullptr;  // the far end's HANDLE
  std::string m_path;
};

// Waits until the driver has queued n bytes on the panel's side of the line.
bool WaitQueued(std::intptr_t handle, int n, int timeoutMs = 2000);
// The rate the port is set to now, as the driver reads it back.
std::optional<unsigned> DeviceBaud(std::intptr_t handle);
// The port's write time-outs: per byte and constant, in milliseconds.
std::pair<unsigned long, unsigned long> WriteTimeouts(std::intptr_t handle);
// GetLastError of CreateFileA on name exactly as given (no prefix added), 0
// when it opened.
unsigned long CreateFileError(const std::string& name);

// The null-modem pairs the runner links: COM31-COM32, COM33-COM34, ...
inline constexpr int kFirstPairPort = 31;
inline constexpr int kPairs = 4;

// A port name that reaches no device, and what the operator is told about it.
inline constexpr const char* kMissingPort = "COM20";  // see scripts/wine-run.sh
inline constexpr const char* kMissingReason = "no such port";
// The devices COM1 and COM21 reach when no --port maps them.
inline constexpr const char* kCom1Device = "\\\\.\\COM1";
inline constexpr const char* kCom21Device = "\\\\.\\COM21";
