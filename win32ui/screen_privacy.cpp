// Display affinity for windows that show secrets.
#include "win32ui/screen_privacy.h"

#include "win32ui/model/display_affinity.h"

namespace qvx::win32ui {

namespace {

using SetAffinityFn = BOOL(WINAPI*)(HWND, DWORD);

// Looked up at run time: the program also runs on Windows that lack it.
SetAffinityFn SetAffinityFunction() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<SetAffinityFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetWindowDisplayAffinity")));
}

}  // namespace

std::uint32_t ProtectFromCapture(HWND window, const CapturePolicy& policy) {
  const auto affinities = AffinitiesToTry(policy.HideFromCapture());
  if (affinities.empty() || window == nullptr) return 0;
  const SetAffinityFn set = SetAffinityFunction();
  if (set == nullptr) return 0;
  // Systems before Windows 10 2004 refuse the newer value: the next one is
  // the best they offer.
  for (std::uint32_t affinity : affinities) {
    if (set(window, affinity)) return affinity;
  }
  return 0;
}

}  // namespace qvx::win32ui
