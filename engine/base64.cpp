// Base64 codec and armour line helpers.
#include "engine/base64.h"

#include <algorithm>
#include <array>

namespace qvx {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeReverse() {
  std::array<std::int8_t, 256> r{};
  for (auto& v : r) v = -1;
  for (int i = 0; i < 64; ++i) r[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return r;
}
constexpr std::array<std::int8_t, 256> kReverse = MakeReverse();

// Room for `more` characters without giving up geometric growth.
void MakeRoom(std::string& out, std::size_t more) {
  const std::size_t need = out.size() + more;
  if (need > out.capacity()) out.reserve(std::max(need, 2 * out.capacity()));
}

}  // namespace

std::string Base64Encode(const void* data, std::size_t size) {
  std::string out;
  Base64EncodeAppend(out, data, size);
  return out;
}

void Base64EncodeAppend(std::string& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  MakeRoom(out, (size + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (std::uint32_t{p[i + 1]} << 8) | p[i + 2];
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (i < size) {
    std::uint32_t v = std::uint32_t{p[i]} << 16;
    if (i + 1 < size) v |= std::uint32_t{p[i + 1]} << 8;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
}

std::optional<Base64Decoded> Base64DecodePrefix(std::string_view text) {
  Base64Decoded result;
  result.bytes.reserve(text.size() / 4 * 3);
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.size() - pos < 4) return std::nullopt;  // group cut short
    const unsigned char c0 = static_cast<unsigned char>(text[pos]);
    const unsigned char c1 = static_cast<unsigned char>(text[pos + 1]);
    const unsigned char c2 = static_cast<unsigned char>(text[pos + 2]);
    const unsigned char c3 = static_cast<unsigned char>(text[pos + 3]);
    const int v0 = kReverse[c0], v1 = kReverse[c1];
    if (v0 < 0 || v1 < 0) return std::nullopt;
    const bool pad2 = c2 == '=';
    const bool pad3 = c3 == '=';
    if (pad2 && !pad3) return std::nullopt;  // "=" must close the group
    const int v2 = pad2 ? 0 : kReverse[c2];
    const int v3 = pad3 ? 0 : kReverse[c3];
    if (v2 < 0 || v3 < 0) return std::nullopt;
    const std::uint32_t v = (static_cast<std::uint32_t>(v0) << 18) |
                            (static_cast<std::uint32_t>(v1) << 12) |
                            (static_cast<std::uint32_t>(v2) << 6) | static_cast<std::uint32_t>(v3);
    result.bytes.push_back(static_cast<std::uint8_t>(v >> 16));
    if (!pad2) result.bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    if (!pad3) result.bytes.push_back(static_cast<std::uint8_t>(v));
    pos += 4;
    if (pad3) break;
  }
  result.consumed = pos;
  return result;
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
  auto decoded = Base64DecodePrefix(text);
  if (!decoded || decoded->consumed != text.size()) return std::nullopt;
  return std::move(decoded->bytes);
}

std::string WrapBase64Lines(std::string_view text) {
  std::string out;
  WrapBase64LinesAppend(out, text);
  return out;
}

void WrapBase64LinesAppend(std::string& out, std::string_view text) {
  MakeRoom(out, text.size() + text.size() / 20 + 4);
  const std::size_t n = text.size();
  std::size_t p = 0;
  // Walks positions 0..n; position n stands for the terminator, which gets the
  // line break when n is a multiple of 40.
  while (p <= n) {
    if (p + 1 < n && text[p] == '\r' && text[p + 1] == '\n') {
      out += "\r\n\r\n";
      p += 2;
      continue;
    }
    if (p % 40 == 0) out += "\r\n";
    if (p < n) out.push_back(text[p]);
    ++p;
  }
}

std::string RemoveLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t p = 0;
  while (p < text.size()) {
    if (p + 1 < text.size() && text[p] == '\r' && text[p + 1] == '\n') {
      p += 2;
      if (p >= text.size()) break;
    }
    out.push_back(text[p]);
    ++p;
  }
  return out;
}

std::size_t FindAfter(std::string_view text, std::string_view marker, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  const std::size_t at = text.find(marker, from);
  return at == std::string_view::npos ? at : at + marker.size();
}

}  // namespace qvx
