#include "app/script_commands.h"

#include <charconv>
#include <sstream>

#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"

namespace {
bool ParseInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}
}  // namespace

std::string ValidUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    std::size_t len = 0;
    unsigned cp = 0;
    if (c < 0x80) len = 1, cp = c;
    else if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
    bool ok = len > 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      ok = (s[i + k] & 0xC0) == 0x80;
      cp = cp << 6 | (s[i + k] & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    ok = ok && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
         !(cp >= 0xD800 && cp <= 0xDFFF);
    if (ok) {
      out.append(text, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
    }
  }
  return out;
}

bool TypableText(const std::string& text) {
  if (ValidUtf8(text) != text) return false;
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

std::string ScriptLine(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<int> ScriptCommands::WaitDelay(const std::string& line) {
  std::istringstream in(line);
  std::string cmd, ms, extra;
  in >> cmd >> ms;
  int delay = 0;
  if (cmd == "wait" && ParseInt(ms, delay) && delay >= 0 && !(in >> extra)) return delay;
  return std::nullopt;
}

bool ScriptCommands::Id(const std::string& word, int& id) {
  return ParseInt(word, id) && m_actions.Controls().Exists(id);
}

void ScriptCommands::Execute(const std::string& line) {
  if (line.empty()) return;
  IControls& c = m_actions.Controls();
  const auto space = line.find(' ');
  const std::string cmd = line.substr(0, space);
  const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  std::istringstream args(rest);
  std::string a, b, extra;
  args >> a >> b;
  const bool noExtra = !(args >> extra);
  int id = 0;
  auto error = [&] { m_print("error " + line); };
  // What the operator cannot reach (a disabled list, the hidden button) the
  // script cannot operate either.
  const bool operable = (cmd == "click" || cmd == "type" || cmd == "select" || cmd == "slide") && Id(a, id);
  if (operable && (!c.IsWindowEnabled(id) || !c.IsWindowVisible(id))) return error();

  if (cmd == "click" && Id(a, id) && b.empty()) {
    if (!m_actions.Click(id)) error();
  } else if (cmd == "type" && Id(a, id)) {
    // The rest of the line after "type ID " is the text, verbatim.
    const std::string prefix = "type " + a;
    const std::string text = line.size() > prefix.size() + 1 ? line.substr(prefix.size() + 1) : std::string();
    // What no keyboard can put into an edit field is refused the same way on
    // every platform (a Win32 edit would cut the text at a NUL).
    if (!TypableText(text) || !m_actions.Type(id, text)) error();
  } else if (cmd == "select" && Id(a, id) && noExtra) {
    int index = 0;
    if (!ParseInt(b, index) || index < 0 || index >= c.GetCount(id) || !m_actions.Select(id, index)) error();
  } else if (cmd == "slide" && Id(a, id) && noExtra) {
    int pos = 0;
    if (!ParseInt(b, pos) || !m_actions.Slide(id, pos)) error();
  } else if (cmd == "focus" && Id(a, id) && b.empty()) {
    c.SetFocus(id);
  } else if (cmd == "key" && (a == "Return" || a == "Escape") && b.empty()) {
    m_actions.Key(a == "Return");
  } else if (cmd == "get" && Id(a, id) && b.empty()) {
    std::string value;
    const ControlDef* def = FindControl(id);
    switch (def ? def->kind : ControlKind::Static) {
      case ControlKind::Check:
      case ControlKind::Radio: value = std::to_string(c.GetCheck(id)); break;
      case ControlKind::Combo:
      case ControlKind::SortedCombo:
      case ControlKind::SimpleCombo: value = std::to_string(c.GetCurSel(id)); break;
      case ControlKind::Slider: value = std::to_string(c.GetPos(id)); break;
      default: value = c.GetWindowText(id); break;
    }
    m_print(a + "=" + value);
  } else if (cmd == "log" && rest.empty()) {
    const int n = c.GetCount(idc::RecvLog);
    m_print("log " + std::to_string(n));
    for (int i = 0; i < n; ++i) m_print("| " + c.GetLBText(idc::RecvLog, i));
  } else if (cmd == "sent" && rest.empty()) {
    std::string text = c.GetWindowText(idc::SentFrame);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    m_print("sent=" + text);
  } else if (cmd == "ok" && rest.empty()) {
    if (!m_actions.PressOk()) error();
  } else if (cmd == "quit" && rest.empty()) {
    m_actions.Quit();
  } else {
    error();
  }
}
