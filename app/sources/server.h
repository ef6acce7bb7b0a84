// The sources that others reach over the network (control clients, PTZ
// controllers), every one of one shape: built from the program's options,
// bound before the window shows (a port in use ends the program before
// anything is sent), attached to the panel once it is up, woken by its own
// sockets and deadlines on the window's thread, told what happens on the
// panel through one event callback, and detached as the panel ends. They are
// listed once, in servers.cpp: another such source is one more room here and
// one more line there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/scheduler.h"
#include "app/source.h"

class IScriptActions;
struct Options;

// What happened on the panel, as it happens.
struct PanelEvent {
  enum class Kind {
    kSent,      // a frame to the line (bytes, who)
    kReceived,  // what a poll read (bytes)
    kNews,      // what the panel said ("said ...") or decoded ("reply ...") (text)
    kBox,       // a message box opened (text)
  };
  Kind kind;
  const std::uint8_t* bytes = nullptr;
  std::size_t n = 0;
  const Source* who = nullptr;
  std::string text;
};

// An event as a watcher reads it: "tx HEX WHO", "rx HEX", "reply ...", "box TEXT".
std::string WatchedText(const PanelEvent& event);

class IServer {
 public:
  virtual ~IServer() = default;
  // Binds where its option says; false with the whole reason for the operator.
  virtual bool Bind(std::string& why) = 0;
  // Where it listens, in a line for the terminal and the session log.
  virtual std::string Listening() const = 0;
  // Serves the panel from now on; say: a line for the terminal and the session log.
  virtual void Attach(IScriptActions& actions, IScheduler& scheduler, std::function<void(const std::string&)> say) = 0;
  virtual void Heard(const PanelEvent& event) = 0;
  // The panel ends: nothing of it is reached any more.
  virtual void Detach() = 0;
};

// Milliseconds of the steady clock: a server's deadlines.
std::uint64_t SteadyMs();

// A server's own wake-up at its earliest deadline, on the window's thread:
// one outstanding at a time, none after Stop.
class Deadline {
 public:
  ~Deadline() { Stop(); }
  void Attach(IScheduler& scheduler, std::function<void()> due);
  // due runs at atMs (steady ms) or soon after, unless an earlier one is asked.
  void At(std::uint64_t atMs);
  void Stop();

 private:
  IScheduler* m_scheduler = nullptr;
  std::function<void()> m_due;
  std::uint64_t m_at = 0;  // the one outstanding; 0 none
  std::shared_ptr<bool> m_alive;
};

// What every server keeps of the panel it serves and how it is woken: by
// its bound socket, by the sockets it watches besides, at its deadlines.
class Server : public IServer {
 public:
  void Attach(IScriptActions& actions, IScheduler& scheduler, std::function<void(const std::string&)> say) final;
  void Detach() override;

 protected:
  // Accepts, reads, runs what is due, sends; never waits. The window's thread only.
  virtual void Service() = 0;
  std::intptr_t m_socket = -1;  // what Bind bound
  IScriptActions* m_actions = nullptr;
  IScheduler* m_scheduler = nullptr;  // while attached
  Deadline m_deadline;
  std::function<void(const std::string&)> m_say;
};

// Every server the options ask for, bound; false with why when one cannot be.
bool MakeServers(const Options& options, std::vector<std::unique_ptr<IServer>>& servers, std::string& why);

