// The display affinities to try for a secret window.
#include "win32ui/model/display_affinity.h"

namespace qvx::win32ui {

std::vector<std::uint32_t> AffinitiesToTry(bool hide_from_capture) {
  if (!hide_from_capture) return {};
  return {kAffinityExcludeFromCapture, kAffinityMonitor};
}

}  // namespace qvx::win32ui
