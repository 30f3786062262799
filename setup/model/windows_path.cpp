// Windows path text: normal form and the installation folder rule.
#include "setup/model/windows_path.h"

#include <cctype>

namespace qvx::setup {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Components(std::string_view rest) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= rest.size(); ++i) {
    if (i == rest.size() || IsSeparator(rest[i])) {
      if (i > start) parts.push_back(rest.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Length of the root of a normal-form path: 3 for "C:\", the length of
// "\\server\share" for a share.
std::size_t RootLength(std::string_view path) {
  if (path.size() >= 3 && path[1] == ':') return 3;
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    const std::size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return path.size();
    const std::size_t share = path.find('\\', server + 1);
    return share == std::string_view::npos ? path.size() : share;
  }
  return 0;
}

}  // namespace

std::optional<std::string> NormalizeAbsolutePath(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = Trim(text.substr(1, text.size() - 2));
  }
  std::string root;
  std::string_view rest;
  if (text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
      IsSeparator(text[2])) {
    root = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])))) +
           ":\\";
    rest = text.substr(3);
  } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    // \\server\share: both names are the root and cannot be left by "..".
    std::size_t at = 2;
    auto next_name = [&]() {
      while (at < text.size() && IsSeparator(text[at])) ++at;
      const std::size_t start = at;
      while (at < text.size() && !IsSeparator(text[at])) ++at;
      return text.substr(start, at - start);
    };
    const std::string_view server = next_name();
    const std::string_view share = next_name();
    for (std::string_view name : {server, share}) {
      if (name.empty() || name == "." || name == ".." || name == "?") return std::nullopt;
    }
    root = "\\\\" + std::string(server) + "\\" + std::string(share);
    rest = text.substr(at);
  } else {
    return std::nullopt;
  }

  std::vector<std::string> kept;
  for (std::string_view part : Components(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    // Windows drops trailing dots and blanks of a name ("dir. " is "dir").
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
    if (part.empty()) continue;
    kept.emplace_back(part);
  }
  std::string result = root;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0 || result.back() != '\\') result += '\\';
    result += kept[i];
  }
  return result;
}

bool SamePath(std::string_view a, std::string_view b) { return EqualIgnoringCase(a, b); }

bool IsSameOrInside(std::string_view folder, std::string_view path) {
  if (folder.empty() || path.size() < folder.size()) return false;
  if (!EqualIgnoringCase(folder, path.substr(0, folder.size()))) return false;
  if (path.size() == folder.size()) return true;
  return folder.back() == '\\' || path[folder.size()] == '\\';
}

bool IsRoot(std::string_view path) {
  const std::size_t root = RootLength(path);
  return root != 0 && root == path.size();
}

std::vector<std::string> FoldersAlong(std::string_view normal_path) {
  std::vector<std::string> folders;
  const std::size_t root = RootLength(normal_path);
  if (root == 0) return folders;
  for (std::size_t i = root; i <= normal_path.size(); ++i) {
    if (i == normal_path.size() || normal_path[i] == '\\') {
      // Skip the root itself and the separator right after a share root.
      if (i > root) folders.emplace_back(normal_path.substr(0, i));
    }
  }
  return folders;
}

std::string JoinWindowsPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !IsSeparator(path.back())) path += '\\';
  path += name;
  return path;
}

std::string ParentOf(std::string_view normal_path) {
  const std::size_t root = RootLength(normal_path);
  const std::size_t last = normal_path.rfind('\\');
  if (last == std::string_view::npos) return {};
  if (root != 0 && last < root) return std::string(normal_path.substr(0, root));
  return std::string(normal_path.substr(0, last));
}

FolderVerdict CheckInstallFolder(std::string_view folder,
                                 const std::vector<std::string>& protected_folders) {
  const auto normal = NormalizeAbsolutePath(folder);
  if (!normal) return FolderVerdict::NotAbsolute;
  if (IsRoot(*normal)) return FolderVerdict::Root;
  for (const std::string& p : protected_folders) {
    const auto guarded = NormalizeAbsolutePath(p);
    if (guarded && IsSameOrInside(*normal, *guarded)) return FolderVerdict::Protected;
  }
  return FolderVerdict::Ok;
}

}  // namespace qvx::setup
