// The Linux window's gamepad: any SDL game controller (SDL2's mappings know
// the common pads), read on the window's thread and handed to the panel's
// PadSteering as a script's `stick` and `pad` are. The first pad connected
// steers; connecting and removing one is said on the terminal and in the
// session log.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

class CVarnelDlg;
struct _SDL_GameController;

class SdlPad : public QObject {
  Q_OBJECT
 public:
  explicit SdlPad(CVarnelDlg& dialog, QObject* parent = nullptr);
  ~SdlPad() override;
  bool Started() const { return m_started; }

 private:
  void Poll();
  void Open(int deviceIndex);
  void Close(const char* why);

  CVarnelDlg& m_dialog;
  QTimer m_timer;
  bool m_started = false;
  _SDL_GameController* m_pad = nullptr;
  int m_instance = -1;
  std::string m_name;
  double m_x = 0, m_y = 0;
  bool m_leftTrigger = false, m_rightTrigger = false;
};
