// Memory that holds secrets: passwords, derived keys, key schedules, private
// numbers and decrypted text. Everything here is wiped before it is released.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// Overwrites n bytes with zeros in a way the optimiser cannot drop.
void SecureWipe(void* data, std::size_t n);

// Compares two buffers of n bytes in time independent of their contents.
bool ConstantTimeEqual(const void* a, const void* b, std::size_t n);

// Allocator that wipes every block before giving it back.
template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <class U>
  WipingAllocator(const WipingAllocator<U>&) {}  // NOLINT: allocator rebind
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) {
    SecureWipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const WipingAllocator<U>&) const { return true; }
  template <class U>
  bool operator!=(const WipingAllocator<U>&) const { return false; }
};

// Growable byte buffer for secrets. Growth reallocates through the wiping
// allocator, so no copy of the old contents is left behind either.
using SecureBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// Text secret (a typed password, a decrypted text). Unlike std::string it has
// no small-string buffer inside the object: every byte lives in wiped memory.
class SecureString {
 public:
  SecureString() = default;
  explicit SecureString(std::string_view text) : bytes_(text.begin(), text.end()) {}
  // Takes over the bytes without a copy.
  explicit SecureString(SecureBytes&& bytes) noexcept : bytes_(std::move(bytes)) {}
  SecureString(const SecureString&) = default;
  SecureString(SecureString&&) noexcept = default;
  SecureString& operator=(const SecureString&) = default;
  SecureString& operator=(SecureString&&) noexcept = default;
  ~SecureString() = default;

  const char* data() const { return reinterpret_cast<const char*>(bytes_.data()); }
  char* data() { return reinterpret_cast<char*>(bytes_.data()); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  std::string_view view() const { return {data(), size()}; }
  void clear() { SecureBytes().swap(bytes_); }
  void append(std::string_view more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  void resize(std::size_t n) { bytes_.resize(n); }
  void reserve(std::size_t n) { bytes_.reserve(n); }

  friend bool operator==(const SecureString& a, const SecureString& b) {
    return a.size() == b.size() && ConstantTimeEqual(a.data(), b.data(), a.size());
  }
  friend bool operator!=(const SecureString& a, const SecureString& b) { return !(a == b); }

 private:
  SecureBytes bytes_;
};

// Fixed-size secret such as a 32-byte key; wiped when it goes out of scope.
template <std::size_t N>
class SecretArray {
 public:
  SecretArray() { bytes_.fill(0); }
  SecretArray(const SecretArray&) = default;
  SecretArray& operator=(const SecretArray&) = default;
  ~SecretArray() { SecureWipe(bytes_.data(), N); }

  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  static constexpr std::size_t size() { return N; }
  std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
  const std::uint8_t& operator[](std::size_t i) const { return bytes_[i]; }
  std::uint8_t* begin() { return bytes_.data(); }
  std::uint8_t* end() { return bytes_.data() + N; }
  const std::uint8_t* begin() const { return bytes_.data(); }
  const std::uint8_t* end() const { return bytes_.data() + N; }

  bool IsZero() const {
    std::uint8_t acc = 0;
    for (auto b : bytes_) acc |= b;
    return acc == 0;
  }
  void Wipe() { SecureWipe(bytes_.data(), N); }

  friend bool operator==(const SecretArray& a, const SecretArray& b) {
    return ConstantTimeEqual(a.data(), b.data(), N);
  }
  friend bool operator!=(const SecretArray& a, const SecretArray& b) { return !(a == b); }

 private:
  std::array<std::uint8_t, N> bytes_;
};

using Key256 = SecretArray<32>;

}  // namespace qvx
