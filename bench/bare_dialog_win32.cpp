// The baseline for the panel's start-up and idle cost under Windows: a bare
// dialog from an in-memory template, one button in it. Says "painted" on
// standard output at its first paint.
#include <windows.h>

namespace {
bool said = false;
INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_PAINT && !said) {
    said = true;
    DWORD n = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "painted\n", 8, &n, nullptr);
    return FALSE;  // the dialog paints as ever
  }
  if (msg == WM_CLOSE || (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
    EndDialog(hwnd, 0);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // DLGTEMPLATE, no menu, the default class, a caption; then one item.
  alignas(4) WORD t[64] = {};
  auto* d = reinterpret_cast<DLGTEMPLATE*>(t);
  d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  d->cdit = 1;
  d->cx = 600;
  d->cy = 400;
  WORD* p = reinterpret_cast<WORD*>(d + 1);
  *p++ = 0;  // menu
  *p++ = 0;  // class
  for (const wchar_t* c = L"bare"; (*p++ = *c); ++c) {}
  p = reinterpret_cast<WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR(3));
  auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(p);
  item->style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
  item->x = 10, item->y = 10, item->cx = 60, item->cy = 14, item->id = IDCANCEL;
  p = reinterpret_cast<WORD*>(item + 1);
  *p++ = 0xFFFF, *p++ = 0x0080;  // Button
  for (const wchar_t* c = L"Close"; (*p++ = *c); ++c) {}
  *p++ = 0;  // no creation data
  return static_cast<int>(DialogBoxIndirectParamW(instance, d, nullptr, Proc, 0));
}
