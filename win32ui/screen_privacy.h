// Keeping windows that show a secret (the viewer, the original-text window,
// the password prompts) out of screenshots, screen recordings and remote
// screen sharing, where Windows supports it ("HideFromCapture", on by
// default).
#pragma once

#include <windows.h>

#include <cstdint>

namespace qvx::win32ui {

// The user's choice whether secret windows are hidden from capture, read
// each time such a window opens (Options may have changed it meanwhile).
class CapturePolicy {
 public:
  virtual ~CapturePolicy() = default;
  virtual bool HideFromCapture() const = 0;
};

// Sets the window's display affinity as the policy asks: excluded from
// capture on Windows 10 2004 and later, shown black in captures on older
// Windows 7 and later, unchanged where the system has neither or hiding is
// off. Returns the affinity set (0: none).
std::uint32_t ProtectFromCapture(HWND window, const CapturePolicy& policy);

}  // namespace qvx::win32ui
