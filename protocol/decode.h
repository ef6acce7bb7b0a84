// What was on the wire, in words: a session log (--log) or a plain hex
// capture from another tool. Commands are named with their
// fields as the simulated gimbal's trace names them, replies decoded into
// their status lines; whatever does not check is shown as such with its bytes,
// never dropped.
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Accepted: Varnel's session log, hexdump -C and xxd dumps, time-stamped hex
// lines, hex in any spelling, raw bytes (kFormats in decode.cpp). Read as a
// stream, in bounded memory. false with the reason when nothing decodes.
bool DecodeCapture(std::istream& in, std::ostream& out, std::string& why);
