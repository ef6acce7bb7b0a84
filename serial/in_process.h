// A device inside the program, reached through the same port operations as a
// real one: a COM name mapped to a name the port map attaches it to opens it,
// and the window, the handlers and the poll cannot tell it from a port.
// Windows has no pseudo-terminals, so the simulated gimbal reaches the panel
// this way there. Used on the dialog's thread only, as the port is.
#pragma once

#include <cstddef>
#include <cstdint>

class InProcessDevice {
 public:
  virtual ~InProcessDevice() = default;
  // What the panel wrote: taken whole, at once.
  virtual void FromPanel(const std::uint8_t* bytes, std::size_t n) = 0;
  // What the device has for the panel now, at most max bytes; never waits.
  virtual std::size_t ToPanel(std::uint8_t* buffer, std::size_t max) = 0;
};
