// Script mode on the Win32 window: the operator's actions on the Win32
// controls, and the window thread's timers from a message-only window of
// their own (the dialog keeps no window timer); the running order is
// ScriptRunner's.
#pragma once

#include <functional>
#include <map>

#include "app/sources/script_runner.h"

class Win32Window;

class Win32Scheduler : public IScheduler {
 public:
  Win32Scheduler();
  ~Win32Scheduler() override;
  void After(int ms, std::function<void()> fn) override;
  void WatchSocket(std::intptr_t socket, bool writable, std::function<void()> ready) override;
  void ForgetSocket(std::intptr_t socket) override;

  // For the scheduler's window procedure.
  void OnPosted(int ms, std::function<void()>* fn);
  void OnTimer(std::uintptr_t id);
  void OnSocket(std::uintptr_t socket);

 private:
  void* m_hwnd = nullptr;  // the message-only window
  std::uintptr_t m_nextTimer = 1;
  std::map<std::uintptr_t, std::function<void()>> m_timers;
  std::map<std::intptr_t, std::function<void()>> m_sockets;
};

class Win32ScriptActions : public IScriptActions {
 public:
  explicit Win32ScriptActions(Win32Window& window) : m_window(window) {}
  IControls& Controls() override;
  bool Click(int id) override;
  bool Type(int id, const std::string& text) override;
  bool Select(int id, int index) override;
  bool Slide(int id, int pos) override;
  void Key(bool enter) override;
  bool PressOk() override;
  bool ModalBoxOpen() override;
  Steering* Steer() override;
  bool LineConnecting() override;
  CVarnelDlg* Dialog() override;
  void Settle() override;
  bool Picture(const std::string& path, std::string& why) override;
  void Quit() override;

 private:
  Win32Window& m_window;
};
