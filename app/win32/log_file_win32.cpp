// The session log's file on Windows: a disk file only (not a device such as
// COM1, CON or NUL, nor a pipe).
#include <fcntl.h>
#include <io.h>

#include "app/session_log.h"
#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

std::FILE* OpenLogFile(const std::string& path, std::string& why) {
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "error " + std::to_string(GetLastError());
    return nullptr;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    why = "not a plain file";
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_APPEND | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    why = "cannot use it";
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "ab");
  if (!file) {
    _close(fd);
    why = "cannot use it";
  }
  return file;
}
