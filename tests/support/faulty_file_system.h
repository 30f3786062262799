// A file system for tests that forwards to the real one but can be told to fail
// a write the way a full disk or a power cut would: part of the data reaches a
// temporary file beside the target, then the write fails before the rename.
#pragma once

#include <cstddef>
#include <optional>

#include "platform/files.h"

namespace qvx::test {

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner = NativeFileSystem()) : inner_(inner) {}

  // The next atomic or exclusive write (counting from 0 after this call, skipping `skip`
  // writes) stores only `bytes_written` bytes in a stray temporary file and fails.
  void FailWrite(std::size_t bytes_written, int skip = 0) {
    fail_after_ = bytes_written;
    skip_ = skip;
  }
  void FailReads(bool fail) { fail_reads_ = fail; }
  int writes() const { return writes_; }
  int failed_writes() const { return failed_writes_; }

  Result<Bytes> ReadFile(const std::string& path) override;
  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                         std::size_t size) override;
  Status CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                             std::size_t size) override;
  Result<std::unique_ptr<FileLock>> LockExclusive(const std::string& lock_path,
                                                  std::chrono::milliseconds wait) override {
    return inner_.LockExclusive(lock_path, wait);
  }
  Result<std::vector<std::string>> ListFiles(const std::string& folder) override {
    return inner_.ListFiles(folder);
  }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return inner_.FolderExists(path); }
  Status CreateFolder(const std::string& path) override { return inner_.CreateFolder(path); }
  Status RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  using FileSystem::CreateFileExclusive;
  using FileSystem::WriteFileAtomic;

 private:
  // Counts a write; true when this one is to fail (its partial temporary file
  // then written).
  bool FailThisWrite(const std::string& path, const std::uint8_t* data, std::size_t size);

  FileSystem& inner_;
  std::optional<std::size_t> fail_after_;
  int skip_ = 0;
  bool fail_reads_ = false;
  int writes_ = 0;
  int failed_writes_ = 0;
};

}  // namespace qvx::test
