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

class VarnelWindow;

class ScriptRunner : public QObject {
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
  bool Id(const std::string& word, int& id) const;

  VarnelWindow& m_window;
  std::string m_path;
  std::ostream& m_out;
  std::deque<std::string> m_lines;
  bool m_waiting = false;
  std::thread m_reader;
  int m_wake[2] = {-1, -1};  // tells the reader thread to stop
};
