// Path helpers shared by both platforms.
#include "platform/files.h"

namespace qvx {

namespace {
bool IsSeparator(char c) { return c == '/' || (PathSeparator() == '\\' && c == '\\'); }
}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && !IsSeparator(out.back())) out.push_back(PathSeparator());
  while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
  out.append(name);
  return out;
}

std::string FileNameOf(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return std::string(path.substr(i));
  }
  return std::string(path);
}

std::string FolderOf(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return std::string(path.substr(0, i - 1));
  }
  return {};
}

Result<SecureBytes> FileSystem::ReadSecretFile(const std::string& path) {
  auto data = ReadFile(path);
  if (!data) return data.error();
  SecureBytes out(data->begin(), data->end());
  SecureWipe(data->data(), data->size());
  return out;
}

std::string LockPathFor(std::string_view path) { return std::string(path) + ".lock"; }

}  // namespace qvx
