#include "app/pad_profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/panel/control_table.h"
#include "app/steering.h"

namespace {
// SDL's game controller names, as its mappings write them.
constexpr const char* kButtons[] = {"a",         "b",          "x",           "y",         "back",         "guide",
                                    "start",     "leftstick",  "rightstick",  "leftshoulder", "rightshoulder", "dpup",
                                    "dpdown",    "dpleft",     "dpright",     "misc1",     "paddle1",      "paddle2",
                                    "paddle3",   "paddle4",    "touchpad"};
constexpr const char* kAxes[] = {"leftx", "lefty", "rightx", "righty", "lefttrigger", "righttrigger"};
// The short names script mode's `pad` always took.
constexpr std::pair<const char*, const char*> kShort[] = {
    {"lb", "leftshoulder"}, {"rb", "rightshoulder"}, {"lt", "lefttrigger"}, {"rt", "righttrigger"}};

// "axis3" within 0..limit-1: the number after the prefix, and what follows it.
bool Numbered(const std::string& name, const std::string& prefix, int limit, std::string* rest = nullptr) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  int n = -1;
  const char* b = name.data() + prefix.size();
  const char* e = name.data() + name.size();
  const auto [p, ec] = std::from_chars(b, e, n);
  if (ec != std::errc() || p == b || n < 0 || n >= limit || (p - b > 1 && *b == '0')) return false;
  if (rest) *rest = std::string(p, e);
  return rest || p == e;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::optional<double> Number(const std::string& text, double lo, double hi) {
  double v = 0;
  const char* b = text.data() + (!text.empty() && text[0] == '+');
  const auto [p, ec] = std::from_chars(b, text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || p != text.data() + text.size() || !std::isfinite(v) || v < lo || v > hi)
    return std::nullopt;
  return v;
}

std::string Shown(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

// The profile's own keys: the stick's parameters, as the options name them.
struct Key {
  const char* name;
  double lo, hi;
  bool whole;
  double PadSettings::*real;
  int PadSettings::*integer;
  unsigned PadSettings::*count;
};
const Key kKeys[] = {
    {"deadzone", 0, 0.9, false, &PadSettings::deadzone, nullptr, nullptr},
    {"expo", 0, 1, false, &PadSettings::expo, nullptr, nullptr},
    {"max-step", 1, 32767, true, nullptr, &PadSettings::maxStep, nullptr},
    {"zoom-scale", 0.05, 1, false, &PadSettings::zoomScale, nullptr, nullptr},
    {"ramp-ms", 0, 2000, true, nullptr, nullptr, &PadSettings::rampMs},
};

}  // namespace

std::string ReadPadAction(const std::string& text, bool axis, PadAction& a, const PadCommandCheck& check) {
  std::istringstream in(text);
  std::string word, more;
  in >> word;
  using K = PadAction::Kind;
  if (word == "pan" || word == "tilt") {
    const bool pan = word == "pan";
    std::vector<std::string> w;
    while (in >> more) w.push_back(more);
    if (w.size() == 1 && (w[0] == (pan ? "left" : "up") || w[0] == (pan ? "right" : "down"))) {
      a.kind = pan ? (w[0] == "left" ? K::kPanLeft : K::kPanRight) : (w[0] == "up" ? K::kTiltUp : K::kTiltDown);
      return "";
    }
    a.kind = pan ? K::kPan : K::kTilt;
    for (std::size_t i = 0; i < w.size(); ++i) {
      if (w[i] == "invert") {
        a.invert = true;
      } else if ((w[i] == "deadzone" || w[i] == "expo") && i + 1 < w.size()) {
        const std::optional<double> v = Number(w[i + 1], 0, w[i] == "deadzone" ? 0.9 : 1);
        if (!v) return w[i] + " takes " + (w[i] == "deadzone" ? "0 to 0.9" : "0 to 1");
        (w[i] == "deadzone" ? a.deadzone : a.expo) = *v;
        ++i;
      } else {
        return "after " + word + ": invert, deadzone D, expo E" + (pan ? "; or left, right" : "; or up, down");
      }
    }
    if (!axis) return "a button moves " + word + (pan ? " left or right" : " up or down");
    return "";
  }
  if (word == "zoom") {
    in >> more;
    const bool extra = static_cast<bool>(in >> word);
    if (extra || (!more.empty() && more != "in" && more != "out")) return "zoom takes in, out or nothing";
    a.kind = more.empty() ? K::kZoom : more == "in" ? K::kZoomIn : K::kZoomOut;
    if (more.empty() && !axis) return "a button zooms in or out";
    return "";
  }
  if (word == "freeze") {
    if (in >> more) return "freeze takes nothing";
    a.kind = K::kFreeze;
    return "";
  }
  if (word == "pad") return "a press does not press the pad";
  a.kind = K::kCommand;
  a.command = text;
  if (const std::string why = check ? check(text) : ""; !why.empty()) return why;
  // A click is the panel's button pressed straight away, as a pad always pressed them.
  int id = 0;
  if (word == "click" && in >> more && !(in >> word) && std::from_chars(more.data(), more.data() + more.size(), id).ec == std::errc())
    a.kind = K::kClick, a.control = id;
  return "";
}

std::vector<std::string> PadActionChoices(bool axis) {
  std::vector<std::string> out;
  if (axis) out = {"pan", "tilt", "pan invert", "tilt invert", "zoom"};
  for (const char* a : {"zoom in", "zoom out", "freeze", "pan left", "pan right", "tilt up", "tilt down"}) out.push_back(a);
  for (const ControlDef& def : ControlTable())
    if (def.id && TakesGesture(def.id, Gesture::kClick))
      out.push_back("click " + std::to_string(def.id) + "    # " + def.caption);
  return out;
}

std::optional<std::string> PadInputNamed(const std::string& name) {
  for (const auto& [s, full] : kShort)
    if (name == s) return std::string(full);
  for (const char* b : kButtons)
    if (name == b) return name;
  for (const char* a : kAxes)
    if (name == a) return name;
  std::string hat;
  if (Numbered(name, "axis", 64) || Numbered(name, "button", 128)) return name;
  if (Numbered(name, "hat", 8, &hat) && (hat == "up" || hat == "down" || hat == "left" || hat == "right")) return name;
  return std::nullopt;
}

bool PadInputIsAxis(const std::string& input) {
  for (const char* a : kAxes)
    if (input == a) return true;
  return input.compare(0, 4, "axis") == 0;
}

std::string PadAction::Text() const {
  using K = Kind;
  switch (kind) {
    case K::kPan:
    case K::kTilt: {
      std::string t = kind == K::kPan ? "pan" : "tilt";
      if (invert) t += " invert";
      if (deadzone >= 0) t += " deadzone " + Shown(deadzone);
      if (expo >= 0) t += " expo " + Shown(expo);
      return t;
    }
    case K::kZoom: return "zoom";
    case K::kPanLeft: return "pan left";
    case K::kPanRight: return "pan right";
    case K::kTiltUp: return "tilt up";
    case K::kTiltDown: return "tilt down";
    case K::kZoomIn: return "zoom in";
    case K::kZoomOut: return "zoom out";
    case K::kFreeze: return "freeze";
    case K::kClick: return "click " + std::to_string(control);
    case K::kCommand: return command;
  }
  return command;
}

bool PadProfile::Fits(const std::string& name, const std::string& guid) const {
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const std::string& g : guids)
    if (!guid.empty() && lower(g) == lower(guid)) return true;
  return std::find(names.begin(), names.end(), name) != names.end();
}

const PadBinding* PadProfile::Find(const std::string& input, bool release) const {
  for (const PadBinding& b : bindings)
    if (b.input == input && b.release == release) return &b;
  return nullptr;
}

void PadProfile::Bind(const std::string& input, bool release, const PadAction& action) {
  for (PadBinding& b : bindings)
    if (b.input == input && b.release == release) return void(b.action = action);
  bindings.push_back({input, release, action});
}

std::string PadProfile::Text() const {
  std::string t;
  for (const std::string& n : names) t += "pad = " + n + "\n";
  for (const std::string& g : guids) t += "guid = " + g + "\n";
  const PadSettings base;
  for (const Key& k : kKeys) {
    const double v = k.real ? settings.*k.real : k.integer ? settings.*k.integer : settings.*k.count;
    const double d = k.real ? base.*k.real : k.integer ? base.*k.integer : base.*k.count;
    if (v != d) t += std::string(k.name) + " = " + Shown(v) + "\n";
  }
  for (const PadBinding& b : bindings) t += b.input + (b.release ? " up" : "") + " = " + b.action.Text() + "\n";
  return t;
}

std::optional<PadProfile> ReadPadProfile(const std::string& text, const PadSettings& settings,
                                         const PadCommandCheck& check, std::vector<std::string>& faults) {
  PadProfile p;
  p.settings = settings;
  std::istringstream in(text);
  std::string raw;
  const std::size_t before = faults.size();
  for (int number = 1; std::getline(in, raw); ++number) {
    const auto fault = [&](const std::string& why) { faults.push_back("line " + std::to_string(number) + ": " + why); };
    // "# ..." is the writer's note, at the start, after a blank or right after the =.
    std::string line = raw;
    for (std::size_t i = 0; i < line.size(); ++i)
      if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t' || line[i - 1] == '=')) line.resize(i);
    line = Trim(line);
    if (line.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      fault("INPUT = ACTION expected");
      continue;
    }
    const std::string left = Trim(line.substr(0, eq)), right = Trim(line.substr(eq + 1));
    if (right.empty()) {
      fault("nothing after =");
      continue;
    }
    if (left == "pad" || left == "guid") {
      (left == "pad" ? p.names : p.guids).push_back(right);
      continue;
    }
    const Key* key = nullptr;
    for (const Key& k : kKeys)
      if (left == k.name) key = &k;
    if (key) {
      const std::optional<double> v = Number(right, key->lo, key->hi);
      if (!v || (key->whole && *v != std::floor(*v))) {
        fault(left + " takes " + (key->whole ? "a whole number, " : "") + Shown(key->lo) + " to " + Shown(key->hi));
        continue;
      }
      if (key->real) p.settings.*key->real = *v;
      else if (key->integer) p.settings.*key->integer = static_cast<int>(*v);
      else p.settings.*key->count = static_cast<unsigned>(*v);
      continue;
    }
    std::string name = left;
    bool release = false;
    if (const auto sp = left.find_first_of(" \t"); sp != std::string::npos) {
      name = left.substr(0, sp);
      release = Trim(left.substr(sp)) == "up";
      if (!release) {
        fault("\"" + left + "\": an input, or an input and up");
        continue;
      }
    }
    const std::optional<std::string> input = PadInputNamed(name);
    if (!input) {
      fault("no input " + name + " (a, leftshoulder, leftx, dpup, ..., axis3, button7, hat0up)");
      continue;
    }
    PadAction action;
    if (const std::string why = ReadPadAction(right, PadInputIsAxis(*input), action, check); !why.empty()) {
      fault(why);
      continue;
    }
    if (release && action.kind != PadAction::Kind::kCommand && action.kind != PadAction::Kind::kClick) {
      fault("only a command runs when an input is let go");
      continue;
    }
    if (p.Find(*input, release)) {
      fault(*input + (release ? " up" : "") + " is bound twice");
      continue;
    }
    p.bindings.push_back({*input, release, action});
  }
  if (faults.size() != before) return std::nullopt;
  return p;
}

const char* DefaultPadProfileText() {
  return "# What a pad does without a profile of its own.\n"
         "leftx = pan\n"
         "lefty = tilt\n"
         "a = click 1032    # Start tracking\n"
         "b = click 1000    # Exit tracking\n"
         "x = click 1047    # Single capture\n"
         "y = freeze        # Frozen, then Thaw\n"
         "leftshoulder = zoom out\n"
         "lefttrigger = zoom out\n"
         "rightshoulder = zoom in\n"
         "righttrigger = zoom in\n";
}

PadMapping::PadMapping(Steering& steering, Source who, std::string product, PadProfile profile)
    : m_steering(steering), m_who(std::move(who)), m_profile(std::move(profile)), m_product(std::move(product)) {}

void PadMapping::Use(PadProfile profile) {
  Lost();
  m_profile = std::move(profile);
}

void PadMapping::Lost() {
  // Nothing held runs its release: the pad is not there to let go.
  m_pressed.clear();
  m_values.clear();
  m_steering.Lost(m_who);
}

void PadMapping::Input(const std::string& input, double value) {
  if (!std::isfinite(value)) return;
  const double was = m_values.count(input) ? m_values[input] : 0.0;
  m_values[input] = value;
  // Learn mode: the first input moved past half way, on any pad, is bound instead of acting.
  if (std::fabs(value) > 0.5 && std::fabs(was) <= 0.5 && m_steering.TakeLearned(*this, input, PadInputIsAxis(input))) {
    m_pressed[input] = value > 0.5;  // its release does nothing either
    return;
  }
  bool stick = false;
  for (const PadBinding& b : m_profile.bindings) {
    if (b.input != input) continue;
    using K = PadAction::Kind;
    if (b.action.kind == K::kPan || b.action.kind == K::kTilt || b.action.kind == K::kPanLeft ||
        b.action.kind == K::kPanRight || b.action.kind == K::kTiltUp || b.action.kind == K::kTiltDown) {
      stick = true;
    } else if (b.action.kind == K::kZoom) {
      // Each end of the axis is a zoom button, pressed past half way.
      for (const bool in : {true, false}) {
        bool& held = m_pressed[input + (in ? "+" : "-")];
        const bool now = in ? value > 0.5 : value < -0.5;
        if (now == held) continue;
        held = now;
        PadAction zoom;
        zoom.kind = in ? K::kZoomIn : K::kZoomOut;
        m_steering.Press(zoom, now, m_who);
      }
    } else if (!b.release) {
      bool& held = m_pressed[input];
      const bool now = value > 0.5;
      if (now == held) continue;
      held = now;
      Press(b, now);
      if (!now)
        if (const PadBinding* up = m_profile.Find(input, true)) m_steering.Press(up->action, true, m_who);
    }
  }
  // A release bound with nothing on the press.
  if (!m_profile.Find(input, false))
    if (const PadBinding* up = m_profile.Find(input, true)) {
      bool& held = m_pressed[input];
      const bool now = value > 0.5;
      if (held && !now) m_steering.Press(up->action, true, m_who);
      held = now;
    }
  if (stick) Steer();
}

void PadMapping::Press(const PadBinding& binding, bool down) {
  using K = PadAction::Kind;
  switch (binding.action.kind) {
    case K::kPanLeft:
    case K::kPanRight:
    case K::kTiltUp:
    case K::kTiltDown: return Steer();
    default: m_steering.Press(binding.action, down, m_who);
  }
}

void PadMapping::Steer() {
  // The largest deflection on each axis wins: a stick and the buttons bound to the same axis.
  double x = 0, y = 0;
  const PadAction *panAxis = nullptr, *tiltAxis = nullptr;
  const auto take = [](double& axis, double v) {
    if (std::fabs(v) > std::fabs(axis)) axis = v;
  };
  using K = PadAction::Kind;
  for (const PadBinding& b : m_profile.bindings) {
    const auto it = m_values.find(b.input);
    const double v = it == m_values.end() ? 0.0 : it->second;
    const bool pressed = v > 0.5;
    switch (b.action.kind) {
      case K::kPan: take(x, b.action.invert ? -v : v), panAxis = &b.action; break;
      case K::kTilt: take(y, b.action.invert ? -v : v), tiltAxis = &b.action; break;
      case K::kPanLeft: take(x, pressed ? -1 : 0); break;
      case K::kPanRight: take(x, pressed ? 1 : 0); break;
      case K::kTiltUp: take(y, pressed ? -1 : 0); break;
      case K::kTiltDown: take(y, pressed ? 1 : 0); break;
      default: break;
    }
  }
  const PadSettings& s = m_profile.settings;
  const auto own = [](const PadAction* a) { return a && (a->deadzone >= 0 || a->expo >= 0); };
  StickSteps steps;
  if (!own(panAxis) && !own(tiltAxis)) {
    steps = MapStick(x, y, s);  // the two axes together: a round dead zone, as a thumb stick has
  } else {
    // Each axis alone, with its own dead zone and expo (a twist, a throttle).
    const auto alone = [&s](double v, const PadAction* a, bool isX) {
      PadSettings one = s;
      if (a && a->deadzone >= 0) one.deadzone = a->deadzone;
      if (a && a->expo >= 0) one.expo = a->expo;
      const StickSteps t = isX ? MapStick(v, 0, one) : MapStick(0, v, one);
      return isX ? t.x : t.y;
    };
    steps = {alone(x, panAxis, true), alone(y, tiltAxis, false)};
  }
  m_steering.Stick(steps, m_who, s);
}

namespace {
namespace fs = std::filesystem;
// Paths are UTF-8 inside the program, whatever the platform takes.
fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8Of(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}
constexpr std::uintmax_t kLargestProfile = 64 * 1024;  // a profile is a page of text
}  // namespace

PadProfiles::PadProfiles(PadSettings settings, std::vector<std::string> folders, PadCommandCheck check)
    : m_settings(settings), m_folders(std::move(folders)), m_check(std::move(check)) {}

std::optional<PadProfile> PadProfiles::Read(const std::string& file, std::string& why) const {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(PathOf(file), ec);
  std::ifstream in(PathOf(file), std::ios::binary);
  if (ec || !in) return why = file + ": cannot be read", std::nullopt;
  if (size > kLargestProfile) return why = file + ": larger than a profile can be (64 KB)", std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<std::string> faults;
  std::optional<PadProfile> p = ReadPadProfile(text.str(), m_settings, m_check, faults);
  for (const std::string& f : faults) why += (why.empty() ? "" : "\n") + file + ": " + f;
  if (p) p->origin = file;
  return p;
}

bool PadProfiles::Give(const std::string& file, std::string& why) {
  std::optional<PadProfile> p = Read(file, why);
  if (p) m_given.push_back(std::move(*p));
  return p.has_value();
}

PadProfile PadProfiles::For(const std::string& name, const std::string& guid, const Say& say) const {
  for (const PadProfile& p : m_given)
    if (p.Fits(name, guid)) return p;
  // The folders are read at each pad's arrival: a profile written meanwhile counts.
  std::vector<PadProfile> found;
  for (const std::string& folder : m_folders) {
    std::error_code ec;
    std::vector<std::string> files;
    for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec))
      if (it->path().extension() == ".pad") files.push_back(Utf8Of(it->path()));
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
      std::string why;
      std::optional<PadProfile> p = Read(file, why);
      if (!p && say) say("pad profile passed over: " + why);
      if (p && p->Fits(name, guid)) return *p;
      if (p && p->ForAnyPad()) found.push_back(std::move(*p));
    }
  }
  for (const PadProfile& p : m_given)
    if (p.ForAnyPad()) return p;
  if (!found.empty()) return found.front();  // the operator's own for any pad before a shipped one
  std::vector<std::string> faults;
  return *ReadPadProfile(DefaultPadProfileText(), m_settings, nullptr, faults);
}

std::string PadProfiles::Save(const PadProfile& profile, const std::string& product, std::string& why) const {
  if (m_folders.empty()) return why = "no folder for the operator's profiles", "";
  // The file is named by the pad, its characters that no file name takes left out.
  std::string base;
  for (const char c : product)
    base += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ? c : '-';
  if (base.empty() || base.find_first_not_of("-.") == std::string::npos) base = "any-pad";
  const std::string file = Utf8Of(PathOf(m_folders.front()) / PathOf(base + ".pad"));
  std::error_code ec;
  fs::create_directories(PathOf(m_folders.front()), ec);
  PadProfile own = profile;
  if (!product.empty() && !own.Fits(product, "")) own.names.push_back(product);
  std::ofstream out(PathOf(file), std::ios::binary | std::ios::trunc);
  out << "# Written by varnel's learn mode for " << (product.empty() ? "any pad" : product) << ".\n" << own.Text();
  out.close();
  if (!out) return why = file + ": cannot be written", "";
  return file;
}
