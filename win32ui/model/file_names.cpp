// File-name rules of the save dialogs.
#include "win32ui/model/file_names.h"

namespace qvx::win32ui {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string WithExtension(std::string_view path, std::string_view extension) {
  std::string out(path);
  if (extension.empty()) return out;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || !EqualIgnoringAsciiCase(path.substr(dot), extension)) {
    out += extension;
  }
  return out;
}

}  // namespace qvx::win32ui
