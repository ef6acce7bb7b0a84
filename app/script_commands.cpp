#include "app/script_commands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <sstream>

#include "app/steering.h"
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
  // "click 1050   # the card's state": a # after a blank begins the writer's note.
  for (std::size_t i = 1; i < line.size(); ++i)
    if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) {
      line.resize(line.find_last_not_of(" \t", i - 1) + 1);
      break;
    }
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
  std::string line, cmd, rest, a, b;
  bool extra = false;  // more words than the command takes
  int id = 0;          // the control named by the first word, where the command names one
  Source who;          // who the line acts for
};
Parsed Parse(const std::string& line) {
  Parsed p;
  p.line = line;
  const auto space = line.find(' ');
  p.cmd = line.substr(0, space);
  p.rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  std::istringstream args(p.rest);
  std::string more;
  args >> p.a >> p.b;
  p.extra = static_cast<bool>(args >> more);
  return p;
}

// What each command takes, and whether the operator's hand is needed for it
// (then a control the operator cannot reach, or a box open in front of the
// panel, refuses it).
enum class Target { kNone, kControl, kReachableControl };
struct Command {
  const char* name;
  Target target;
  bool panelAction;  // acts on the panel as the operator's hand would
  std::string (*run)(const Parsed&, IScriptActions&, const std::function<void(const std::string&)>&);
  // What can be told of the line before the panel is there (a pad's
  // profile is checked so as it loads): why it cannot run, or "".
  std::string (*check)(const Parsed&) = nullptr;
};

using Print = std::function<void(const std::string&)>;

std::string OneWord(const Parsed& p) { return p.b.empty() ? "" : "bad argument"; }
std::string NoWord(const Parsed& p) { return p.rest.empty() ? "" : "bad argument"; }

std::string CheckClick(const Parsed& p) {
  if (!p.b.empty()) return "bad argument";
  return TakesGesture(p.id, Gesture::kClick) ? "" : p.a + " is no button";
}
std::string Click(const Parsed& p, IScriptActions& act, const Print&) {
  return act.Click(p.id) ? "" : p.a + " is no button";
}

// The rest of the line after "type ID " is the text, verbatim.
std::string Typed(const Parsed& p) {
  const std::string prefix = "type " + p.a;
  return p.line.size() > prefix.size() + 1 ? p.line.substr(prefix.size() + 1) : std::string();
}
std::string CheckType(const Parsed& p) {
  // What no keyboard can put into an edit field is refused the same way on
  // every platform (a Win32 edit would cut the text at a NUL).
  if (!TypableText(Typed(p))) return "bad argument";
  return TakesGesture(p.id, Gesture::kType) ? "" : p.a + " takes no text";
}
std::string Type(const Parsed& p, IScriptActions& act, const Print&) {
  return act.Type(p.id, Typed(p)) ? "" : p.a + " takes no text";
}

std::string CheckSelect(const Parsed& p) {
  int index = 0;
  if (p.extra || !ParseInt(p.b, index)) return "bad argument";
  if (!TakesGesture(p.id, Gesture::kSelect)) return p.a + " is no list";
  // A list of fixed entries is known before the window is; the ports' list is not.
  const std::size_t fixed = ListEntries(p.id).size();
  if (index < 0 || (fixed && static_cast<std::size_t>(index) >= fixed)) return "no entry " + p.b + " in " + p.a;
  return "";
}
std::string Select(const Parsed& p, IScriptActions& act, const Print&) {
  const int index = std::stoi(p.b);
  if (index >= act.Controls().GetCount(p.id)) return "no entry " + p.b + " in " + p.a;
  return act.Select(p.id, index) ? "" : p.a + " is no list";
}

std::string CheckSlide(const Parsed& p) {
  int pos = 0;
  if (p.extra || !ParseInt(p.b, pos)) return "bad argument";
  // A slider cannot be dragged past its ends: a position beyond them is the
  // script's mistake, said rather than quietly taken as the end.
  for (const SliderRange& r : SliderRanges())
    if (r.id == p.id && (pos < r.min || pos > r.max))
      return p.b + " is outside " + p.a + "'s range " + std::to_string(r.min) + " to " + std::to_string(r.max);
  return TakesGesture(p.id, Gesture::kSlide) ? "" : p.a + " is no slider";
}
std::string Slide(const Parsed& p, IScriptActions& act, const Print&) {
  return act.Slide(p.id, std::stoi(p.b)) ? "" : p.a + " is no slider";
}

std::string Focus(const Parsed& p, IScriptActions& act, const Print&) {
  act.Controls().SetFocus(p.id);
  return "";
}

std::string CheckKey(const Parsed& p) {
  return (p.a != "Return" && p.a != "Escape") || !p.b.empty() ? "bad argument" : "";
}
std::string Key(const Parsed& p, IScriptActions& act, const Print&) {
  act.Key(p.a == "Return");
  return "";
}

std::string Get(const Parsed& p, IScriptActions& act, const Print& print) {
  const IControls& c = act.Controls();
  std::string value;
  const ControlDef* def = FindControl(p.id);
  switch (def ? def->kind : ControlKind::Static) {
    case ControlKind::Check:
    case ControlKind::Radio: value = std::to_string(c.GetCheck(p.id)); break;
    case ControlKind::Combo:
    case ControlKind::SortedCombo:
    case ControlKind::SimpleCombo: value = std::to_string(c.GetCurSel(p.id)); break;
    case ControlKind::Slider: value = std::to_string(c.GetPos(p.id)); break;
    default: value = c.GetWindowText(p.id); break;
  }
  print(p.a + "=" + value);
  return "";
}

std::string Log(const Parsed&, IScriptActions& act, const Print& print) {
  // Read from the log's store and handed over in large blocks: a million
  // lines are one write per block, not one per line.
  const IControls& c = act.Controls();
  const int n = c.GetCount(idc::RecvLog);
  print("log " + std::to_string(n));
  constexpr std::size_t kBlock = 1 << 16;
  std::string block;
  for (int i = 0; i < n; ++i) {
    block += "| " + c.GetLBText(idc::RecvLog, i);
    if (block.size() >= kBlock || i + 1 == n) {
      print(block);
      block.clear();
    } else {
      block += '\n';
    }
  }
  return "";
}

std::string Sent(const Parsed&, IScriptActions& act, const Print& print) {
  std::string text = act.Controls().GetWindowText(idc::SentFrame);
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  print("sent=" + text);
  return "";
}

std::string Ok(const Parsed&, IScriptActions& act, const Print&) {
  return act.PressOk() ? "" : "no box is open";
}

std::string Quit(const Parsed&, IScriptActions& act, const Print&) {
  act.Quit();
  return "";
}

// The rest of the line is the file's name, verbatim.
std::string CheckScreenshot(const Parsed& p) { return p.rest.empty() ? "bad argument" : ""; }
std::string Screenshot(const Parsed& p, IScriptActions& act, const Print&) {
  std::string why;
  return act.Picture(p.rest, why) ? "" : why;
}

// stick X Y: the stick's deflection, -1.0 to 1.0 each (X right, Y down).
bool ParseDeflection(const Parsed& p, double& x, double& y) {
  const auto deflection = [](const std::string& text, double& out) {
    // from_chars: the decimal point whatever the locale the window set.
    const char* b = text.data() + (!text.empty() && text[0] == '+');
    const auto [end, ec] = std::from_chars(b, text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out) &&
           out >= -1.0 && out <= 1.0;
  };
  return !p.extra && deflection(p.a, x) && deflection(p.b, y);
}

std::string CheckStick(const Parsed& p) {
  double x = 0, y = 0;
  return ParseDeflection(p, x, y) ? "" : "bad argument";
}
std::string Stick(const Parsed& p, IScriptActions& act, const Print&) {
  Steering* pad = act.Steer();
  if (!pad) return "no gamepad steering in this window";
  double x = 0, y = 0;
  ParseDeflection(p, x, y);
  pad->Stick(x, y, p.who);
  return "";
}

// A stick let go stops the gimbal: never refused, a box open or not.
bool LetsGo(const Parsed& p, IScriptActions& act) {
  double x = 0, y = 0;
  Steering* pad = act.Steer();
  return p.cmd == "stick" && pad && ParseDeflection(p, x, y) && MapStick(x, y, pad->Settings()).Zero();
}

// pad INPUT [down|up]: an input of the pad (a, leftshoulder, dpup, button7,
// and the short lb, rb, lt, rt) pressed, let go, or both, through the
// profile in force, as the pad's own would.
std::string LearnText(const Parsed& p) { return p.rest.size() > 6 ? p.rest.substr(6) : ""; }
std::string CheckPad(const Parsed& p) {
  if (p.a == "learn") {
    // pad learn ACTION: the next input moved on any pad does ACTION from then on.
    PadAction action;
    const std::string text = LearnText(p);
    return text.empty() ? "pad learn ACTION (pan, tilt, zoom in, click 1050, ...)"
                        : ReadPadAction(text, true, action, ScriptCommands::Check);
  }
  if (!PadInputNamed(p.a)) return p.a.empty() ? "bad argument" : "no input " + p.a;
  return p.extra || (!p.b.empty() && p.b != "down" && p.b != "up") ? "bad argument" : "";
}
std::string Pad(const Parsed& p, IScriptActions& act, const Print&) {
  Steering* pad = act.Steer();
  if (!pad) return "no gamepad steering in this window";
  if (p.a == "learn") {
    PadAction action;
    ReadPadAction(LearnText(p), true, action, nullptr);
    pad->Learn(action);
    return "";
  }
  PadMapping& mine = pad->PadOf(p.who);
  const std::string input = *PadInputNamed(p.a);
  if (p.b != "up") mine.Input(input, 1.0);
  if (p.b != "down") mine.Input(input, 0.0);
  return "";
}

const Command kCommands[] = {
    {"stick", Target::kNone, true, Stick, CheckStick},
    {"pad", Target::kNone, true, Pad, CheckPad},
    {"click", Target::kReachableControl, true, Click, CheckClick},
    {"type", Target::kReachableControl, true, Type, CheckType},
    {"select", Target::kReachableControl, true, Select, CheckSelect},
    {"slide", Target::kReachableControl, true, Slide, CheckSlide},
    {"focus", Target::kControl, true, Focus, OneWord},
    {"key", Target::kNone, true, Key, CheckKey},
    {"get", Target::kControl, false, Get, OneWord},
    {"log", Target::kNone, false, Log, NoWord},
    {"sent", Target::kNone, false, Sent, NoWord},
    {"ok", Target::kNone, false, Ok, NoWord},
    {"quit", Target::kNone, false, Quit, NoWord},
    {"screenshot", Target::kNone, false, Screenshot, CheckScreenshot},
};

const Command* FindCommand(const std::string& name) {
  for (const Command& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}
}  // namespace

// A bad line is repeated with its control bytes as \xNN: an ESC or a BEL from
// a script never moves the terminal's cursor or retitles its window.
std::string ControlsShown(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    else out += ch;
  }
  return out;
}

bool ScriptCommands::ActsOnPanel(const std::string& line) {
  const Command* command = FindCommand(Parse(line).cmd);
  return command && command->panelAction;
}

void ScriptCommands::Execute(const std::string& line) {
  if (const std::string why = Perform(line); !why.empty()) m_print(ControlsShown("error " + line + ": " + why));
}

std::string ScriptCommands::Perform(const std::string& line) {
  // Blank lines and "# ..." comments are the script writer's own.
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] == '#') return "";
  // What the line and the repaints after it send is this source's.
  const Source before = m_actions.ActFor(m_who);
  std::string why = Run(line);
  // The next line sees what this one caused, the same on every platform.
  const Command* command = FindCommand(Parse(line).cmd);
  if (why.empty() && command && command->panelAction) m_actions.Settle();
  m_actions.ActFor(before);
  return why;
}

std::vector<std::string> ScriptCommands::Names() {
  std::vector<std::string> names;
  for (const Command& c : kCommands) names.emplace_back(c.name);
  names.emplace_back("wait");
  return names;
}

std::string ScriptCommands::Check(const std::string& line) {
  Parsed p = Parse(line);
  const Command* command = FindCommand(p.cmd);
  if (!command) return p.cmd == "wait" ? "a press does not wait" : "unknown command";
  if (command->target != Target::kNone && (!ParseInt(p.a, p.id) || !FindControl(p.id)))
    return p.a.empty() ? "bad argument" : "no control " + p.a;
  return command->check ? command->check(p) : "";
}

std::string ScriptCommands::Run(const std::string& line) {
  Parsed p = Parse(line);
  p.who = m_who;
  const Command* command = FindCommand(p.cmd);
  if (!command) return "unknown command";
  IControls& c = m_actions.Controls();
  // The control a command names, and whether the operator could reach it.
  if (command->target != Target::kNone && (!ParseInt(p.a, p.id) || !c.Exists(p.id)))
    return p.a.empty() ? "bad argument" : "no control " + p.a;
  // While a message box is open the operator cannot reach the panel behind it.
  if (command->panelAction && m_actions.ModalBoxOpen() && !LetsGo(p, m_actions)) return "a message box is open";
  if (command->target == Target::kReachableControl) {
    if (!c.IsWindowVisible(p.id)) return p.a + " is hidden";
    if (!c.IsWindowEnabled(p.id)) return p.a + " is disabled";
  }
  if (const std::string why = command->check ? command->check(p) : ""; !why.empty()) return why;
  return command->run(p, m_actions, m_print);
}
