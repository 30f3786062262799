// Keeping windows that show a secret (the viewer, the original-text window,
// the password prompts) out of screenshots, screen recordings and remote
// screen sharing, where Windows supports it ("HideFromCapture", on by
// default).
#pragma once

#include <windows.h>

#include <cstdint>

namespace qvx::shell {

// Sets the window's display affinity as the stored option asks: excluded
// from capture on Windows 10 2004 and later, shown black in captures on
// older Windows 7 and later, unchanged where the system has neither or
// hiding is off. Returns the affinity set (0: none).
std::uint32_t ProtectFromCapture(HWND window);

}  // namespace qvx::shell
