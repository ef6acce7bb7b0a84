// The Linux window's gamepads: any SDL game controller (SDL2's mappings know
// the common pads) and any other joystick (a flight stick, a pedal: its
// inputs by number), several at once, each read on the window's thread
// through its own profile into the panel's one steering state, as its own
// source. Connecting and removing one is said on the terminal and in the
// session log.
//
// A panel without a pad pays next to nothing for it: SDL is loaded at run
// time (libSDL2's own libraries, sound and video among them, stay out of a
// panel that never looks for a pad), only once the window is up, and then
// looked at twice a second for a pad plugged in. A pad wakes the window
// only when it has something to say: its device is watched, and only while a
// pad's device cannot be (SDL's virtual one) are they read every 10 ms.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/steering.h"

struct _SDL_GameController;
struct _SDL_Joystick;

// A device's input, watched for the moment it has some: woken() on every
// batch (what was read is thrown away: the reader has its own copy), gone()
// once when it ends (unplugged). Nothing is read but by the kernel's wake.
class DeviceWake : public QObject {
  Q_OBJECT
 public:
  // Opens path read-only; Watching() false when it cannot.
  explicit DeviceWake(const char* path, QObject* parent = nullptr);
  ~DeviceWake() override;
  bool Watching() const { return m_notifier != nullptr; }
 signals:
  void woken();
  void gone();

 private:
  void Drain();
  int m_fd = -1;
  std::unique_ptr<QSocketNotifier> m_notifier;
};

class SdlPad : public QObject {
  Q_OBJECT
 public:
  explicit SdlPad(PadPanel panel, QObject* parent = nullptr);
  ~SdlPad() override;
  // SDL loaded and its game controllers started (at the first look, half a
  // second after the reader is made; Start() does it at once).
  bool Started() const { return m_started; }
  void Start();
  // Every pad is read only at its device's wake.
  bool Watched() const;
  int Pads() const { return static_cast<int>(m_pads.size()); }

 private:
  struct Sdl;
  struct Pad;
  bool Look();  // what SDL has; false when it had nothing
  void Open(int deviceIndex, bool controller);
  void Close(int instance, const char* why);
  Pad* Find(int instance);
  void Follow(Pad& pad);  // how the pad is read from now on

  PadPanel m_panel;
  const Sdl* m_sdl = nullptr;
  QTimer m_look;  // a pad plugged in or removed: SDL's own hot-plug, twice a second
  QTimer m_read;  // every 10 ms, while a pad's device cannot be watched
  bool m_tried = false;
  bool m_started = false;
  std::vector<std::unique_ptr<Pad>> m_pads;
};
