#include "app/steering.h"

#include <utility>

#include "app/panel/control_ids.h"

namespace {
PadProfile DefaultProfile(const PadSettings& settings) {
  std::vector<std::string> faults;
  return *ReadPadProfile(DefaultPadProfileText(), settings, nullptr, faults);
}
}  // namespace

Steering::Steering(Panel panel, PadSettings settings)
    : m_panel(std::move(panel)), m_settings(settings), m_profile(DefaultProfile(settings)) {}

Steering::~Steering() {
  Halt();
  m_named.clear();  // their last word (a stop) comes while the steering is whole
}

void Steering::UseProfile(PadProfile profile) {
  m_profile = std::move(profile);
  for (auto& [id, pad] : m_named) pad->Use(m_profile);
}

PadMapping& Steering::PadOf(const Source& who) {
  std::unique_ptr<PadMapping>& pad = m_named[who.id];
  if (!pad) pad = std::make_unique<PadMapping>(*this, who, "", m_profile);
  return *pad;
}

void Steering::UseProfiles(const PadProfiles* profiles, PadProfiles::Say say) {
  m_profiles = profiles;
  m_say = std::move(say);
  if (m_profiles) UseProfile(m_profiles->InForce(m_say));
}

PadProfile Steering::ProfileFor(const std::string& product, const std::string& guid) const {
  return m_profiles ? m_profiles->For(product, guid, m_say) : m_profile;
}

void Steering::Learn(const PadAction& action) {
  m_choose = nullptr;
  m_learning = action;
}

void Steering::Learn(Choose choose) {
  m_learning.reset();
  m_choose = std::move(choose);
}

bool Steering::TakeLearned(PadMapping& pad, const std::string& input, bool axis) {
  // An action that needs an axis waits for one; a press may be on a trigger.
  if (!Learning() || (m_learning && m_learning->TakesAxis() && !axis)) return false;
  std::optional<PadAction> action = m_learning;
  m_learning.reset();
  if (Choose choose = std::exchange(m_choose, nullptr)) action = choose(pad, input);  // its box may run the loop
  if (!action) return true;
  if (action->TakesAxis() && !axis) {
    if (m_say) m_say("pad not learned: " + pad.Who().name + ": " + input + " is no axis for " + action->Text());
    return true;
  }
  PadProfile learned = pad.Profile();
  learned.Bind(input, false, *action);
  pad.Use(learned);
  std::string said = "pad learned: " + pad.Who().name + ": " + input + " = " + action->Text();
  if (m_profiles) {
    std::string why;
    const std::string file = m_profiles->Save(learned, pad.Product(), why);
    said += file.empty() ? " (not kept: " + why + ")" : " (written to " + file + ")";
  }
  if (pad.Product().empty()) UseProfile(learned);  // script mode's and the clients' pads share the one in force
  if (m_say) m_say(said);
  return true;
}

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
      m_shaped ? ShapeStick(m_steps, m_shape, m_panel.zoomLevel ? m_panel.zoomLevel() : 1, m_frame++, PeriodMs())
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

void Steering::Stick(double x, double y, const Source& who) { Take(MapStick(x, y, m_settings), who, &m_settings); }

void Steering::Stick(const StickSteps& steps, const Source& who, const PadSettings& shape) {
  Take(steps, who, &shape);
}

void Steering::Steer(const StickSteps& steps, const Source& who) { Take(steps, who, nullptr); }

void Steering::Take(const StickSteps& steps, const Source& who, const PadSettings* shape) {
  if (steps.Zero() && m_moving && !(who == m_driver)) return;  // not the one driving
  if (!m_moving || steps.Zero()) m_frame = 0;  // a move from rest ramps afresh
  m_steps = steps;
  m_shaped = shape != nullptr;
  if (shape) m_shape = *shape;
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

void Steering::Press(const PadAction& action, bool down, const Source& who) {
  using K = PadAction::Kind;
  const int zoom = action.kind == K::kZoomIn ? idc::ZoomEnlarge : action.kind == K::kZoomOut ? idc::ZoomNarrow : 0;
  if (!down) {
    if (zoom && m_repeat == zoom) m_repeat = 0;
    if (m_steps.Zero() && !m_repeat) Tock(false);
    return;
  }
  if (m_panel.blocked()) return;
  switch (action.kind) {
    case K::kClick: return m_panel.click(action.control, who);
    case K::kFreeze:
      m_panel.click(m_frozen ? idc::Thaw : idc::Frozen, who);
      m_frozen = !m_frozen;
      return;
    case K::kCommand:
      if (m_run) m_run(action.command, who);
      return;
    default: break;
  }
  if (!zoom) return;
  m_panel.click(zoom, who);
  m_repeat = zoom;  // repeats while held
  m_presser = who;
  Tock(true);
}

void Steering::Lost(const Source& who) {
  if (m_repeat && m_presser == who) m_repeat = 0;
  if (!(m_driver == who)) {
    if (m_steps.Zero() && !m_repeat) Tock(false);
    return;
  }
  m_steps = {};
  m_held = false;
  if (m_moving) m_panel.stop(m_driver);  // box or not
  m_moving = false;
  if (!m_repeat) Tock(false);
}
