// A pad's profiles on Windows: the operator's in %APPDATA%\Varnel\pads, the
// shipped ones in pads\ beside varnel.exe.
#include <string>
#include <vector>

#include "app/pad_profile.h"
#include "app/win32/win32_text.h"
// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

std::vector<std::string> PadProfileFolders() {
  std::vector<std::string> folders;
  wchar_t appData[MAX_PATH];
  if (const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH); n > 0 && n < MAX_PATH)
    folders.push_back(Utf8(appData) + "\\Varnel\\pads");
  wchar_t exe[MAX_PATH];
  if (const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH); n > 0 && n < MAX_PATH) {
    std::wstring dir(exe, n);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    folders.push_back(Utf8(dir) + "pads");
  }
  return folders;
}
