#include "app/gamepad.h"

#include <algorithm>
#include <cmath>

#include "app/panel/control_ids.h"

StickSteps MapStick(double x, double y, const PadSettings& s) {
  if (!std::isfinite(x) || !std::isfinite(y)) return {};
  x = std::clamp(x, -1.0, 1.0);
  y = std::clamp(y, -1.0, 1.0);
  const double m = std::hypot(x, y);
  const double dz = std::clamp(s.deadzone, 0.0, 0.95);
  if (m <= dz) return {};
  // From 0 at the dead zone's edge to 1 at full deflection, then the curve.
  const double t = (std::min(m, 1.0) - dz) / (1.0 - dz);
  const double e = std::clamp(s.expo, 0.0, 1.0);
  const double curved = e * t * t * t + (1.0 - e) * t;
  const int maxStep = std::max(1, s.maxStep);
  // Never a jump at the edge: the smallest step there, whatever maxStep is.
  const double magnitude = std::max(1.0, std::round(curved * maxStep));
  const auto axis = [&](double v, bool invert) {
    const int step = static_cast<int>(std::lround(v / m * magnitude));
    return invert ? -step : step;
  };
  StickSteps out{axis(x, s.invertX), axis(y, s.invertY)};
  if (out.Zero()) {  // rounding took both axes to 0: the larger one moves by one
    if (std::fabs(x) >= std::fabs(y)) out.x = (x > 0) != s.invertX ? 1 : -1;
    else out.y = (y > 0) != s.invertY ? 1 : -1;
  }
  return out;
}

std::optional<PadButton> PadButtonNamed(const std::string& name) {
  static const std::pair<const char*, PadButton> names[] = {
      {"a", PadButton::kA},           {"b", PadButton::kB},           {"x", PadButton::kX},
      {"y", PadButton::kY},           {"lb", PadButton::kLeftShoulder}, {"rb", PadButton::kRightShoulder},
      {"lt", PadButton::kLeftTrigger}, {"rt", PadButton::kRightTrigger}};
  for (const auto& [n, b] : names)
    if (name == n) return b;
  return std::nullopt;
}

int PadButtonControl(PadButton button, bool frozen) {
  switch (button) {
    case PadButton::kA: return idc::StartTracking;
    case PadButton::kB: return idc::ExitTracking;
    case PadButton::kX: return idc::SingleCapture;
    case PadButton::kY: return frozen ? idc::Thaw : idc::Frozen;
    case PadButton::kLeftShoulder:
    case PadButton::kLeftTrigger: return idc::ZoomNarrow;
    case PadButton::kRightShoulder:
    case PadButton::kRightTrigger: return idc::ZoomEnlarge;
  }
  return 0;
}

void PadSteering::TimerProc(unsigned, unsigned, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  // The timer's thread: post, nothing else. Stopped before the steering goes.
  reinterpret_cast<PadSteering*>(user)->m_panel.post();
}

void PadSteering::Tock(bool on) {
  if (on == m_ticking) return;
  m_ticking = on;
  if (m_panel.ticking) return m_panel.ticking(on ? PeriodMs() : 0);
  if (on) m_timer.Start(PeriodMs(), 1, reinterpret_cast<std::uintptr_t>(this), TimerProc);
  else m_timer.Stop();
}

void PadSteering::Halt() {
  m_ticking = false;
  m_timer.Stop();
}

void PadSteering::Move() {
  if (m_panel.move(m_steps.x, m_steps.y)) {
    m_moving = true;
    return;
  }
  // A box came instead (a step the edits refuse): the same held stick must
  // not bring it back after every OK.
  m_held = true;
  m_moving = false;
}

void PadSteering::Stick(double x, double y, int driver) { Steer(MapStick(x, y, m_settings), driver); }

void PadSteering::Steer(const StickSteps& steps, int driver) {
  if (steps.Zero() && m_moving && driver != m_driver) return;  // not the one driving
  m_steps = steps;
  if (!m_steps.Zero()) m_driver = driver;
  if (m_steps.Zero()) {
    m_held = false;                  // at rest: the next deflection moves again
    if (m_moving) m_panel.stop();    // once: the gimbal stops, box or not
    m_moving = false;
    if (!m_repeat) Tock(false);
    return;
  }
  if (m_panel.blocked()) {
    // Nothing goes out while a box is open (its opening stopped the gimbal).
    m_held = true;
    m_moving = false;
    return;
  }
  if (m_held) return;
  if (!m_ticking) {  // the first deflection moves at once; the timer carries on
    Move();
    if (!m_held) Tock(true);
  }
}

void PadSteering::Tick() {
  if (m_panel.blocked()) {
    if (!m_steps.Zero()) m_held = true;
    m_moving = false;  // the box's opening stopped the gimbal
    return;
  }
  if (!m_steps.Zero() && !m_held) {
    Move();
  } else if (m_moving) {
    m_panel.stop();
    m_moving = false;
  }
  if (m_repeat) m_panel.click(m_repeat);
  if ((m_steps.Zero() || m_held) && !m_repeat) Tock(false);
}

void PadSteering::Button(PadButton button, bool down) {
  const int id = PadButtonControl(button, m_frozen);
  const bool zoom = id == idc::ZoomNarrow || id == idc::ZoomEnlarge;
  if (!down) {
    if (zoom && m_repeat == id) m_repeat = 0;
    if (m_steps.Zero() && !m_repeat) Tock(false);
    return;
  }
  if (m_panel.blocked()) return;
  m_panel.click(id);
  if (button == PadButton::kY) m_frozen = !m_frozen;
  if (zoom) {  // repeats while held
    m_repeat = id;
    Tock(true);
  }
}

void PadSteering::Lost() {
  m_steps = {};
  m_repeat = 0;
  m_held = false;
  if (m_moving) m_panel.stop();  // box or not
  m_moving = false;
  Tock(false);
}

void ApplyPadState(PadSteering& pad, const PadState& was, const PadState& now) {
  if (!now.connected) {
    if (was.connected) pad.Lost();
    return;
  }
  for (int b = 0; b < 8; ++b)
    if (now.buttons[b] != (was.connected && was.buttons[b])) pad.Button(static_cast<PadButton>(b), now.buttons[b]);
  if (!was.connected || now.x != was.x || now.y != was.y) pad.Stick(now.x, now.y);
}
