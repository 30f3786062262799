// Scripted answers for the crypto-text engine's password questions, and a
// record of how each question was asked. Header-only: it needs the engine,
// which only the tests that use it link.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/password_key.h"
#include "engine/prompts.h"
#include "engine/rijndael.h"

namespace qvx::test {

class ScriptedPasswords final : public PasswordPrompt {
 public:
  struct Answer {
    std::optional<std::string> password;  // empty: the user cancels
    std::optional<bool> use_common_password = std::nullopt;  // empty: leave the box as shown
  };

  Result<Key256> AskEncryptionKey() override {
    ++encryption_asks;
    return Next(encryption);
  }

  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) override {
    decryption_asks.push_back(request);
    if (!decryption.empty() && decryption.front().use_common_password && decryption.front().password) {
      request.use_common_password = *decryption.front().use_common_password;
    }
    return Next(decryption);
  }

  // A prompt that always answers with the same password.
  static ScriptedPasswords Always(const std::string& password, int times = 64) {
    ScriptedPasswords p;
    for (int i = 0; i < times; ++i) {
      p.encryption.push_back({password});
      p.decryption.push_back({password});
    }
    return p;
  }

  std::deque<Answer> encryption;
  std::deque<Answer> decryption;
  int encryption_asks = 0;
  std::vector<DecryptionPasswordRequest> decryption_asks;  // as each was shown
  int unscripted = 0;  // questions asked after the script ran out

 private:
  Result<Key256> Next(std::deque<Answer>& answers) {
    if (answers.empty()) {
      ++unscripted;
      return MakeError(Errc::Cancelled, "no scripted answer");
    }
    const Answer answer = answers.front();
    answers.pop_front();
    if (!answer.password) return MakeError(Errc::Cancelled, "cancelled");
    return PasswordToKey(*answer.password);
  }
};

}  // namespace qvx::test
