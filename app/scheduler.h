// The window thread's timers and the sockets it waits on, as each toolkit
// has them: what a source (a script, a server) asks to run comes on the
// window's thread, between the window's own work, at the time or the moment
// it is due.
#pragma once

#include <cstdint>
#include <functional>

class IScheduler {
 public:
  virtual ~IScheduler() = default;
  // Runs fn on the window's thread once ms have passed (0: as soon as the
  // thread is free). Safe to call from any thread.
  virtual void After(int ms, std::function<void()> fn) = 0;
  // The window's thread waits on socket with everything else it waits for:
  // ready runs there whenever the socket has something to read, a
  // connection to accept or its end, and (writable) room for more. Watched
  // again, the socket is watched as said last. The window's thread only.
  virtual void WatchSocket(std::intptr_t socket, bool writable, std::function<void()> ready) = 0;
  // Before the socket closes.
  virtual void ForgetSocket(std::intptr_t socket) = 0;
};
