// UTF-8 inside the program, UTF-16 at every Win32 call.
#pragma once

#include <string>

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide);
