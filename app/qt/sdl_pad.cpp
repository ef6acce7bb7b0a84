#include "app/qt/sdl_pad.h"

#include <SDL.h>

#include "app/dialog.h"

namespace {
constexpr int kPollMs = 10;  // well inside the 40 ms between move frames
double Axis(Sint16 v) { return v < 0 ? v / 32768.0 : v / 32767.0; }
}  // namespace

SdlPad::SdlPad(CVarnelDlg& dialog, QObject* parent) : QObject(parent), m_dialog(dialog) {
  // Only the game controller part of SDL: no video, no window of its own.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    m_dialog.SayPad(std::string("no gamepad support: ") + SDL_GetError());
    return;
  }
  m_started = true;
  connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
  m_timer.start(kPollMs);
}

SdlPad::~SdlPad() {
  m_timer.stop();
  if (m_pad) SDL_GameControllerClose(m_pad);
  if (m_started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlPad::Open(int deviceIndex) {
  if (m_pad || !SDL_IsGameController(deviceIndex)) return;
  m_pad = SDL_GameControllerOpen(deviceIndex);
  if (!m_pad) return;
  m_instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(m_pad));
  const char* name = SDL_GameControllerName(m_pad);
  m_name = name ? name : "a gamepad";
  m_dialog.SayPad("gamepad connected: " + m_name);
}

void SdlPad::Close(const char* why) {
  if (!m_pad) return;
  SDL_GameControllerClose(m_pad);
  m_pad = nullptr;
  m_instance = -1;
  m_x = m_y = 0;
  m_leftTrigger = m_rightTrigger = false;
  m_dialog.Pad().Lost();  // what moves stops
  m_dialog.SayPad("gamepad " + std::string(why) + ": " + m_name);
}

void SdlPad::Poll() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    PadSteering& pad = m_dialog.Pad();
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which); break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (e.cdevice.which == m_instance) Close("removed");
        break;
      case SDL_CONTROLLERAXISMOTION: {
        if (e.caxis.which != m_instance) break;
        const double v = Axis(e.caxis.value);
        switch (e.caxis.axis) {
          case SDL_CONTROLLER_AXIS_LEFTX: m_x = v; pad.Stick(m_x, m_y); break;
          case SDL_CONTROLLER_AXIS_LEFTY: m_y = v; pad.Stick(m_x, m_y); break;
          case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
          case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: {
            // A trigger is a button past half way.
            const bool left = e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT;
            bool& held = left ? m_leftTrigger : m_rightTrigger;
            if ((v > 0.5) != held) {
              held = v > 0.5;
              pad.Button(left ? PadButton::kLeftTrigger : PadButton::kRightTrigger, held);
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
          case SDL_CONTROLLER_BUTTON_A: pad.Button(PadButton::kA, down); break;
          case SDL_CONTROLLER_BUTTON_B: pad.Button(PadButton::kB, down); break;
          case SDL_CONTROLLER_BUTTON_X: pad.Button(PadButton::kX, down); break;
          case SDL_CONTROLLER_BUTTON_Y: pad.Button(PadButton::kY, down); break;
          case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: pad.Button(PadButton::kLeftShoulder, down); break;
          case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: pad.Button(PadButton::kRightShoulder, down); break;
          default: break;
        }
        break;
      }
      default: break;
    }
  }
}
