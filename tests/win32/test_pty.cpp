#include "test_pty.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace {
HANDLE H(void* h) { return static_cast<HANDLE>(h); }
}  // namespace

TestPty::TestPty(int pair) {
  // Tests that follow each other take the pairs in turn, so that a byte still
  // on its way from one test never reaches the next.
  static int next = 0;
  if (pair < 0) pair = next++ % kPairs;
  const int port = kFirstPairPort + 2 * pair;
  m_path = "COM" + std::to_string(port);
  const std::string farName = "\\\\.\\COM" + std::to_string(port + 1);
  const HANDLE h = CreateFileA(farName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 57600;
  dcb.fBinary = 1;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;  // ReadFile returns at once with what is there
  if (!SetCommState(h, &dcb) || !SetCommTimeouts(h, &t)) {
    CloseHandle(h);
    return;
  }
  m_far = h;
  Drain(20);
}

TestPty::~TestPty() { CloseMaster(); }

void TestPty::CloseMaster() {
  if (m_far) CloseHandle(H(m_far));
  m_far = nullptr;
}

void TestPty::Send(const std::vector<std::uint8_t>& bytes) const {
  DWORD written = 0;
  if (m_far) WriteFile(H(m_far), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<std::uint8_t> TestPty::Receive(std::size_t n, int timeoutMs) const {
  std::vector<std::uint8_t> out;
  if (!m_far) return out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < n) {
    std::uint8_t buf[512];
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buf, n - out.size()));
    if (!ReadFile(H(m_far), buf, want, &got, nullptr)) break;
    out.insert(out.end(), buf, buf + got);
    if (got) continue;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return out;
}

std::vector<std::uint8_t> TestPty::Drain(int quietMs) const {
  std::vector<std::uint8_t> out;
  for (;;) {
    auto more = Receive(4096, quietMs);
    if (more.empty()) return out;
    out.insert(out.end(), more.begin(), more.end());
  }
}

bool WaitQueued(std::intptr_t handle, int n, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    // ClearCommError is the only way to ask; the pairs carry no line errors,
    // so it takes none away from the code under test.
    DWORD errors = 0;
    COMSTAT stat{};
    if (ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &stat) && stat.cbInQue >= static_cast<DWORD>(n))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::optional<unsigned> DeviceBaud(std::intptr_t handle) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(reinterpret_cast<HANDLE>(handle), &dcb)) return std::nullopt;
  return static_cast<unsigned>(dcb.BaudRate);
}

unsigned long CreateFileError(const std::string& name) {
  const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  return 0;
}

std::pair<unsigned long, unsigned long> WriteTimeouts(std::intptr_t handle) {
  COMMTIMEOUTS t{};
  if (!GetCommTimeouts(reinterpret_cast<HANDLE>(handle), &t)) return {0, 0};
  return {t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
}
