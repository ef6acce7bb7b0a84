// What a pad does, as the operator writes it: a profile is a plain text file,
// one line per input (`INPUT = ACTION`, `#` comments), inputs named as SDL's
// game controller mappings name them (`a`, `leftshoulder`, `righttrigger`,
// `leftx`, `dpup`) or by number for a pad SDL does not know (`axis3`,
// `button7`, `hat0up`). A profile is read whole and checked before it is
// taken: a wrong line is said with its number and the pad keeps what it had.
// PadMapping then turns one pad's inputs into the steering state's moves,
// zooms and the panel's buttons, as that pad's source.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/gamepad.h"
#include "app/source.h"

class Steering;

struct PadAction {
  enum class Kind { kPan, kTilt, kZoom, kPanLeft, kPanRight, kTiltUp, kTiltDown, kZoomIn, kZoomOut, kFreeze, kClick,
                    kCommand };
  Kind kind = Kind::kCommand;
  std::string command;  // kCommand: a script-mode line, run as the pad
  int control = 0;      // kClick: the panel's button pressed, as the pad's buttons always pressed them
  // An axis of the stick (kPan, kTilt): the other way round, and its own dead
  // zone and expo (below 0: the profile's, the two axes taken together).
  bool invert = false;
  double deadzone = -1, expo = -1;
  // Whether it wants an axis (pan, tilt, zoom both ways) rather than a press.
  bool TakesAxis() const { return kind == Kind::kPan || kind == Kind::kTilt || kind == Kind::kZoom; }
  std::string Text() const;  // as a profile writes it
};

struct PadBinding {
  std::string input;     // "a", "leftx", "axis3", "button7", "hat0up"
  bool release = false;  // `INPUT up = ...`: runs when the input is let go
  PadAction action;
};

struct PadProfile {
  std::vector<std::string> names, guids;  // the pads it is for (none: any pad)
  PadSettings settings;                   // the stick's dead zone, expo, steps, zoom scale, ramp
  std::vector<PadBinding> bindings;
  std::string origin;  // the file it came from ("" for the built-in default)
  bool ForAnyPad() const { return names.empty() && guids.empty(); }
  bool Fits(const std::string& name, const std::string& guid) const;
  // The profile as a file holds it; read back, it is the same profile.
  std::string Text() const;
  // What an input does (the press or the release), if anything.
  const PadBinding* Find(const std::string& input, bool release) const;
  // Binds input to action, in place of what it did (learn mode).
  void Bind(const std::string& input, bool release, const PadAction& action);
};

// Whether a script-mode line may be bound to a press: "" when it may, else why.
using PadCommandCheck = std::function<std::string(const std::string& line)>;

// An action as a profile line's right side writes it; why not, "" when it is
// one (axis: the input is an axis, which pan, tilt and zoom need).
std::string ReadPadAction(const std::string& text, bool axis, PadAction& action, const PadCommandCheck& check);
// What learn mode offers for an input (an axis, or a press): the actions, then
// a click on each of the panel's buttons, its caption after a #.
std::vector<std::string> PadActionChoices(bool axis);
// Reads a profile over settings (the command line's); nothing, with a line
// "line N: why" for each fault, when it has any.
std::optional<PadProfile> ReadPadProfile(const std::string& text, const PadSettings& settings,
                                         const PadCommandCheck& check, std::vector<std::string>& faults);
// What a pad does without a profile, written as one.
const char* DefaultPadProfileText();
// An input's name as profiles write it ("lb" and the other short names script
// mode always took become SDL's), or nothing for no input a pad has.
std::optional<std::string> PadInputNamed(const std::string& name);
bool PadInputIsAxis(const std::string& input);  // leftx, righttrigger, axis3: a value, not a press

// One pad's inputs through its profile into the steering state. Axis values
// are -1 to 1 (triggers 0 to 1; y positive downwards as SDL gives them), a
// button is 0 or 1; an axis bound to a press is pressed past half way.
class PadMapping {
 public:
  // product: the pad's name as it gives it ("" for script mode's and a client's).
  PadMapping(Steering& steering, Source who, std::string product, PadProfile profile);
  void Input(const std::string& input, double value);
  // The pad went: what it drove stops, what it held is let go.
  void Lost();
  void Use(PadProfile profile);  // a new profile for the same pad: what it held is let go first
  const PadProfile& Profile() const { return m_profile; }
  const Source& Who() const { return m_who; }
  const std::string& Product() const { return m_product; }

 private:
  void Press(const PadBinding& binding, bool down);
  void Steer();
  Steering& m_steering;
  Source m_who;
  PadProfile m_profile;
  std::map<std::string, double> m_values;
  std::map<std::string, bool> m_pressed;  // by input ("+" / "-" for a zoom axis's two ends)
  std::string m_product;
};

// Where a pad's profile comes from: the files given on the command line
// (--pad-profile), then the operator's and the shipped profile folders, then
// the default. A file with faults is said, line by line, and passed over.
class PadProfiles {
 public:
  using Say = std::function<void(const std::string&)>;
  // folders: the operator's own first (where learn mode writes), then the shipped ones.
  PadProfiles(PadSettings settings, std::vector<std::string> folders, PadCommandCheck check);
  // A --pad-profile file: false with its faults, each "FILE: line N: why".
  bool Give(const std::string& file, std::string& why);
  // The profile for a pad: a given one that names it (its product's GUID or
  // name), one in the folders that does, a given one for any pad, the default.
  PadProfile For(const std::string& name, const std::string& guid, const Say& say) const;
  // The profile for any pad (script mode's and a client's `pad`).
  PadProfile InForce(const Say& say = nullptr) const { return For("", "", say); }
  // Writes profile (learned) into the operator's folder as the pad's own;
  // the file's path, or "" with why.
  std::string Save(const PadProfile& profile, const std::string& product, std::string& why) const;
  const std::vector<std::string>& Folders() const { return m_folders; }

 private:
  std::optional<PadProfile> Read(const std::string& file, std::string& why) const;
  PadSettings m_settings;
  std::vector<std::string> m_folders;
  PadCommandCheck m_check;
  std::vector<PadProfile> m_given;
};
// This platform's profile folders, the operator's own first (app/posix, app/win32).
std::vector<std::string> PadProfileFolders();
