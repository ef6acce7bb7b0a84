// <windows.h> and the common controls, for this folder's .cpp files; include
// it after the project's own headers. The control layer's and the dialog
// host's operations carry Win32's names (GetWindowText, MessageBox), which
// <windows.h> turns into macros for its A and W functions: those macros are
// undone here, and this folder calls the W functions by their full names.
#pragma once

#include <winsock2.h>  // WSAAsyncSelect; before <windows.h>, which would bring the old Winsock
#include <windows.h>
#include <commctrl.h>

#undef GetWindowText
#undef SetWindowText
#undef MessageBox
