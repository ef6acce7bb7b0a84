// The Linux window's gamepad: any SDL game controller (SDL2's mappings know
// the common pads), read on the window's thread and handed to the panel's
// steering state as a script's `stick` and `pad` are. The first pad connected
// steers; connecting and removing one is said on the terminal and in the
// session log.
//
// A panel without a pad pays next to nothing for it: SDL is loaded at run
// time (libSDL2's own libraries, sound and video among them, stay out of a
// panel that never looks for a pad), only once the window is up, and then
// looked at twice a second for a pad plugged in. A pad that steers wakes
// the window only when it has something to say: its device is watched, and
// only a pad whose device cannot be (SDL's virtual one) is read every 10 ms.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>
#include <utility>

#include "app/steering.h"

struct _SDL_GameController;

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
  // The pad that steers is read only at its device's wake.
  bool Watched() const { return m_wake && m_wake->Watching(); }

 private:
  struct Sdl;
  bool Look();  // what SDL has; false when it had nothing
  void Open(int deviceIndex);
  void Close(const char* why);
  void Follow();  // how the steering pad is read from now on

  PadPanel m_panel;
  Source m_source;  // the pad that steers, as the panel names it
  const Sdl* m_sdl = nullptr;
  QTimer m_look;  // a pad plugged in or removed: SDL's own hot-plug, twice a second
  QTimer m_read;  // the steering pad, every 10 ms, when its device cannot be watched
  std::unique_ptr<DeviceWake> m_wake;
  bool m_tried = false;
  bool m_started = false;
  _SDL_GameController* m_pad = nullptr;
  int m_instance = -1;
  std::string m_name;
  double m_x = 0, m_y = 0;
  bool m_leftTrigger = false, m_rightTrigger = false;
};
