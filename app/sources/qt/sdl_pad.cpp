#include "app/sources/qt/sdl_pad.h"

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

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
  X(SDL_GameControllerPath) X(SDL_JoystickInstanceID)

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
  // Only the game controller part of SDL: no video, no window of its own.
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
  m_wake.reset();
  if (m_pad) m_sdl->SDL_GameControllerClose(m_pad);
  if (m_started) m_sdl->SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlPad::Open(int deviceIndex) {
  if (m_pad || !m_sdl->SDL_IsGameController(deviceIndex)) return;
  m_pad = m_sdl->SDL_GameControllerOpen(deviceIndex);
  if (!m_pad) return;
  m_instance = m_sdl->SDL_JoystickInstanceID(m_sdl->SDL_GameControllerGetJoystick(m_pad));
  const char* name = m_sdl->SDL_GameControllerName(m_pad);
  m_name = name ? name : "a gamepad";
  m_source = m_panel.appear(m_name);
  m_panel.say("gamepad connected: " + m_source.name);
  Follow();
}

void SdlPad::Follow() {
  m_wake = std::make_unique<DeviceWake>(m_sdl->SDL_GameControllerPath(m_pad));
  if (!m_wake->Watching()) {
    m_wake.reset();
    m_read.start(kReadMs);
    return;
  }
  m_read.stop();
  // The kernel wakes its readers one after another: should SDL's copy of
  // what woke us not be there yet, it is a moment later.
  connect(m_wake.get(), &DeviceWake::woken, this, [this] {
    if (!Look()) QTimer::singleShot(2, this, [this] { Look(); });
  });
  // Unplugged: read until SDL has said so (its hot-plug look, or its read).
  connect(m_wake.get(), &DeviceWake::gone, this, [this] { m_read.start(kReadMs); });
}

void SdlPad::Close(const char* why) {
  if (!m_pad) return;
  m_read.stop();
  // Reached from the watch's own wake: it goes once that is done.
  if (m_wake) {
    m_wake->disconnect(this);
    m_wake.release()->deleteLater();
  }
  m_sdl->SDL_GameControllerClose(m_pad);
  m_pad = nullptr;
  m_instance = -1;
  m_x = m_y = 0;
  m_leftTrigger = m_rightTrigger = false;
  m_panel.steering.Lost();  // what moves stops
  m_panel.say("gamepad " + std::string(why) + ": " + m_source.name);
}

bool SdlPad::Look() {
  SDL_Event e;
  bool heard = false;
  while (m_sdl->SDL_PollEvent(&e)) {
    heard = true;
    Steering& pad = m_panel.steering;
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which); break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (e.cdevice.which == m_instance) Close("removed");
        break;
      case SDL_CONTROLLERAXISMOTION: {
        if (e.caxis.which != m_instance) break;
        const double v = Axis(e.caxis.value);
        switch (e.caxis.axis) {
          case SDL_CONTROLLER_AXIS_LEFTX: m_x = v; pad.Stick(m_x, m_y, m_source); break;
          case SDL_CONTROLLER_AXIS_LEFTY: m_y = v; pad.Stick(m_x, m_y, m_source); break;
          case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
          case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: {
            // A trigger is a button past half way.
            const bool left = e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT;
            bool& held = left ? m_leftTrigger : m_rightTrigger;
            if ((v > 0.5) != held) {
              held = v > 0.5;
              pad.Button(left ? PadButton::kLeftTrigger : PadButton::kRightTrigger, held, m_source);
            }
            break;
          }
          default: break;
        }
        break;
      }
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP: {
        if (e.cbutton.which != m_instance) break;
        const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
        switch (e.cbutton.button) {
          case SDL_CONTROLLER_BUTTON_A: pad.Button(PadButton::kA, down, m_source); break;
          case SDL_CONTROLLER_BUTTON_B: pad.Button(PadButton::kB, down, m_source); break;
          case SDL_CONTROLLER_BUTTON_X: pad.Button(PadButton::kX, down, m_source); break;
          case SDL_CONTROLLER_BUTTON_Y: pad.Button(PadButton::kY, down, m_source); break;
          case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: pad.Button(PadButton::kLeftShoulder, down, m_source); break;
          case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: pad.Button(PadButton::kRightShoulder, down, m_source); break;
          default: break;
        }
        break;
      }
      default: break;
    }
  }
  return heard;
}
