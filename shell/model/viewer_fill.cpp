#include "shell/model/viewer_fill.h"

#include <algorithm>

namespace qvx::shell {

std::vector<std::size_t> ViewerFillParts(std::string_view text, std::size_t first, std::size_t step) {
  std::vector<std::size_t> ends;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t room = std::max<std::size_t>(ends.empty() ? first : step, 2);
    std::size_t end = std::min(text.size(), at + room);
    if (end < text.size()) {
      const std::size_t line_end = text.rfind('\n', end - 1);
      if (line_end != std::string_view::npos && line_end >= at + room / 2) {
        end = line_end + 1;
      } else if (text[end - 1] == '\r' && text[end] == '\n') {
        --end;
      }
    }
    ends.push_back(end);
    at = end;
  }
  return ends;
}

}  // namespace qvx::shell
