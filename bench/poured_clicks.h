// What a watcher is told while the script pours 1,000 clicks as fast as it
// reads them: the control server's `watch on` client and a page's event
// stream measured the same way.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "scripted_panel.h"
#include "test_pty.h"

struct Poured {
  double told = 0;     // events naming a click's frame
  double seconds = 0;  // from the pour to the last of them
};
// fd: the watcher's connection; marker: how its events name a click's frame.
inline Poured PourClicks(ScriptedPanel& panel, TestPty& far, int fd, const std::string& marker) {
  fcntl(fd, F_SETFL, O_NONBLOCK);
  char junk[65536];
  while (read(fd, junk, sizeof junk) > 0) {
  }
  std::string clicks;
  for (int i = 0; i < 1000; ++i) clicks += "click 1050\n";
  const auto start = std::chrono::steady_clock::now();
  auto last = start;
  panel.Say(clicks + "get 1004\n");
  std::string events;
  std::thread drain([&] { far.Receive(1000 * 48, 60000); });
  for (auto quiet = std::chrono::steady_clock::now();
       std::chrono::steady_clock::now() - quiet < std::chrono::milliseconds(1500);) {
    const ssize_t n = read(fd, junk, sizeof junk);
    if (n > 0) {
      events.append(junk, static_cast<std::size_t>(n));
      quiet = last = std::chrono::steady_clock::now();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  drain.join();
  while (panel.Answer(5000).rfind("1004=", 0) != 0) {
  }
  fcntl(fd, F_SETFL, 0);
  Poured p;
  for (std::size_t at = 0; (at = events.find(marker, at)) != std::string::npos; ++at) ++p.told;
  p.seconds = std::chrono::duration<double>(last - start).count();
  return p;
}
