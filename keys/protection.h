// Where the key that unlocks a protected private key comes from. The core never
// asks the user itself: the tray program answers from the key-password
// associations or its password prompt, qvx from its options or the terminal,
// tests from a fixed value.
#pragma once

#include <optional>
#include <string_view>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/key_file.h"
#include "platform/secure.h"

namespace qvx {

class ProtectionKeySource {
 public:
  virtual ~ProtectionKeySource() = default;
  // The protection key (SHA-256 of the password) for the private key with this
  // header; nullopt when the user cancelled. Asked only for protected keys.
  virtual std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) = 0;
  // The key last given for this header opened the private key. A source that
  // asked the user keeps what was typed only now, once it is known to be right.
  virtual void Accepted(const KeyFileHeader& header) { (void)header; }
};

// Where the passwords of private keys are remembered for the user (the
// password storage's key-password associations in the tray program).
class ProtectionKeyMemory {
 public:
  virtual ~ProtectionKeyMemory() = default;
  // The protection key remembered for this private key; nullopt when there is
  // none (the caller then asks the user).
  virtual std::optional<Key256> RememberedKey(const KeyFileHeader& header) = 0;
  // Keeps a password the user typed for this private key (after it opened the
  // key, or for a new pair). Failures are the memory's to report.
  virtual void Remember(const KeyFileHeader& header, const SecureString& password) = 0;
};

// Always answers with the same key, or always cancels when it has none.
class FixedProtectionKey final : public ProtectionKeySource {
 public:
  FixedProtectionKey() = default;
  explicit FixedProtectionKey(const Key256& key) : key_(key) {}
  explicit FixedProtectionKey(std::string_view password) : key_(PasswordToKey(password)) {}

  std::optional<Key256> GetProtectionKey(const KeyFileHeader&) override {
    ++asked_;
    return key_;
  }
  int asked() const { return asked_; }

 private:
  std::optional<Key256> key_;
  int asked_ = 0;
};

}  // namespace qvx
