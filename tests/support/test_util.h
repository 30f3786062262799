// Shared helpers for tests: seeded random data, hex, temporary folders, test data.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::test {

// The run's seed: QVX_TEST_SEED when set, otherwise drawn once and printed.
std::uint64_t Seed();

// A generator seeded from Seed() and a per-use label, so tests stay independent.
std::mt19937_64 Rng(std::string_view label);

std::vector<std::uint8_t> RandomBytes(std::mt19937_64& rng, std::size_t n);
std::vector<std::uint8_t> FromHex(std::string_view hex);
std::string ToHex(const std::uint8_t* data, std::size_t n);
template <class C>
std::string ToHex(const C& c) {
  return ToHex(reinterpret_cast<const std::uint8_t*>(c.data()), c.size());
}

// Path of a file under tests/data.
std::string DataPath(std::string_view name);

// A fresh empty folder, removed with its contents when the object goes away.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

}  // namespace qvx::test
