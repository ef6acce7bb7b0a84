#include "app/win32/dialog_templates.h"

#include <string>

#include "app/boxes.h"
#include "app/panel/control_table.h"
#include "app/win32/log_view.h"
#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
// Writes a DLGTEMPLATEEX and its items word by word (the layout Windows reads).
class TemplateWriter {
 public:
  void Header(DWORD style, DWORD exStyle, int items, int w, int h, const std::string& caption,
              const std::string& font, int points) {
    Word(1);       // dlgVer
    Word(0xFFFF);  // signature: extended template
    Dword(0);      // helpID
    Dword(exStyle);
    Dword(style);
    Word(static_cast<std::uint16_t>(items));
    Word(0), Word(0), Word(static_cast<std::uint16_t>(w)), Word(static_cast<std::uint16_t>(h));
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(static_cast<std::uint16_t>(points));
    Word(FW_NORMAL);
    Word(0x0100);  // italic 0, charset DEFAULT_CHARSET (1)
    Text(font);
  }
  void Item(DWORD style, DWORD exStyle, int x, int y, int w, int h, int id, const wchar_t* cls,
            const std::string& text) {
    while (m_words.size() % 2) Word(0);  // DWORD alignment
    Dword(0);  // helpID
    Dword(exStyle);
    Dword(style);
    Word(static_cast<std::uint16_t>(x)), Word(static_cast<std::uint16_t>(y));
    Word(static_cast<std::uint16_t>(w)), Word(static_cast<std::uint16_t>(h));
    Dword(static_cast<DWORD>(id));
    for (const wchar_t* p = cls; *p; ++p) Word(static_cast<std::uint16_t>(*p));
    Word(0);
    Text(text);
    Word(0);  // no creation data
  }
  std::vector<std::uint16_t> Take() { return std::move(m_words); }

 private:
  void Word(std::uint16_t w) { m_words.push_back(w); }
  void Dword(DWORD d) {
    Word(static_cast<std::uint16_t>(d & 0xFFFF));
    Word(static_cast<std::uint16_t>(d >> 16));
  }
  void Text(const std::string& utf8) {
    for (wchar_t c : Wide(utf8)) Word(static_cast<std::uint16_t>(c));
    Word(0);
  }
  std::vector<std::uint16_t> m_words;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr int kComboListDlu = 140;  // a drop-down list's height when open

}  // namespace

std::vector<std::uint16_t> MainDialogTemplate() {
  const std::vector<ControlDef>& table = ControlTable();
  int items = 0;
  for (const ControlDef& def : table) items += def.kind == ControlKind::SimpleCombo ? 2 : 1;
  TemplateWriter t;
  // A pop-up with caption, system menu and minimise box, a modal frame, in
  // the taskbar; no maximise box, not resizable. Centred, as the dialogs are.
  t.Header(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
           WS_EX_APPWINDOW, items, kDialogWidthDlu, kDialogHeightDlu, kDialogCaption, "宋体", 9);
  // Frames first: every control then lies above its group's frame, and the
  // Tab order is the table's.
  for (const ControlDef& def : table)
    if (def.kind == ControlKind::Group)
      t.Item(kChild | BS_GROUPBOX, 0, def.x, def.y, def.w, def.h, -1, L"Button", def.caption);
  for (const ControlDef& def : table) {
    const int id = def.id ? def.id : -1;
    switch (def.kind) {
      case ControlKind::Group: break;
      case ControlKind::Label: t.Item(kChild | SS_LEFT, 0, def.x, def.y, def.w, def.h, -1, L"Static", def.caption); break;
      case ControlKind::Static:
        t.Item(kChild | SS_LEFT | SS_NOPREFIX, 0, def.x, def.y, def.w, def.h, id, L"Static", def.caption);
        break;
      case ControlKind::Edit:
        t.Item(kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, def.x, def.y, def.w, def.h, id, L"Edit", "");
        break;
      case ControlKind::Button:
      case ControlKind::MultiLineButton:
        t.Item(kChild | WS_TABSTOP | BS_PUSHBUTTON | (def.kind == ControlKind::MultiLineButton ? BS_MULTILINE : 0), 0,
               def.x, def.y, def.w, def.h, id, L"Button", def.caption);
        break;
      case ControlKind::Check:
        t.Item(kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, def.x, def.y, def.w, def.h, id, L"Button", def.caption);
        break;
      case ControlKind::Radio:
        t.Item(kChild | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, def.x, def.y, def.w, def.h, id, L"Button", def.caption);
        break;
      case ControlKind::Combo:
      case ControlKind::SortedCombo:
        t.Item(kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL |
                   (def.kind == ControlKind::SortedCombo ? CBS_SORT : 0),
               0, def.x, def.y, def.w, def.h + kComboListDlu, id, L"ComboBox", "");
        break;
      case ControlKind::SimpleCombo:
        // The look of a simple combo box: an edit field over an always-open
        // list. The list holds no strings of its own: it shows the rows of
        // the log's store, so a million lines cost no more per poll than ten.
        t.Item(kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, def.x, def.y, def.w, 12, kLogEditId, L"Edit", "");
        t.Item(kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL, 0, def.x, def.y + 13, def.w, def.h - 13, id,
               Win32LogView::ClassName(), "");
        break;
      case ControlKind::Slider:
        t.Item(kChild | WS_TABSTOP | TBS_HORZ | TBS_BOTH | TBS_NOTICKS, 0, def.x, def.y, def.w, def.h, id,
               TRACKBAR_CLASSW, "");
        break;
    }
  }
  return t.Take();
}

namespace {
// A box's template from its shared description.
std::vector<std::uint16_t> BoxTemplate(const BoxLayout& box) {
  TemplateWriter t;
  t.Header(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
           static_cast<int>(box.items.size()), box.w, box.h, box.caption, box.font, box.pointSize);
  for (const BoxItem& item : box.items) {
    switch (item.kind) {
      case BoxItem::kIcon:
        t.Item(kChild | SS_ICON, 0, item.x, item.y, item.w, item.h, -1, L"Static", "#128");  // icon resource 128
        break;
      case BoxItem::kText:
        t.Item(kChild | SS_LEFT | SS_NOPREFIX, 0, item.x, item.y, item.w, item.h, -1, L"Static", item.text);
        break;
      case BoxItem::kOk:
        t.Item(kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, item.x, item.y, item.w, item.h, IDOK, L"Button", item.text);
        break;
    }
  }
  return t.Take();
}
}  // namespace

std::vector<std::uint16_t> WarningTemplate(const std::string& text) { return BoxTemplate(WarningBox(text)); }
std::vector<std::uint16_t> AboutTemplate() { return BoxTemplate(AboutBox()); }

std::vector<std::uint16_t> PadActionTemplate(const std::string& question) {
  TemplateWriter t;
  t.Header(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 4, 260, 62,
           "Learn a pad control", "宋体", 9);
  t.Item(kChild | SS_LEFT | SS_NOPREFIX, 0, 7, 7, 246, 10, -1, L"Static", question);
  t.Item(kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, 7, 20, 246, 12 + kComboListDlu,
         kPadActionId, L"ComboBox", "");
  t.Item(kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 146, 41, 50, 14, IDOK, L"Button", "OK");
  t.Item(kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 203, 41, 50, 14, IDCANCEL, L"Button", "Cancel");
  return t.Take();
}
