// Replays fuzz inputs without libFuzzer: every file named on the command line,
// or found in a folder named there, goes once through the target's
// LLVMFuzzerTestOneInput. Builds with any compiler, so the corpora also run
// against the 32-bit build; a crash or an abort is the failure.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The files to replay, folders expanded (sorted, so that runs are repeatable).
bool CollectInputs(const fs::path& path, std::vector<fs::path>& out) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(path, error)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    if (error) return false;
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
    return true;
  }
  if (!fs::is_regular_file(path, error)) return false;
  out.push_back(path);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!CollectInputs(argv[i], inputs)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 2;
  }
  for (const fs::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "cannot read %s\n", input.c_str());
      return 2;
    }
    // Printed first, so that the input that crashed is the last line shown.
    std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu inputs replayed, %zu-bit build\n", inputs.size(), sizeof(void*) * 8);
  return 0;
}
