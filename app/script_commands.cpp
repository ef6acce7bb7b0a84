#include "app/script_commands.h"

#include <algorithm>
#include <charconv>
#include <iterator>
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

namespace {
// What a line is, before it runs: its command, words and the control it names.
struct Parsed {
  std::string cmd, rest, a, b;
  bool extra = false;  // more words than the command takes
};
Parsed Parse(const std::string& line) {
  Parsed p;
  const auto space = line.find(' ');
  p.cmd = line.substr(0, space);
  p.rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  std::istringstream args(p.rest);
  std::string more;
  args >> p.a >> p.b;
  p.extra = static_cast<bool>(args >> more);
  return p;
}

// The commands that act on the panel as the operator's hand would.
bool IsPanelAction(const std::string& cmd) {
  return cmd == "click" || cmd == "type" || cmd == "select" || cmd == "slide" || cmd == "focus" || cmd == "key";
}
bool NamesControl(const std::string& cmd) { return IsPanelAction(cmd) && cmd != "key"; }
}  // namespace

void ScriptCommands::Execute(const std::string& line) {
  if (line.empty()) return;
  if (const std::string why = Run(line); !why.empty()) {
    m_print("error " + line + ": " + why);
    return;
  }
  // The next line sees what this one caused, the same on every platform.
  if (IsPanelAction(Parse(line).cmd)) m_actions.Settle();
}

std::string ScriptCommands::Run(const std::string& line) {
  IControls& c = m_actions.Controls();
  const Parsed p = Parse(line);
  static const char* const kKnown[] = {"click", "type", "select", "slide", "focus", "key",
                                       "get",   "log",  "sent",   "ok",    "quit", "screenshot"};
  if (std::find(std::begin(kKnown), std::end(kKnown), p.cmd) == std::end(kKnown)) return "unknown command";

  // The control a command names, and whether the operator could reach it.
  int id = 0;
  if (NamesControl(p.cmd) || p.cmd == "get") {
    if (!ParseInt(p.a, id) || !c.Exists(id)) return p.a.empty() ? "bad argument" : "no control " + p.a;
  }
  // While a message box is open the operator cannot reach the panel behind it.
  if (IsPanelAction(p.cmd) && m_actions.ModalBoxOpen()) return "a message box is open";
  if (NamesControl(p.cmd) && p.cmd != "focus") {
    if (!c.IsWindowVisible(id)) return p.a + " is hidden";
    if (!c.IsWindowEnabled(id)) return p.a + " is disabled";
  }

  if (p.cmd == "click") {
    if (!p.b.empty()) return "bad argument";
    return m_actions.Click(id) ? "" : p.a + " is no button";
  }
  if (p.cmd == "type") {
    // The rest of the line after "type ID " is the text, verbatim.
    const std::string prefix = "type " + p.a;
    const std::string text = line.size() > prefix.size() + 1 ? line.substr(prefix.size() + 1) : std::string();
    // What no keyboard can put into an edit field is refused the same way on
    // every platform (a Win32 edit would cut the text at a NUL).
    if (!TypableText(text)) return "bad argument";
    return m_actions.Type(id, text) ? "" : p.a + " takes no text";
  }
  if (p.cmd == "select") {
    int index = 0;
    if (p.extra || !ParseInt(p.b, index)) return "bad argument";
    if (index < 0 || index >= c.GetCount(id)) return "no entry " + p.b + " in " + p.a;
    return m_actions.Select(id, index) ? "" : p.a + " is no list";
  }
  if (p.cmd == "slide") {
    int pos = 0;
    if (p.extra || !ParseInt(p.b, pos)) return "bad argument";
    return m_actions.Slide(id, pos) ? "" : p.a + " is no slider";
  }
  if (p.cmd == "focus") {
    if (!p.b.empty()) return "bad argument";
    c.SetFocus(id);
    return "";
  }
  if (p.cmd == "key") {
    if ((p.a != "Return" && p.a != "Escape") || !p.b.empty()) return "bad argument";
    m_actions.Key(p.a == "Return");
    return "";
  }
  if (p.cmd == "get") {
    if (!p.b.empty()) return "bad argument";
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
    m_print(p.a + "=" + value);
    return "";
  }
  if (p.cmd == "screenshot") {
    // The rest of the line is the file's name, verbatim.
    if (p.rest.empty()) return "bad argument";
    std::string why;
    return m_actions.Picture(p.rest, why) ? "" : why;
  }
  if (!p.rest.empty()) return "bad argument";
  if (p.cmd == "log") {
    // Read from the log's store and handed over in large blocks: a million
    // lines are one write per block, not one per line.
    const int n = c.GetCount(idc::RecvLog);
    m_print("log " + std::to_string(n));
    constexpr std::size_t kBlock = 1 << 16;
    std::string block;
    for (int i = 0; i < n; ++i) {
      block += "| " + c.GetLBText(idc::RecvLog, i);
      if (block.size() >= kBlock || i + 1 == n) {
        m_print(block);
        block.clear();
      } else {
        block += '\n';
      }
    }
    return "";
  }
  if (p.cmd == "sent") {
    std::string text = c.GetWindowText(idc::SentFrame);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    m_print("sent=" + text);
    return "";
  }
  if (p.cmd == "ok") return m_actions.PressOk() ? "" : "no box is open";
  m_actions.Quit();  // quit
  return "";
}
