// What the benchmarks share: a password prompt that always answers, and a
// wall-clock timer.
#pragma once

#include <chrono>
#include <utility>

#include "engine/password_key.h"
#include "engine/prompts.h"

namespace qvx::bench {

// Answers every question with the password "bench".
class FixedPassword final : public PasswordPrompt {
 public:
  Result<Key256> AskEncryptionKey() override { return PasswordToKey("bench"); }
  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest&) override { return PasswordToKey("bench"); }
};

// Seconds one call of f takes.
template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  std::forward<F>(f)();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace qvx::bench
