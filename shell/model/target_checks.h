// The decisions the program makes before it types into another window or
// shows a secret on screen, apart from the Win32 calls that gather their
// inputs: whether keys can reach the target at all (its integrity level
// against ours), whether the window in front is still the one the text came
// from, how long to wait around a key sequence, and which display affinities
// to ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace qvx::shell {

// Mandatory integrity levels: the last sub-authority of a token's integrity
// SID (Windows' SECURITY_MANDATORY_*_RID values).
namespace integrity {
inline constexpr std::uint32_t kLow = 0x1000;
inline constexpr std::uint32_t kMedium = 0x2000;
inline constexpr std::uint32_t kHigh = 0x3000;
inline constexpr std::uint32_t kSystem = 0x4000;
}  // namespace integrity

// What was learned about the target process.
struct TargetIntegrity {
  std::optional<std::uint32_t> level;  // nullopt: could not be read
  bool access_denied = false;           // the process refused even a limited query
};

enum class KeyAccess {
  Allowed,   // keys played into the target arrive
  Elevated,  // Windows drops them: the target runs at a higher level than we do
};

// Windows silently drops input sent to a window of a higher integrity level.
// A process that refuses PROCESS_QUERY_LIMITED_INFORMATION is protected or
// elevated, so it counts as higher; a level that merely could not be read
// for another reason does not stop the command. `own` nullopt: ours is
// unknown, and nothing is refused.
KeyAccess KeysReachTarget(const TargetIntegrity& target, std::optional<std::uint32_t> own);

// A top-level window and the process that owned it when it was remembered
// (a window handle alone may be reused by another program once it closes).
struct WindowIdentity {
  std::uintptr_t window = 0;
  std::uint32_t process = 0;

  friend bool operator==(const WindowIdentity& a, const WindowIdentity& b) {
    return a.window == b.window && a.process == b.process;
  }
};

// Whether a paste may go ahead: the window in front (its top-level window and
// process) is the remembered target, which must be a real window.
bool MayPasteInto(const WindowIdentity& target, const WindowIdentity& foreground);

// The pause before a key sequence, and the least time a target gets to take a
// paste before the clipboard is given back: the usual 200 ms plus the
// user's extra delay for slow targets.
std::uint32_t PauseBeforeKeysMs(std::uint32_t extra_delay_ms);

}  // namespace qvx::shell
