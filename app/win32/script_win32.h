// Script mode on Windows: the same grammar (ScriptCommands) and output as the
// Linux window, with the operator's actions done on the Win32 controls. The
// script is read on a thread of its own and run on the window's thread, from
// the messages of a message-only window of its own (the dialog keeps no
// window timer).
#pragma once

#include <atomic>
#include <deque>
#include <string>
#include <thread>

#include "app/script_commands.h"

class Win32Window;

class Win32ScriptRunner : private IScriptActions {
 public:
  // path "-" reads standard input.
  Win32ScriptRunner(Win32Window& window, std::string path);
  ~Win32ScriptRunner() override;
  // Observe messages from now on; the script starts delayMs after Start.
  void Attach();
  void Start(unsigned delayMs);

  // For the runner's window procedure.
  void OnLine(std::string* line);
  void OnStep();
  void OnTimer();

 private:
  void Step();
  void Print(const std::string& line);

  IControls& Controls() override;
  bool Click(int id) override;
  bool Type(int id, const std::string& text) override;
  bool Select(int id, int index) override;
  bool Slide(int id, int pos) override;
  void Key(bool enter) override;
  bool PressOk() override;
  void Quit() override;

  Win32Window& m_window;
  std::string m_path;
  ScriptCommands m_commands;
  void* m_hwnd = nullptr;  // the message-only window
  std::deque<std::string> m_lines;
  bool m_started = false;
  unsigned long m_startBy = 0;  // GetTickCount at which the script starts even so
  bool m_waiting = false;
  std::thread m_reader;
};
