#include "app/win32/console.h"

#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
bool Usable(HANDLE h) { return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN; }

// What a standard handle is, asked once per handle: script mode prints a
// line per command, and each question is a trip to Wine's server (per
// thread: the diagnostics come from more than one).
struct Kind {
  HANDLE handle = nullptr;
  bool usable = false, console = false;
};

bool Write(DWORD which, const std::string& text) {
  thread_local Kind kinds[2];  // standard output, standard error
  const HANDLE h = GetStdHandle(which);
  Kind& kind = kinds[which == STD_ERROR_HANDLE ? 1 : 0];
  if (kind.handle != h) {
    DWORD mode = 0;
    kind = {h, Usable(h), Usable(h) && GetConsoleMode(h, &mode)};
  }
  if (!kind.usable) return false;
  DWORD done = 0;
  if (kind.console) {
    const std::wstring w = Wide(text);
    return WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &done, nullptr) != 0;
  }
  return WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) != 0;
}
}  // namespace

void AttachParentConsole() {
  const bool out = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
  const bool err = Usable(GetStdHandle(STD_ERROR_HANDLE));
  if (out && err) return;  // pipes or files: keep them
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;  // started from Explorer: no console
  const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  if (!out) SetStdHandle(STD_OUTPUT_HANDLE, console);
  if (!err) SetStdHandle(STD_ERROR_HANDLE, console);
}

bool WriteOut(const std::string& text) { return Write(STD_OUTPUT_HANDLE, text); }
bool WriteErr(const std::string& text) { return Write(STD_ERROR_HANDLE, text); }

void Diagnose(const std::string& line) {
  if (!WriteErr(line + "\n")) OutputDebugStringW(Wide(line + "\n").c_str());
}
