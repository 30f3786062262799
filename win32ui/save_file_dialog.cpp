// The Save dialog.
#include "win32ui/save_file_dialog.h"

#include <commdlg.h>

#include "platform/files.h"
#include "win32ui/model/file_names.h"
#include "win32ui/win32_util.h"

namespace qvx::win32ui {

namespace {

constexpr DWORD kPathChars = 1024;
constexpr int kWriteAttempts = 5;
constexpr DWORD kWriteRetryMs = 100;

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "File already exists, overwrite?" as a Yes/No question.
bool OverwriteAllowed(const std::string& path) {
  if (!PathExists(path)) return true;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  std::string text = LoadResourceString(instance, static_cast<UINT>(Msg::FileExistsOverwrite));
  if (text.empty()) text = MessageText(Msg::FileExistsOverwrite);
  return MessageBoxA(nullptr, text.c_str(), "Quorvix", MB_YESNO | MB_SYSTEMMODAL) == IDYES;
}

}  // namespace

SaveFileRequest TextFileRequest() {
  SaveFileRequest request;
  request.types.push_back({"Text files (*.txt)", "*.txt"});
  request.extension = ".txt";
  return request;
}

std::optional<std::string> AskSaveFilePath(HWND owner, const SaveFileRequest& request) {
  // The filter is pairs of NUL-terminated strings, ended by one more NUL.
  std::string filter;
  for (const auto& type : request.types) {
    filter += type.description;
    filter.push_back('\0');
    filter += type.pattern;
    filter.push_back('\0');
  }
  filter.push_back('\0');
  std::string file(kPathChars, '\0');
  file.replace(0, std::min<std::size_t>(request.file_name.size(), kPathChars - 1), request.file_name);

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kPathChars;
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&dialog)) return std::nullopt;
  file.resize(std::char_traits<char>::length(file.c_str()));
  const std::string path = WithExtension(file, request.extension);
  if (!OverwriteAllowed(path)) return std::nullopt;
  return path;
}

bool SaveTextFileDialog(HWND owner, const SaveFileRequest& request, const void* data,
                        std::size_t size, MessageShow& messages, std::string* saved_path) {
  const auto path = AskSaveFilePath(owner, request);
  if (!path) return false;
  // Another program (a virus scanner, a file indexer) may have the old file
  // open for a moment, which keeps it from being replaced.
  Status written = Ok();
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    if (attempt > 0) Sleep(kWriteRetryMs);
    written = NativeFileSystem().WriteFileAtomic(*path, static_cast<const std::uint8_t*>(data), size);
    if (written) break;
  }
  if (!written) {
    messages.Show(Msg::FileWriteFailed, BoxKind::Error, *path);
    return false;
  }
  if (saved_path != nullptr) *saved_path = *path;
  return true;
}

}  // namespace qvx::win32ui
