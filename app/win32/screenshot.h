// A PNG of a window as it is on the screen, encoded by the Windows Imaging
// Component.
#pragma once

#include <string>

bool WriteWindowPng(void* hwnd, const std::string& path, std::string* error);
