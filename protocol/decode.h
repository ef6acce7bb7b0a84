// What was on the wire, in words: a session log (--log) or a plain hex
// capture from another tool, read line by line. Commands are named with their
// fields as the simulated gimbal's trace names them, replies decoded into
// their status lines; whatever does not check is shown as such with its bytes,
// never dropped.
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Accepted lines: "2026-12-08T10:41:02.517 TX 7e-7e-44-..." (and RX) as --log
// writes them, or one frame a line as hex bytes joined by "-" or spaces, in
// either case (an 8-byte BB 09 line of a capture is a reply, any other a
// command). false with the reason when the text holds neither.
bool DecodeCapture(std::istream& in, std::ostream& out, std::string& why);
