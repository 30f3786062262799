// Text-like benchmark input: words, numbers and line breaks from a fixed
// generator, so that every run compresses and encrypts the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvx::bench {

inline std::string WordText(std::size_t size) {
  static const char* const kWords[] = {"crypto", "text", "block", "the", "of",      "password",
                                       "window", "and",  "mail",  "a",   "message", "key",
                                       "to",     "from", "line",  "we"};
  std::uint64_t state = 0x9E3779B97F4A7C15u;  // xorshift64
  std::string text;
  text.reserve(size + 32);
  while (text.size() < size) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    text += kWords[state & 15];
    if ((state >> 4 & 7) == 0) text += std::to_string(state >> 8 & 0xFFFF);
    text += (state >> 24 & 15) == 0 ? "\r\n" : " ";
  }
  text.resize(size);
  return text;
}

}  // namespace qvx::bench
