// A device inside the program, reached through the same port operations as a
// real one: a COM name mapped to its name opens it, and the window, the
// handlers and the poll cannot tell it from a port. Windows has no
// pseudo-terminals, so the simulated gimbal reaches the panel this way there.
// Used on the dialog's thread only, as the port is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class InProcessDevice {
 public:
  virtual ~InProcessDevice() = default;
  // What the panel wrote: taken whole, at once.
  virtual void FromPanel(const std::uint8_t* bytes, std::size_t n) = 0;
  // What the device has for the panel now, at most max bytes; never waits.
  virtual std::size_t ToPanel(std::uint8_t* buffer, std::size_t max) = 0;
};

// Makes name (what a COM name maps to, "sim:gimbal") reach device; nullptr
// takes it away again. The device outlives every open of it.
void AttachInProcessDevice(const std::string& name, InProcessDevice* device);
InProcessDevice* FindInProcessDevice(const std::string& name);
