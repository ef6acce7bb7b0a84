// A file the panel writes (the session log, a screenshot) is never reached
// through a link that another user planted in a folder others may write to
// (a sticky, world-writable one such as /tmp): there the link must be the
// user's own, or the folder owner's, as the kernel's own protection
// (fs.protected_symlinks) would have it. One file per platform.
#pragma once

#include <string>

// False, with why in the operator's words, when path is such a link.
bool LinkIsOurs(const std::string& path, std::string& why);
