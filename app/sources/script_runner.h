// Script mode's running order, free of any toolkit: the script's lines are
// read on a thread of their own (so a script typed live never stops the
// window), queued on the window's thread, and run one at a time with
// ScriptCommands once the start-up traffic has been polled. A window gives
// its widgets' actions (IScriptActions) and its thread's timers (IScheduler).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/scheduler.h"
#include "app/script_commands.h"

// Reads a script a line at a time on a thread of its own (one file per
// platform: posix/, win32/); stops with the runner.
class LineReader {
 public:
  virtual ~LineReader() = default;
  // path "-" is standard input; false with the reason when it cannot be read.
  static std::unique_ptr<LineReader> Open(const std::string& path, std::string& why);
  // Starts the thread; each line (without its line end) goes to onLine, on
  // that thread, and onEnd after the last one (the input ended or broke).
  virtual void Start(std::function<void(std::string)> onLine, std::function<void()> onEnd) = 0;
};

class ScriptRunner {
 public:
  // startupPolled: whether the window's start-up traffic has been polled.
  ScriptRunner(IScriptActions& actions, IScheduler& scheduler, std::function<void(const std::string&)> print,
               std::function<bool()> startupPolled);
  ~ScriptRunner();
  // Runs what reader reads once the window is up and its start-up traffic
  // has been polled (3 seconds at most). Once its input has ended and every
  // line has run, a stick the script holds is let go (the gimbal stops).
  void Start(std::unique_ptr<LineReader> reader);
  // Runs one line; public for tests.
  void Execute(const std::string& line) { m_commands.Execute(line); }

 private:
  void TakeLines();
  void Feed(std::string line);
  void Ended();
  void WaitForStartup(int waitedMs);
  void Step();

  // What the reader's thread hands lines to; cut off when the runner goes,
  // as a reader blocked on standard input may outlive it. Lines come over in
  // batches, one message to the window for all that arrived meanwhile: a
  // message a line would fill a Windows message queue (10,000 at most) with
  // a long script, and lines would be lost.
  struct Inbox {
    explicit Inbox(IScheduler* s) : scheduler(s) {}
    std::mutex mutex;
    IScheduler* scheduler;
    std::deque<std::string> lines;  // read, not yet taken by the window
  };

  IScriptActions& m_actions;
  IScheduler& m_scheduler;
  std::shared_ptr<Inbox> m_inbox;
  std::function<bool()> m_startupPolled;
  ScriptCommands m_commands;
  std::unique_ptr<LineReader> m_reader;
  std::deque<std::string> m_lines;
  bool m_waiting = true;  // until the start-up traffic has been polled
  bool m_ended = false;   // the input has ended; the stick is let go after the last line
  bool m_letGo = false;
  // What the scheduler still holds checks this is alive: it goes with the runner.
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
