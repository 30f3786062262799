// How the viewer takes in a long text: the first part at once, so that the
// window shows text as soon as it opens, and the rest in steps while the
// window stays responsive (a rich edit control under Wine takes about 3 s for
// a megabyte, whichever way the text goes in).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace qvx::shell {

// The ends of the parts (offsets into the text, increasing, the last one its
// size): the first at most `first` bytes long, the others at most `step`.
// A part ends after a line feed where one lies in its second half, so the
// control reflows whole lines; it never ends between CR and LF. An empty
// text has no parts.
std::vector<std::size_t> ViewerFillParts(std::string_view text, std::size_t first, std::size_t step);

}  // namespace qvx::shell
