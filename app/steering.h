// The panel's one steering state, whoever steers: the window's arrows aside,
// every source that moves the gimbal (a pad, script mode's `stick`, a control
// client, a PTZ controller) goes through it, so that one set of rules holds
// for all: moving starts at once, the line's repeat carries the latest steps,
// the latest to move drives, a rest from another stops nothing, a box ends
// the move, and every frame goes out as its source's.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/gamepad.h"
#include "app/pad_profile.h"
#include "app/source.h"
#include "receive/mm_timer.h"

class Steering {
 public:
  // What steering does to the panel: the dialog's handlers, each for the source given.
  struct Panel {
    std::function<bool(int, int, const Source&)> move;  // a move frame with these steps, edits 1019/1020
                                                        // showing them; false when it did not go (a box instead)
    std::function<void(const Source&)> stop;            // the gimbal stops: the stop owed to it, never refused
    std::function<void(int, const Source&)> click;      // a button's handler, as its click runs it
    std::function<bool()> blocked;       // a message box is open: nothing runs
    std::function<void()> post;          // from the pad's timer: Tick() is to run on the window's thread
    std::function<void(unsigned)> ticking = nullptr;  // stands in for the pad's own timer (ms, 0 to stop)
    std::function<int()> zoomLevel = nullptr;         // the zoom level the panel set, 1 to 30 (none: 1)
  };
  Steering(Panel panel, PadSettings settings = {});
  ~Steering();
  Steering(const Steering&) = delete;
  Steering& operator=(const Steering&) = delete;
  void Configure(const PadSettings& settings) { m_settings = settings; }
  const PadSettings& Settings() const { return m_settings; }
  // The profile in force where a pad has none of its own, and for script
  // mode's and a client's `pad` (the default one until one is given).
  void UseProfile(PadProfile profile);
  const PadProfile& Profile() const { return m_profile; }
  // How a press bound to a script-mode line runs it, as who (set once the panel can run them).
  void RunCommands(std::function<void(const std::string& line, const Source& who)> run) { m_run = std::move(run); }
  // The pad that script mode or a client presses by name, through the profile in force.
  PadMapping& PadOf(const Source& who);
  // Where each pad's profile is found (null: every pad has the one in force).
  void UseProfiles(const PadProfiles* profiles, PadProfiles::Say say);
  PadProfile ProfileFor(const std::string& product, const std::string& guid) const;

  // Learn mode: the next input moved on any pad does action from then on, in
  // that pad's profile, which is written back (said: what was bound, where).
  void Learn(const PadAction& action);
  // The same with the action chosen once the input is known (the window asks
  // the operator): nothing chosen, nothing bound.
  using Choose = std::function<std::optional<PadAction>(const PadMapping& pad, const std::string& input)>;
  void Learn(Choose choose);
  bool Learning() const { return m_learning.has_value() || m_choose != nullptr; }
  // From a pad's mapping, an input just moved past half way: true when learn
  // mode took it (it then does nothing else). axis: the input is an axis.
  bool TakeLearned(PadMapping& pad, const std::string& input, bool axis);
  // A move frame's time on the wire at the line's rate: the repeat never
  // comes faster. Handed over whenever the line settings change.
  void SetLineTime(unsigned ms) { m_lineTimeMs = ms; }
  unsigned PeriodMs() const { return std::max(m_settings.periodMs, m_lineTimeMs); }

  // A new stick state: moving starts at once, then at most one frame a
  // period carries the latest steps; back in the dead zone, one stop. A box
  // that opens while the stick is deflected ends the move: motion resumes
  // only from a new deflection, after the stick came back to rest.
  // who: the source that feeds the stick. The latest to move drives: a rest
  // from another than the one driving stops nothing.
  void Stick(double x, double y, const Source& who);  // its steps shaped by the zoom and the ramp
  // A pad's stick mapped by its profile, shaped by the profile's zoom scale and ramp.
  void Stick(const StickSteps& steps, const Source& who, const PadSettings& shape);
  // The same with the steps given (a PTZ controller's drive): one steering
  // state, one set of stop rules, whoever drives.
  void Steer(const StickSteps& steps, const Source& who);
  const Source& Driver() const { return m_driver; }
  // A press or release bound in a profile: a click, a zoom that repeats
  // while held, freeze and thaw in turn, a script-mode line.
  void Press(const PadAction& action, bool down, const Source& who);
  // who went away (a pad unplugged): what it drove stops, what it held is let go.
  void Lost(const Source& who);
  bool Moving() const { return m_moving; }  // the last frame it sent moved the gimbal
  // The pad's tick, on the window's thread.
  void Tick();
  // The panel ends: no more ticks.
  void Halt();

 private:
  void Take(const StickSteps& steps, const Source& who, const PadSettings* shape);
  void Tock(bool on);
  void Move();
  static void TimerProc(unsigned id, unsigned msg, std::uintptr_t user, std::uintptr_t dw1, std::uintptr_t dw2);
  Panel m_panel;
  PadSettings m_settings;
  unsigned m_lineTimeMs = 0;
  StickSteps m_steps;          // the latest stick state, mapped
  bool m_shaped = false;       // from a stick: scaled by the zoom and ramped (a controller's drive is not)
  PadSettings m_shape;         // by these (the pad's profile's)
  unsigned m_frame = 0;        // move frames since the move started from rest
  bool m_moving = false;       // the last frame sent moved
  Source m_driver;             // who moved the stick last
  Source m_presser;            // who holds the zoom button that repeats
  bool m_held = false;         // a box ended the move: nothing until the stick comes back to rest
  int m_repeat = 0;            // the zoom button held, repeating
  bool m_frozen = false;       // the Y button froze last
  bool m_ticking = false;
  PadProfile m_profile;
  std::function<void(const std::string&, const Source&)> m_run;
  std::map<int, std::unique_ptr<PadMapping>> m_named;  // by source id: script mode's and clients' `pad`
  const PadProfiles* m_profiles = nullptr;
  PadProfiles::Say m_say;
  std::optional<PadAction> m_learning;
  Choose m_choose;
  CMMTimer m_timer;
};

// What a pad reader needs of the panel, and no more: the steering state, a
// name for each pad it finds (by its product), and a line for the terminal
// and the session log.
struct PadPanel {
  Steering& steering;  // and each pad's profile (Steering::ProfileFor)
  std::function<Source(const std::string& product)> appear;
  std::function<void(const std::string&)> say;
};
