// What the program says of itself, below the dialog and the program around
// it alike: its version (the About box, --version) and the words that differ
// on each platform (--help, the About box's second line).
#pragma once

// "Varnel 1.99": the version CMake gives.
const char* VersionText();

// What --help and the About box say differently on each platform
// (app/posix/usage_linux.cpp, app/win32/usage_windows.cpp): the device
// options, a closing note, and the About box's second line.
struct UsageWords {
  const char* deviceOptions;
  const char* note;
  const char* aboutLine;
  const char* portExample;  // a --port value in this platform's device names
};
const UsageWords& PlatformUsage();
