// Script mode on the Qt window: the operator's actions on the widgets and
// the window thread's timers; the running order is ScriptRunner's.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <map>
#include <memory>

#include "app/sources/script_runner.h"

class VarnelWindow;

class QtScheduler : public IScheduler {
 public:
  explicit QtScheduler(QObject* context) : m_context(context) {}
  void After(int ms, std::function<void()> fn) override;
  void WatchSocket(std::intptr_t socket, bool writable, std::function<void()> ready) override;
  void ForgetSocket(std::intptr_t socket) override;

 private:
  QObject* m_context;
  struct Watched {
    std::unique_ptr<QSocketNotifier> read, write;
  };
  std::map<std::intptr_t, Watched> m_sockets;
};

class QtScriptActions : public IScriptActions {
 public:
  explicit QtScriptActions(VarnelWindow& window) : m_window(window) {}
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
  VarnelWindow& m_window;
};
