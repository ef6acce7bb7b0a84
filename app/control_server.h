// The control server: other programs (a Stream Deck's TCP module, a flow, a
// script on another machine) drive the panel while the operator works it,
// in script mode's words. It lives on the window's thread and never waits:
// each Service call accepts, reads, runs what is due and sends what the
// sockets take. A client's commands run in its order, one whole command at
// a time; each answer is the lines script mode prints for it and one last
// line, "ok" or "error REASON", with the command's tag ("@7 ") before each.
//
// Bounds: at most kMaxClients at once (one more is told "error busy"), a
// line of at most kMaxLine bytes and kMaxPending commands waiting (beyond,
// the connection is told why and closed), and events a client has not read
// beyond kEventBound are dropped and counted ("event lost N").
//
// Steering: a client's stick lasts while the client renews it; silence for
// the hold time, `stick 0 0` or the end of the connection stops it with the
// pad's one zero move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IScriptActions;
class ScriptCommands;

// Where the server listens: tcp://HOST:PORT, HOST a numeric address or localhost.
struct ControlAddress {
  std::string host;
  std::uint16_t port = 0;
};
// "" when url is one; else what is wrong with it, in one line.
std::string ParseControlUrl(const std::string& url, ControlAddress& out);
// The same for protocol://HOST:PORT of another server ("udp", "VISCA over IP", 52381).
std::string ParseListenUrl(const std::string& url, const std::string& protocol, const std::string& what,
                           unsigned examplePort, ControlAddress& out);
bool IsLoopback(const std::string& host);
// Tokens compared in a time that does not depend on where they differ.
bool SameToken(const std::string& a, const std::string& b);

// What a client sent, cut into whole lines (without "\n" or "\r"): kTooLong
// when a line, or what has come of one, is longer than kMaxLine bytes;
// kTooMany when more than kMaxPending lines wait. Whole lines leave in.
enum class LineFault { kNone, kTooLong, kTooMany };
LineFault TakeControlLines(std::string& in, std::deque<std::string>& lines);
// The command of line, and its tag ("@7", the first word when it starts
// with @) in tag; without one tag is empty.
std::string SplitTag(const std::string& line, std::string& tag);

class ControlServer {
 public:
  static constexpr std::size_t kMaxClients = 8;
  static constexpr std::size_t kMaxLine = 4096;
  static constexpr std::size_t kMaxPending = 64;
  static constexpr std::size_t kEventBound = 64 * 1024;  // unsent bytes before events are dropped
  static constexpr unsigned kDefaultHoldMs = 500;

  // token: what each connection must send first ("auth TOKEN"); empty: none.
  ControlServer(unsigned holdMs, std::string token);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  bool Listen(const ControlAddress& at, std::string& why);
  const std::string& Url() const { return m_url; }

  // The panel it drives; say: a line for the terminal and the session log.
  void Attach(IScriptActions& actions, std::function<void(const std::string&)> say);
  void Detach() { m_actions = nullptr; }  // the panel ends: nothing runs any more
  // Accepts, reads, runs what is due, sends; never waits. The window's thread only.
  void Service();
  // An event for every client watching: "event " + text.
  void Event(const std::string& text);
  // A message box opened with text: part of the answer of the client whose command opened it.
  void Message(const std::string& text);

 private:
  struct Client;
  void Accept();
  void Read(Client& c);
  void RunDue(Client& c);
  void Run(Client& c, std::string line);
  void Answer(Client& c, const std::string& tag, const std::string& line);
  void Flush(Client& c);
  void LetStickGo(Client& c);
  void Close(Client& c, const std::string& why);
  void WatchPanel();

  unsigned m_holdMs;
  std::string m_token;
  std::intptr_t m_listener;
  std::string m_url;
  IScriptActions* m_actions = nullptr;
  std::function<void(const std::string&)> m_say;
  std::vector<std::unique_ptr<Client>> m_clients;
  int m_depth = 0;  // Service inside Service: a command's box runs the window's loop
  Client* m_acting = nullptr;  // whose command runs now, and its tag
  std::string m_actingTag;
  std::string m_status;  // the status line last told the watchers
  bool m_boxOpen = false;
  std::string m_boxText;  // the text of the box last opened
};
