// The Save dialog for texts and other files the program writes at the user's
// request: the system's Save As dialog, the default extension appended, the
// question before an existing file is replaced, and an atomic write (the old
// file stays whole when the new one cannot be written).
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace qvx::win32ui {

struct SaveFileRequest {
  struct FileType {
    std::string description;  // "Text files (*.txt)"
    std::string pattern;      // "*.txt"
  };
  std::vector<FileType> types;
  std::string extension;  // appended unless the name ends in it: ".txt"
  std::string file_name;   // name offered first; may be empty
};

// "Text files (*.txt)" with ".txt".
SaveFileRequest TextFileRequest();

// Asks for a file name: the path to write, with the extension appended, or
// nullopt when the user cancelled or answered No to "File already exists,
// overwrite?" (the file is then untouched).
std::optional<std::string> AskSaveFilePath(HWND owner, const SaveFileRequest& request);

// Asks for a file name and writes the bytes there atomically. True when the
// file was written; false when the user cancelled or refused to overwrite, or
// when the file could not be written, which has then been shown ("The file
// could not be written: <path>"). The saved path goes to saved_path if given.
bool SaveTextFileDialog(HWND owner, const SaveFileRequest& request, const void* data,
                        std::size_t size, MessageShow& messages, std::string* saved_path = nullptr);

}  // namespace qvx::win32ui
