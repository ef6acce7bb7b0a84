#include "app/sources/script_runner.h"

#include "app/steering.h"

namespace {
constexpr int kStartCheckMs = 50;
constexpr int kStartLimitMs = 3000;  // a window that never polls must not hold the script for ever
constexpr int kConnectCheckMs = 10;
}  // namespace

ScriptRunner::ScriptRunner(IScriptActions& actions, IScheduler& scheduler,
                           std::function<void(const std::string&)> print, std::function<bool()> startupPolled)
    : m_actions(actions),
      m_scheduler(scheduler),
      m_inbox(std::make_shared<Inbox>(&scheduler)),
      m_startupPolled(std::move(startupPolled)),
      m_commands(actions, std::move(print)) {}

ScriptRunner::~ScriptRunner() {
  {
    std::lock_guard lock(m_inbox->mutex);
    m_inbox->scheduler = nullptr;  // the reader's thread hands no more lines over
  }
  m_reader.reset();
}

void ScriptRunner::Start(std::unique_ptr<LineReader> reader) {
  m_commands.ActFor(m_actions.Appear(Source::Kind::kScript));
  m_reader = std::move(reader);
  std::weak_ptr<int> alive = m_alive;
  m_reader->Start(
      [this, alive, inbox = m_inbox](std::string line) {
        // From the reader's thread: the line is queued on the window's.
        std::lock_guard lock(inbox->mutex);
        if (!inbox->scheduler) return;
        inbox->lines.push_back(std::move(line));
        if (inbox->lines.size() > 1) return;  // the window is told already and takes this one too
        inbox->scheduler->After(0, [this, alive] {
          if (alive.lock()) TakeLines();
        });
      },
      [this, alive, inbox = m_inbox] {
        std::lock_guard lock(inbox->mutex);
        if (!inbox->scheduler) return;
        inbox->scheduler->After(0, [this, alive] {
          if (alive.lock()) Ended();
        });
      });
  // The script starts once the window is up and its start-up traffic (the
  // sliders' first frames and the camera's answers) has been polled, as an
  // operator starts working only once the window is there.
  WaitForStartup(0);
}

void ScriptRunner::WaitForStartup(int waitedMs) {
  std::weak_ptr<int> alive = m_alive;
  m_scheduler.After(kStartCheckMs, [this, alive, waitedMs] {
    if (!alive.lock()) return;
    const int waited = waitedMs + kStartCheckMs;
    if (!m_startupPolled() && waited < kStartLimitMs) return WaitForStartup(waited);
    m_waiting = false;
    Step();
  });
}

void ScriptRunner::TakeLines() {
  std::deque<std::string> lines;
  {
    std::lock_guard lock(m_inbox->mutex);
    lines.swap(m_inbox->lines);
  }
  for (std::string& line : lines) Feed(std::move(line));
}

void ScriptRunner::Feed(std::string line) {
  m_lines.push_back(ScriptLine(std::move(line)));
  if (m_lines.size() == 1 && !m_waiting) {
    std::weak_ptr<int> alive = m_alive;
    m_scheduler.After(0, [this, alive] {
      if (alive.lock()) Step();
    });
  }
}

void ScriptRunner::Ended() {
  m_ended = true;
  if (m_lines.empty() && !m_waiting) Step();
}

void ScriptRunner::Step() {
  if (m_waiting) return;
  if (m_lines.empty()) {
    // Nobody holds the script's stick any more: it must not go on turning.
    if (m_ended && !m_letGo) {
      m_letGo = true;
      if (Steering* pad = m_actions.Steer()) pad->PadOf(m_commands.Who()).Lost();
    }
    return;
  }
  std::weak_ptr<int> alive = m_alive;
  // What a command sends while the port still connects would be lost; the
  // window answers meanwhile, and so do commands that only read.
  if (m_actions.LineConnecting() && ScriptCommands::ActsOnPanel(m_lines.front())) {
    m_waiting = true;
    m_scheduler.After(kConnectCheckMs, [this, alive] {
      if (!alive.lock()) return;
      m_waiting = false;
      Step();
    });
    return;
  }
  const std::string line = m_lines.front();
  m_lines.pop_front();
  auto next = [this, alive] {
    if (alive.lock()) {
      m_waiting = false;
      Step();
    }
  };
  if (const std::optional<int> delay = ScriptCommands::WaitDelay(line)) {
    m_waiting = true;
    m_scheduler.After(*delay, next);
    return;
  }
  // The next line is scheduled before this one runs: a command that opens a
  // modal box returns only when the box closes, and the script's own "ok"
  // must be able to close it.
  if (!m_lines.empty() || m_ended) m_scheduler.After(0, next);
  m_commands.Execute(line);
}
