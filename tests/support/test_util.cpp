#include "tests/support/test_util.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/files.h"
#include "platform/system.h"

namespace qvx::test {

std::uint64_t Seed() {
  static const std::uint64_t seed = []() -> std::uint64_t {
    if (const char* text = std::getenv("QVX_TEST_SEED"); text != nullptr && *text) {
      return static_cast<std::uint64_t>(std::strtoull(text, nullptr, 10));
    }
    std::uint64_t s = 0;
    if (!qvx::RandomBytes(&s, sizeof s)) s = 12345;
    return static_cast<std::uint64_t>(s % 1000000007ull);
  }();
  return seed;
}

std::mt19937_64 Rng(std::string_view label) {
  std::seed_seq seq{static_cast<std::uint32_t>(Seed()), static_cast<std::uint32_t>(Seed() >> 32),
                    static_cast<std::uint32_t>(std::hash<std::string_view>{}(label))};
  return std::mt19937_64(seq);
}

std::vector<std::uint8_t> RandomBytes(std::mt19937_64& rng, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

std::vector<std::uint8_t> FromHex(std::string_view hex) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : hex) {
    const int v = nibble(c);
    if (v < 0) continue;  // separators are allowed
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

std::string DataPath(std::string_view name) { return JoinPath(QVX_TEST_DATA, name); }

TempDir::TempDir() {
  namespace fs = std::filesystem;
  std::uint64_t tag = 0;
  (void)qvx::RandomBytes(&tag, sizeof tag);
  const fs::path base = fs::temp_directory_path() / ("qvx-test-" + std::to_string(tag));
  fs::create_directories(base);
  path_ = base.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const { return JoinPath(path_, name); }

}  // namespace qvx::test
