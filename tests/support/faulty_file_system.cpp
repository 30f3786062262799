#include "tests/support/faulty_file_system.h"

#include <algorithm>

namespace qvx::test {

Result<Bytes> FaultyFileSystem::ReadFile(const std::string& path) {
  if (fail_reads_) return MakeError(Errc::Io, "injected read failure: " + path);
  return inner_.ReadFile(path);
}

bool FaultyFileSystem::FailThisWrite(const std::string& path, const std::uint8_t* data,
                                     std::size_t size) {
  ++writes_;
  if (!fail_after_ || skip_-- > 0) return false;
  const std::size_t partial = std::min(*fail_after_, size);
  fail_after_.reset();
  ++failed_writes_;
  // What an interrupted write leaves: a partial temporary file, target untouched.
  (void)inner_.WriteFileAtomic(path + ".qvxtmp-interrupted", data, partial);
  return true;
}

Status FaultyFileSystem::WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                                         std::size_t size) {
  if (FailThisWrite(path, data, size)) return MakeError(Errc::Io, "injected write failure: " + path);
  return inner_.WriteFileAtomic(path, data, size);
}

Status FaultyFileSystem::CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                                             std::size_t size) {
  if (FailThisWrite(path, data, size)) return MakeError(Errc::Io, "injected write failure: " + path);
  return inner_.CreateFileExclusive(path, data, size);
}

}  // namespace qvx::test
