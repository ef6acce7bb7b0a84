// Steering with a gamepad, written once for every source of pad input (a
// pad the platform reads, script mode's `stick` and `pad`): the stick's
// deflection becomes move frames through the same handlers and builders as
// the arrows, the buttons press the panel's own buttons.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "receive/mm_timer.h"

// The mapping's parameters, in one table (the command line sets them).
struct PadSettings {
  double deadzone = 0.15;  // radial, of full deflection; the steps ramp from zero at its edge
  double expo = 0.4;       // 0: linear; 1: cubic, fine control near the centre
  int maxStep = 200;       // the step at full deflection
  bool invertX = false, invertY = false;
  unsigned periodMs = 40;  // at most one move frame this often while deflected (never more than the line carries)
};

struct StickSteps {
  int x = 0, y = 0;
  bool Zero() const { return x == 0 && y == 0; }
  bool operator==(const StickSteps&) const = default;
};

// Deflection (-1 to 1 each axis; y positive downwards, as the panel's DOWN)
// to the steps of a move frame. Inside the dead zone nothing; just outside
// it the smallest step, growing smoothly to maxStep at full deflection.
StickSteps MapStick(double x, double y, const PadSettings& settings);

enum class PadButton { kA, kB, kX, kY, kLeftShoulder, kRightShoulder, kLeftTrigger, kRightTrigger };
// "a", "b", "x", "y", "lb", "rb", "lt", "rt"; nothing for another name.
std::optional<PadButton> PadButtonNamed(const std::string& name);
// The panel's button a pad button presses (the Y button: Frozen, then Thaw).
int PadButtonControl(PadButton button, bool frozen);

class PadSteering {
 public:
  // What the pad does to the panel: the dialog's handlers.
  struct Panel {
    std::function<bool(int, int)> move;  // a move frame with these steps, edits 1019/1020 showing them;
                                         // false when it did not go (a box opened instead)
    std::function<void()> stop;          // the gimbal stops: the stop owed to it, never refused
    std::function<void(int)> click;      // a button's handler, as its click runs it
    std::function<bool()> blocked;       // a message box is open: nothing runs
    std::function<void()> post;          // from the pad's timer: Tick() is to run on the window's thread
    std::function<void(unsigned)> ticking = nullptr;  // stands in for the pad's own timer (ms, 0 to stop)
  };
  PadSteering(Panel panel, PadSettings settings = {}) : m_panel(std::move(panel)), m_settings(settings) {}
  ~PadSteering() { Halt(); }
  PadSteering(const PadSteering&) = delete;
  PadSteering& operator=(const PadSteering&) = delete;
  void Configure(const PadSettings& settings) { m_settings = settings; }
  const PadSettings& Settings() const { return m_settings; }
  // A move frame's time on the wire at the line's rate: the repeat never
  // comes faster. Handed over whenever the line settings change.
  void SetLineTime(unsigned ms) { m_lineTimeMs = ms; }
  unsigned PeriodMs() const { return std::max(m_settings.periodMs, m_lineTimeMs); }

  // A new stick state: moving starts at once, then at most one frame a
  // period carries the latest steps; back in the dead zone, one stop. A box
  // that opens while the stick is deflected ends the move: motion resumes
  // only from a new deflection, after the stick came back to rest.
  // driver: who feeds the stick (0: the gamepad, script mode; a control
  // client its number). The latest to move drives: a rest from another than
  // the one driving stops nothing.
  void Stick(double x, double y, int driver = 0);
  // The same with the steps given (a PTZ controller's drive): one steering
  // state, one set of stop rules, whoever drives.
  void Steer(const StickSteps& steps, int driver);
  int Driver() const { return m_driver; }
  void Button(PadButton button, bool down);
  // The pad went away (or the window lost it): what moves stops.
  void Lost();
  bool Moving() const { return m_moving; }  // the last frame it sent moved the gimbal
  // The pad's tick, on the window's thread.
  void Tick();
  // The panel ends: no more ticks.
  void Halt();

 private:
  void Tock(bool on);
  void Move();
  static void TimerProc(unsigned id, unsigned msg, std::uintptr_t user, std::uintptr_t dw1, std::uintptr_t dw2);
  Panel m_panel;
  PadSettings m_settings;
  unsigned m_lineTimeMs = 0;
  StickSteps m_steps;          // the latest stick state, mapped
  bool m_moving = false;       // the last frame sent moved
  int m_driver = 0;            // who moved the stick last
  bool m_held = false;         // a box ended the move: nothing until the stick comes back to rest
  int m_repeat = 0;            // the zoom button held, repeating
  bool m_frozen = false;       // the Y button froze last
  bool m_ticking = false;
  CMMTimer m_timer;
};

// A pad read by polling (XInput): its whole state at one look, and what
// changed since the last look handed to the steering as events.
struct PadState {
  bool connected = false;
  double x = 0, y = 0;  // the left stick, y positive downwards
  bool buttons[8] = {};  // by PadButton
};
void ApplyPadState(PadSteering& pad, const PadState& was, const PadState& now);
