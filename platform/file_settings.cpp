// Settings kept in a small text file: one "name=d:<number>" or "name=s:<text>"
// line per value. Every write rewrites the file atomically.
#include <map>

#include "platform/files.h"
#include "platform/settings.h"

namespace qvx {

namespace {

class FileSettings final : public SettingsStore {
 public:
  explicit FileSettings(std::string path) : path_(std::move(path)) {}

  std::optional<std::uint32_t> ReadDword(std::string_view name) override {
    auto values = Load();
    auto it = values.find(std::string(name));
    if (it == values.end() || it->second.rfind("d:", 0) != 0) return std::nullopt;
    try {
      return static_cast<std::uint32_t>(std::stoul(it->second.substr(2)));
    } catch (...) {
      return std::nullopt;
    }
  }

  std::optional<std::string> ReadString(std::string_view name) override {
    auto values = Load();
    auto it = values.find(std::string(name));
    if (it == values.end() || it->second.rfind("s:", 0) != 0) return std::nullopt;
    return Unescape(it->second.substr(2));
  }

  bool WriteDword(std::string_view name, std::uint32_t value) override {
    return Store(name, "d:" + std::to_string(value));
  }

  bool WriteString(std::string_view name, std::string_view value) override {
    return Store(name, "s:" + Escape(value));
  }

 private:
  static std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
      if (c == '\\') out += "\\\\";
      else if (c == '\n') out += "\\n";
      else if (c == '\r') out += "\\r";
      else out += c;
    }
    return out;
  }

  static std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        char n = text[++i];
        out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
      } else {
        out += text[i];
      }
    }
    return out;
  }

  std::map<std::string, std::string> Load() {
    std::map<std::string, std::string> values;
    auto data = NativeFileSystem().ReadFile(path_);
    if (!data) return values;
    std::string text(data->begin(), data->end());
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(pos, end - pos);
      std::size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
      pos = end + 1;
    }
    return values;
  }

  bool Store(std::string_view name, std::string value) {
    if (name.empty() || name.find('=') != std::string_view::npos ||
        name.find('\n') != std::string_view::npos) {
      return false;
    }
    auto values = Load();
    values[std::string(name)] = std::move(value);
    std::string text;
    for (const auto& [key, val] : values) text += key + "=" + val + "\n";
    const std::string folder = FolderOf(path_);
    if (!folder.empty()) (void)NativeFileSystem().CreateFolder(folder);
    return NativeFileSystem()
        .WriteFileAtomic(path_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size())
        .ok();
  }

  std::string path_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenFileSettings(std::string path) {
  return std::make_unique<FileSettings>(std::move(path));
}

}  // namespace qvx
