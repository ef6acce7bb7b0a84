// The line settings as termios flags: a pure mapping, so that every baud rate
// and parity can be checked without a device (a pseudo-terminal shows no parity).
#pragma once

#include <termios.h>

#include <optional>

#include "serial/comm_types.h"

// nullopt for settings no POSIX driver takes: baud 0 (cfsetspeed would read it
// as B0, "hang up"), an unknown rate, a byte size outside 5..8, 1.5 stop bits.
std::optional<speed_t> BaudToSpeed(std::uint32_t baud);
std::optional<termios> DcbToTermios(const comm::DCB& dcb);

// Whether the device holds what was asked. A pseudo-terminal never keeps the
// parity bits and forces CS8, so for one those bits are not compared.
bool TermiosHolds(const termios& wanted, const termios& got, bool pseudoTerminal);
