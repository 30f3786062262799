// File-name rules of the save dialogs.
#pragma once

#include <string>
#include <string_view>

namespace qvx::win32ui {

// The path with the extension (".txt") appended unless it already ends in it,
// in any letter case: "notes" -> "notes.txt", "notes.TXT" stays,
// "notes.doc" -> "notes.doc.txt".
std::string WithExtension(std::string_view path, std::string_view extension);

}  // namespace qvx::win32ui
