// Script mode: drives the real window as an operator would, one command a
// line, and prints what the operator would see (UTF-8, a line each, flushed).
#pragma once

#include <QObject>
#include <QStringList>
#include <deque>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

#include "app/script_commands.h"

class VarnelWindow;

// Reads the script on a thread of its own and runs it on the window's thread,
// with the grammar of ScriptCommands and the Qt widgets' own actions.
class ScriptRunner : public QObject, private IScriptActions {
  Q_OBJECT
 public:
  // path "-" reads standard input.
  ScriptRunner(VarnelWindow& window, std::string path, std::ostream& out);
  ~ScriptRunner() override;
  // Observe messages from now on; run once the window shows.
  void Attach();
  void Start();
  // Runs one line; public for tests.
  void Execute(const std::string& line);

 private:
  void Feed(std::string line);  // from the reader thread
  void Step();
  void Print(const std::string& line);
  // The operator's actions, on the Qt widgets.
  IControls& Controls() override;
  bool Click(int id) override;
  bool Type(int id, const std::string& text) override;
  bool Select(int id, int index) override;
  bool Slide(int id, int pos) override;
  void Key(bool enter) override;
  bool PressOk() override;
  void Quit() override;

  VarnelWindow& m_window;
  std::string m_path;
  std::ostream& m_out;
  std::deque<std::string> m_lines;
  bool m_waiting = false;
  std::thread m_reader;
  int m_wake[2] = {-1, -1};  // tells the reader thread to stop
  ScriptCommands m_commands;
};
