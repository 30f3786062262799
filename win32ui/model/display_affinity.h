// Which display affinities keep a window that shows a secret out of screen
// capture, best first: excluded from capture (shown to the user, missing from
// screenshots; newer Windows only), then shown black in captures; nothing
// when hiding is off.
#pragma once

#include <cstdint>
#include <vector>

namespace qvx::win32ui {

inline constexpr std::uint32_t kAffinityMonitor = 0x01;
inline constexpr std::uint32_t kAffinityExcludeFromCapture = 0x11;
std::vector<std::uint32_t> AffinitiesToTry(bool hide_from_capture);

}  // namespace qvx::win32ui
