// Start-menu shortcuts through the shell link object.
#pragma once

#include <string>

#include "platform/ui.h"

namespace qvx::setup {

// Creates (or replaces) the shortcut file "link" that starts "target", with a
// description. COM must be initialised on this thread. A failure is shown by
// its message (11, 12 or 13) and returns false.
bool CreateShortcut(const std::string& target, const std::string& description,
                    const std::string& link, MessageShow& messages);

}  // namespace qvx::setup
