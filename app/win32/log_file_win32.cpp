// The session log's file on Windows: a disk file only (not a device such as
// COM1, CON or NUL, nor a pipe).
#include <fcntl.h>
#include <io.h>

#include "app/session_log.h"
#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
// The reasons in the words the Linux panel uses for the same cases, so that an
// operator (and a script) reads one text on both; else the system's own.
std::string Reason(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return "No such file or directory";
    case ERROR_ACCESS_DENIED: return "Permission denied";
    case ERROR_WRITE_PROTECT: return "Read-only file system";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "No space left on device";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "in use by another program";
    default: break;
  }
  return SystemMessage(code);
}
}  // namespace

std::FILE* OpenLogFile(const std::string& path, std::string& why) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    why = "Is a directory";  // Windows says only "access denied" for it
    return nullptr;
  }
  // Write access as well as appending: a line the disk stops part way is cut back.
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = Reason(GetLastError());
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

bool AppendLogLine(std::FILE* file, const std::string& line, std::string& why) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER end{};
  if (h == INVALID_HANDLE_VALUE || !SetFilePointerEx(h, LARGE_INTEGER{}, &end, FILE_END)) {
    why = Reason(GetLastError());
    return false;
  }
  std::size_t done = 0;
  while (done < line.size()) {
    DWORD n = 0;
    if (!WriteFile(h, line.data() + done, static_cast<DWORD>(line.size() - done), &n, nullptr) || n == 0) {
      why = Reason(GetLastError());
      if (done > 0 && SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) SetEndOfFile(h);  // no torn line
      return false;
    }
    done += n;
  }
  return true;
}
