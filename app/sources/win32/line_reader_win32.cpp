// Script lines from a file or standard input, on a thread of its own. A read
// of standard input cannot be woken: when the runner goes first, the thread
// is left to the process's end and hands its lines to no one.
#include <thread>

#include "app/sources/script_runner.h"
#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
class Win32LineReader : public LineReader {
 public:
  Win32LineReader(HANDLE in, bool own) : m_in(in), m_own(own) {}
  ~Win32LineReader() override {
    if (m_thread.joinable()) m_thread.detach();
    else if (m_own) CloseHandle(m_in);
  }

  void Start(std::function<void(std::string)> onLine, std::function<void()> onEnd) override {
    m_thread = std::thread([in = m_in, own = m_own, onLine = std::move(onLine), onEnd = std::move(onEnd)] {
      std::string pending;
      char buf[4096];
      DWORD got = 0;
      while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
        pending.append(buf, got);
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
          onLine(pending.substr(0, nl));
          pending.erase(0, nl + 1);
        }
      }
      if (!pending.empty()) onLine(pending);
      onEnd();
      if (own) CloseHandle(in);
    });
  }

 private:
  HANDLE m_in;
  bool m_own;
  std::thread m_thread;
};
}  // namespace

std::unique_ptr<LineReader> LineReader::Open(const std::string& path, std::string& why) {
  const bool own = path != "-";
  HANDLE in = own ? CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                  : GetStdHandle(STD_INPUT_HANDLE);
  if (!in || in == INVALID_HANDLE_VALUE) {
    why = own ? SystemMessage(GetLastError()) : "no standard input";
    return nullptr;
  }
  return std::make_unique<Win32LineReader>(in, own);
}
