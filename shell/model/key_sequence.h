// The keystrokes the program plays into other windows to take and return their
// text: Ctrl+C (the selection), Ctrl+A then Ctrl+C (everything) and Ctrl+V,
// each event with the pause that comes before it. Keys are virtual-key codes;
// the player looks their scan codes up in the current keyboard layout, so the
// sequences mean the same on every layout.
#pragma once

#include <cstdint>
#include <vector>

namespace qvx::shell {

// Virtual-key codes used here (the values Windows defines).
namespace vk {
inline constexpr std::uint8_t kControl = 0x11;
inline constexpr std::uint8_t kLeftShift = 0xA0;
inline constexpr std::uint8_t kRightShift = 0xA1;
inline constexpr std::uint8_t kLeftControl = 0xA2;
inline constexpr std::uint8_t kRightControl = 0xA3;
inline constexpr std::uint8_t kLeftAlt = 0xA4;
inline constexpr std::uint8_t kRightAlt = 0xA5;
inline constexpr std::uint8_t kLeftWin = 0x5B;
inline constexpr std::uint8_t kRightWin = 0x5C;
}  // namespace vk

struct KeyEvent {
  std::uint8_t key = 0;             // virtual-key code
  bool up = false;                  // key released (otherwise pressed)
  std::uint32_t delay_before_ms = 0;  // pause before the event is played

  friend bool operator==(const KeyEvent& a, const KeyEvent& b) {
    return a.key == b.key && a.up == b.up && a.delay_before_ms == b.delay_before_ms;
  }
};

using KeySequence = std::vector<KeyEvent>;

// Ctrl down, C down, C up, Ctrl up; pauses 0, 130, 121 and 100 ms.
KeySequence CopySequence();
// The same with V.
KeySequence PasteSequence();
// Ctrl down, A down, A up, C down, C up, Ctrl up; pauses 0, 121, 380, 1, 110
// and 100 ms.
KeySequence SelectAllCopySequence();

// Pause before every playback, so that the menu or hot key that started the
// command has let go of the target first.
inline constexpr std::uint32_t kPauseBeforePlaybackMs = 200;

// The modifiers that may still be held down from the hot key that started a
// command (left and right Shift, Alt and Win). Ctrl is not among them: every
// sequence presses and releases it itself.
const std::vector<std::uint8_t>& ReleasableModifiers();

// The sequence to play when the given modifiers are still held: right after
// its first event (Ctrl down) each held modifier is released, so that the
// target sees plain Ctrl+C rather than, say, Ctrl+Alt+Shift+C, and so that a
// released Alt or Win does not open a menu (Ctrl came in between).
KeySequence WithHeldModifiersReleased(const KeySequence& sequence,
                                      const std::vector<std::uint8_t>& held);

}  // namespace qvx::shell
