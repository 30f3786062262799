// Plays a key sequence (shell/model/key_sequence.h) with SendInput. The keys
// go to whatever window has the keyboard focus; callers bring the target to
// the foreground first. Modifiers the user still holds from a hot key are
// released at the start, so that the target sees exactly the sequence.
#pragma once

#include "shell/model/key_sequence.h"

namespace qvx::shell {

// Returns after the last event; false when the system refused an event (for
// example because a window of higher integrity has the focus).
bool PlayKeySequence(const KeySequence& sequence);

}  // namespace qvx::shell
