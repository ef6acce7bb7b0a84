// Standard output and error for a GUI-subsystem program: pipes and files
// given to it are used as they are; otherwise, started from a console, it
// attaches to that console. Diagnostics go to standard error where there is
// one, to the debugger's output otherwise.
#pragma once

#include <string>

void AttachParentConsole();
// Writes the UTF-8 text: as UTF-16 to a console, as its bytes to a pipe or
// file. False when there is nowhere to write.
bool WriteOut(const std::string& text);
bool WriteErr(const std::string& text);
// One line for the operator: standard error, or the debugger's output.
void Diagnose(const std::string& line);
