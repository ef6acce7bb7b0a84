#include "app/steering.h"

#include "app/panel/control_ids.h"

void Steering::TimerProc(unsigned, unsigned, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  // The timer's thread: post, nothing else. Stopped before the steering goes.
  reinterpret_cast<Steering*>(user)->m_panel.post();
}

void Steering::Tock(bool on) {
  if (on == m_ticking) return;
  m_ticking = on;
  if (m_panel.ticking) return m_panel.ticking(on ? PeriodMs() : 0);
  if (on) m_timer.Start(PeriodMs(), 1, reinterpret_cast<std::uintptr_t>(this), TimerProc);
  else m_timer.Stop();
}

void Steering::Halt() {
  m_ticking = false;
  m_timer.Stop();
}

void Steering::Move() {
  const StickSteps steps =
      m_shaped ? ShapeStick(m_steps, m_settings, m_panel.zoomLevel ? m_panel.zoomLevel() : 1, m_frame++, PeriodMs())
               : m_steps;
  if (m_panel.move(steps.x, steps.y, m_driver)) {
    m_moving = true;
    return;
  }
  // A box came instead (a step the edits refuse): the same held stick must
  // not bring it back after every OK.
  m_held = true;
  m_moving = false;
}

void Steering::Stick(double x, double y, const Source& who) { Take(MapStick(x, y, m_settings), who, true); }

void Steering::Steer(const StickSteps& steps, const Source& who) { Take(steps, who, false); }

void Steering::Take(const StickSteps& steps, const Source& who, bool shaped) {
  if (steps.Zero() && m_moving && !(who == m_driver)) return;  // not the one driving
  if (!m_moving || steps.Zero()) m_frame = 0;  // a move from rest ramps afresh
  m_steps = steps;
  m_shaped = shaped;
  if (!m_steps.Zero()) m_driver = who;
  if (m_steps.Zero()) {
    m_held = false;                         // at rest: the next deflection moves again
    if (m_moving) m_panel.stop(m_driver);   // once: the gimbal stops, box or not
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

void Steering::Tick() {
  if (m_panel.blocked()) {
    if (!m_steps.Zero()) m_held = true;
    m_moving = false;  // the box's opening stopped the gimbal
    return;
  }
  if (!m_steps.Zero() && !m_held) {
    Move();
  } else if (m_moving) {
    m_panel.stop(m_driver);
    m_moving = false;
  }
  if (m_repeat) m_panel.click(m_repeat, m_presser);
  if ((m_steps.Zero() || m_held) && !m_repeat) Tock(false);
}

void Steering::Button(PadButton button, bool down, const Source& who) {
  const int id = PadButtonControl(button, m_frozen);
  const bool zoom = id == idc::ZoomNarrow || id == idc::ZoomEnlarge;
  if (!down) {
    if (zoom && m_repeat == id) m_repeat = 0;
    if (m_steps.Zero() && !m_repeat) Tock(false);
    return;
  }
  if (m_panel.blocked()) return;
  m_panel.click(id, who);
  if (button == PadButton::kY) m_frozen = !m_frozen;
  if (zoom) {  // repeats while held
    m_repeat = id;
    m_presser = who;
    Tock(true);
  }
}

void Steering::Lost() {
  m_steps = {};
  m_repeat = 0;
  m_held = false;
  if (m_moving) m_panel.stop(m_driver);  // box or not
  m_moving = false;
  Tock(false);
}


void ApplyPadState(Steering& steering, const PadState& was, const PadState& now, const Source& pad) {
  if (!now.connected) {
    if (was.connected) steering.Lost();
    return;
  }
  for (int b = 0; b < 8; ++b)
    if (now.buttons[b] != (was.connected && was.buttons[b]))
      steering.Button(static_cast<PadButton>(b), now.buttons[b], pad);
  if (!was.connected || now.x != was.x || now.y != was.y) steering.Stick(now.x, now.y, pad);
}
