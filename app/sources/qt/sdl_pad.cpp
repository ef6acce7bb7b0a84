#include "app/sources/qt/sdl_pad.h"

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>


namespace {
constexpr int kLookMs = 500;  // a pad plugged in is found within a second
constexpr int kReadMs = 10;   // well inside the 40 ms between move frames
double Axis(Sint16 v) { return v < 0 ? v / 32768.0 : v / 32767.0; }
}  // namespace

// The SDL calls the reader makes, found in libSDL2 once it is loaded.
#define VARNEL_SDL_CALLS(X)                                                                                      \
  X(SDL_SetHint) X(SDL_InitSubSystem) X(SDL_QuitSubSystem) X(SDL_GetError) X(SDL_PollEvent) X(SDL_IsGameController) \
  X(SDL_GameControllerOpen) X(SDL_GameControllerClose) X(SDL_GameControllerName) X(SDL_GameControllerGetJoystick) \
  X(SDL_JoystickInstanceID) X(SDL_JoystickOpen) X(SDL_JoystickClose) X(SDL_JoystickName) X(SDL_JoystickPath)      \
  X(SDL_JoystickGetGUID) X(SDL_JoystickGetGUIDString) X(SDL_GameControllerGetStringForAxis)                      \
  X(SDL_GameControllerGetStringForButton)

struct SdlPad::Sdl {
#define VARNEL_SDL_MEMBER(name) decltype(&::name) name = nullptr;
  VARNEL_SDL_CALLS(VARNEL_SDL_MEMBER)
#undef VARNEL_SDL_MEMBER

  // Loaded once for the process and kept (SDL's state outlives a reader);
  // nothing when libSDL2 is not installed or lacks a call, with why.
  static const Sdl* Load(std::string& why) {
    static std::string failed;
    static const Sdl* loaded = [] () -> const Sdl* {
      void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
      if (!lib) {
        const char* e = dlerror();
        failed = e ? e : "libSDL2-2.0.so.0 cannot be loaded";
        return nullptr;
      }
      auto* sdl = new Sdl;
#define VARNEL_SDL_FIND(name)                                                  \
  sdl->name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));         \
  if (!sdl->name) {                                                            \
    failed = "libSDL2-2.0.so.0 has no " #name " (SDL 2.24 or later is needed)"; \
    delete sdl;                                                                \
    return nullptr;                                                            \
  }
      VARNEL_SDL_CALLS(VARNEL_SDL_FIND)
#undef VARNEL_SDL_FIND
      return sdl;
    }();
    if (!loaded) why = failed;
    return loaded;
  }
};

DeviceWake::DeviceWake(const char* path, QObject* parent) : QObject(parent) {
  if (!path) return;
  m_fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) return;
  m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
}

DeviceWake::~DeviceWake() {
  m_notifier.reset();
  if (m_fd >= 0) ::close(m_fd);
}

void DeviceWake::Drain() {
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The device went (ENODEV) or ended: said once, never watched again.
    // The notifier is inside its own signal here: it goes once that is done.
    m_notifier->setEnabled(false);
    m_notifier.release()->deleteLater();
    emit gone();
    return;
  }
  emit woken();
}

// One pad: SDL's handle on it, its name, its mapping and how it is read.
struct SdlPad::Pad {
  _SDL_GameController* controller = nullptr;  // a game controller SDL knows: its inputs by name
  _SDL_Joystick* joystick = nullptr;          // every pad's joystick (a flight stick: only that)
  int instance = -1;
  std::unique_ptr<PadMapping> mapping;
  std::unique_ptr<DeviceWake> wake;
  Uint8 hats[8] = {};
};

SdlPad::SdlPad(PadPanel panel, QObject* parent) : QObject(parent), m_panel(std::move(panel)) {
  connect(&m_look, &QTimer::timeout, this, [this] {
    if (!m_tried) Start();
    else Look();
  });
  connect(&m_read, &QTimer::timeout, this, [this] { Look(); });
  m_look.start(kLookMs);
}

void SdlPad::Start() {
  if (m_tried) return;
  m_tried = true;
  std::string why;
  m_sdl = Sdl::Load(why);
  if (!m_sdl) {
    m_look.stop();
    m_panel.say("no gamepad support: " + why);
    return;
  }
  // Only the game controller part of SDL (and the joysticks under it): no video, no window of its own.
  m_sdl->SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (m_sdl->SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    m_look.stop();
    m_panel.say(std::string("no gamepad support: ") + m_sdl->SDL_GetError());
    return;
  }
  m_started = true;
  if (!m_look.isActive()) m_look.start(kLookMs);
  Look();  // a pad plugged in before the panel started
}

SdlPad::~SdlPad() {
  m_look.stop();
  m_read.stop();
  for (const auto& pad : m_pads) {
    pad->wake.reset();
    if (pad->controller) m_sdl->SDL_GameControllerClose(pad->controller);
    else m_sdl->SDL_JoystickClose(pad->joystick);
  }
  m_pads.clear();
  if (m_started) m_sdl->SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool SdlPad::Watched() const {
  for (const auto& pad : m_pads)
    if (!pad->wake || !pad->wake->Watching()) return false;
  return !m_pads.empty();
}

SdlPad::Pad* SdlPad::Find(int instance) {
  for (const auto& pad : m_pads)
    if (pad->instance == instance) return pad.get();
  return nullptr;
}

void SdlPad::Open(int deviceIndex, bool controller) {
  // A game controller comes twice (as one and as a joystick): it is opened as the first.
  if (controller != (m_sdl->SDL_IsGameController(deviceIndex) == SDL_TRUE)) return;
  auto pad = std::make_unique<Pad>();
  if (controller) {
    pad->controller = m_sdl->SDL_GameControllerOpen(deviceIndex);
    if (pad->controller) pad->joystick = m_sdl->SDL_GameControllerGetJoystick(pad->controller);
  } else {
    pad->joystick = m_sdl->SDL_JoystickOpen(deviceIndex);
  }
  if (!pad->joystick) return;
  pad->instance = m_sdl->SDL_JoystickInstanceID(pad->joystick);
  if (Find(pad->instance)) {  // already ours
    if (pad->controller) m_sdl->SDL_GameControllerClose(pad->controller);
    else m_sdl->SDL_JoystickClose(pad->joystick);
    return;
  }
  const char* name = controller ? m_sdl->SDL_GameControllerName(pad->controller) : m_sdl->SDL_JoystickName(pad->joystick);
  const std::string product = name ? name : controller ? "a gamepad" : "a joystick";
  char guid[33] = {};
  m_sdl->SDL_JoystickGetGUIDString(m_sdl->SDL_JoystickGetGUID(pad->joystick), guid, sizeof guid);
  const Source who = m_panel.appear(product);
  const PadProfile profile = m_panel.steering.ProfileFor(product, guid);
  m_panel.say("gamepad connected: " + who.name);
  if (!profile.origin.empty()) m_panel.say("pad profile for " + who.name + ": " + profile.origin);
  pad->mapping = std::make_unique<PadMapping>(m_panel.steering, who, product, profile);
  m_pads.push_back(std::move(pad));
  Follow(*m_pads.back());
}

void SdlPad::Follow(Pad& pad) {
  pad.wake = std::make_unique<DeviceWake>(m_sdl->SDL_JoystickPath(pad.joystick));
  if (!pad.wake->Watching()) {
    pad.wake.reset();
    m_read.start(kReadMs);
    return;
  }
  // The kernel wakes its readers one after another: should SDL's copy of
  // what woke us not be there yet, it is a moment later.
  connect(pad.wake.get(), &DeviceWake::woken, this, [this] {
    if (!Look()) QTimer::singleShot(2, this, [this] { Look(); });
  });
  // Unplugged: read until SDL has said so (its hot-plug look, or its read).
  connect(pad.wake.get(), &DeviceWake::gone, this, [this] { m_read.start(kReadMs); });
}

void SdlPad::Close(int instance, const char* why) {
  const auto it = std::find_if(m_pads.begin(), m_pads.end(), [instance](const auto& p) { return p->instance == instance; });
  if (it == m_pads.end()) return;
  std::unique_ptr<Pad> pad = std::move(*it);
  m_pads.erase(it);
  // Reached from the watch's own wake: it goes once that is done.
  if (pad->wake) {
    pad->wake->disconnect(this);
    pad->wake.release()->deleteLater();
  }
  if (pad->controller) m_sdl->SDL_GameControllerClose(pad->controller);
  else m_sdl->SDL_JoystickClose(pad->joystick);
  pad->mapping->Lost();  // what it drove stops
  m_panel.say("gamepad " + std::string(why) + ": " + pad->mapping->Who().name);
  // Read on a timer only while some pad cannot be watched.
  if (std::all_of(m_pads.begin(), m_pads.end(), [](const auto& p) { return p->wake != nullptr; })) m_read.stop();
}

bool SdlPad::Look() {
  SDL_Event e;
  bool heard = false;
  while (m_sdl->SDL_PollEvent(&e)) {
    heard = true;
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which, true); break;
      case SDL_JOYDEVICEADDED: Open(e.jdevice.which, false); break;
      case SDL_CONTROLLERDEVICEREMOVED: Close(e.cdevice.which, "removed"); break;
      case SDL_JOYDEVICEREMOVED: Close(e.jdevice.which, "removed"); break;
      case SDL_CONTROLLERAXISMOTION:
        if (Pad* pad = Find(e.caxis.which); pad && pad->controller)
          if (const char* name = m_sdl->SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(e.caxis.axis)))
            pad->mapping->Input(name, Axis(e.caxis.value));
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        if (Pad* pad = Find(e.cbutton.which); pad && pad->controller)
          if (const char* name =
                  m_sdl->SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(e.cbutton.button)))
            pad->mapping->Input(name, e.type == SDL_CONTROLLERBUTTONDOWN ? 1.0 : 0.0);
        break;
      // A joystick SDL has no mapping for: its inputs by number.
      case SDL_JOYAXISMOTION:
        if (Pad* pad = Find(e.jaxis.which); pad && !pad->controller)
          pad->mapping->Input("axis" + std::to_string(e.jaxis.axis), Axis(e.jaxis.value));
        break;
      case SDL_JOYBUTTONDOWN:
      case SDL_JOYBUTTONUP:
        if (Pad* pad = Find(e.jbutton.which); pad && !pad->controller)
          pad->mapping->Input("button" + std::to_string(e.jbutton.button), e.jbutton.state == SDL_PRESSED ? 1.0 : 0.0);
        break;
      case SDL_JOYHATMOTION:
        if (Pad* pad = Find(e.jhat.which); pad && !pad->controller && e.jhat.hat < 8) {
          // Each of a hat's four directions is a button of its own.
          static constexpr std::pair<Uint8, const char*> kWays[] = {
              {SDL_HAT_UP, "up"}, {SDL_HAT_RIGHT, "right"}, {SDL_HAT_DOWN, "down"}, {SDL_HAT_LEFT, "left"}};
          const Uint8 was = pad->hats[e.jhat.hat];
          pad->hats[e.jhat.hat] = e.jhat.value;
          for (const auto& [bit, way] : kWays)
            if ((was ^ e.jhat.value) & bit)
              pad->mapping->Input("hat" + std::to_string(e.jhat.hat) + way, e.jhat.value & bit ? 1.0 : 0.0);
        }
        break;
      default: break;
    }
  }
  return heard;
}
