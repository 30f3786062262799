// Decisions taken before typing into another window.
#include "shell/model/target_checks.h"

#include "shell/model/key_sequence.h"

namespace qvx::shell {

KeyAccess KeysReachTarget(const TargetIntegrity& target, std::optional<std::uint32_t> own) {
  if (!own) return KeyAccess::Allowed;
  if (target.access_denied) return KeyAccess::Elevated;
  if (target.level && *target.level > *own) return KeyAccess::Elevated;
  return KeyAccess::Allowed;
}

bool MayPasteInto(const WindowIdentity& target, const WindowIdentity& foreground) {
  return target.window != 0 && target == foreground;
}

std::uint32_t PauseBeforeKeysMs(std::uint32_t extra_delay_ms) {
  return kPauseBeforePlaybackMs + extra_delay_ms;
}

}  // namespace qvx::shell
