// Text shown in the installer's edit controls.
#pragma once

#include <string>
#include <string_view>

namespace qvx::setup {

// The text with every line break as CR LF (an edit control breaks lines only
// there): LF and lone CR become CR LF, CR LF stays; a NUL ends the text.
std::string WithCrLf(std::string_view text);

}  // namespace qvx::setup
