// A command in words, for whoever reads what went over the line: the
// simulated gimbal's trace and `varnel --decode` say it the same way, through
// the readers of commands.h.
#pragma once

#include <string>

#include "protocol/frame.h"

// One line naming a private-protocol command and its fields.
std::string DescribeFrame(const Frame& frame);
// One line naming a VISCA command (address to terminator) and its value.
std::string DescribeVisca(const Frame& command);
