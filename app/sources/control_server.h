// The control server: other programs (a Stream Deck's TCP module, a flow, a
// script on another machine) drive the panel while the operator works it,
// in script mode's words. It lives on the window's thread and never waits:
// woken by its sockets (and its clients' deadlines), it accepts, reads, runs
// what is due and sends what the sockets take; events leave as they happen,
// and what a socket could not take goes once it has room. A client's
// commands run in its order, one whole command at
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

#include "app/sources/server.h"

class ScriptCommands;

// Tokens compared in a time that does not depend on where they differ.
bool SameToken(const std::string& a, const std::string& b);
// A token file's first line, without its line end (8 characters at least); false with why.
bool ReadToken(const std::string& path, std::string& token, std::string& why);

// What a client sent, cut into whole lines (without "\n" or "\r"): kTooLong
// when a line, or what has come of one, is longer than kMaxLine bytes;
// kTooMany when more than kMaxPending lines wait. Whole lines leave in.
enum class LineFault { kNone, kTooLong, kTooMany };
LineFault TakeControlLines(std::string& in, std::deque<std::string>& lines);
// The command of line, and its tag ("@7", the first word when it starts
// with @) in tag; without one tag is empty.
std::string SplitTag(const std::string& line, std::string& tag);

class ControlServer : public Server {
 public:
  static constexpr std::size_t kMaxClients = 8;
  static constexpr std::size_t kMaxLine = 4096;
  static constexpr std::size_t kMaxPending = 64;
  static constexpr std::size_t kEventBound = 64 * 1024;  // unsent bytes before events are dropped

  // url: tcp://HOST:PORT; tokenFile: the file whose first line each
  // connection must send first ("auth TOKEN"); empty: none.
  ControlServer(std::string url, unsigned holdMs, std::string tokenFile);
  ~ControlServer() override;
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  bool Bind(std::string& why) override;
  std::string Listening() const override;
  void Heard(const PanelEvent& event) override;
  void Detach() override;

 private:
  struct Client;
  void Service() override;
  void Event(const std::string& text);  // for every client watching: "event " + text
  void Message(const std::string& text);  // a box opened: part of the answer of the command that opened it
  void Accept();
  void Read(Client& c);
  void RunDue(Client& c);
  void Run(Client& c, std::string line);
  void Answer(Client& c, const std::string& tag, const std::string& line);
  void Flush(Client& c);
  void LetStickGo(Client& c);
  void Close(Client& c, const std::string& why);
  void Watch(Client& c);  // its socket, and its room for more while it holds output

  std::string m_urlAsked;
  unsigned m_holdMs;
  std::string m_tokenFile;
  std::string m_token;
  std::string m_url;
  std::vector<std::unique_ptr<Client>> m_clients;
  int m_depth = 0;  // Service inside Service: a command's box runs the window's loop
  Client* m_acting = nullptr;  // whose command runs now, and its tag
  std::string m_actingTag;
};
