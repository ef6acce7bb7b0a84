// UTF-8 inside the program, UTF-16 at every Win32 call.
#pragma once

#include <string>

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide);
// The system's own words for an error code ("Access is denied"), without the
// full stop and line end it ends with; "error N" when it has none.
std::string SystemMessage(unsigned long code);
