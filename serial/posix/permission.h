// What to tell an operator whom the device refused: what would really let
// them open it, from its mode and ownership.
#pragma once

#include <string>

// mode: the device's permission bits (0660); owner and group: their names;
// device: its kernel name (ttyUSB0), for the udev rule's example.
std::string PermissionAdvice(unsigned mode, const std::string& owner, const std::string& group,
                             const std::string& device);
// The same for a path, read from the file system ("" when it cannot be read).
std::string PermissionAdviceFor(const std::string& path);
