// Tolerant search of armoured blocks and collection of their Base64 bodies.
#include "engine/armour.h"

#include <array>

namespace qvx {

namespace {

constexpr bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

constexpr std::array<bool, 256> MakeBodyAlphabet() {
  std::array<bool, 256> a{};
  for (int c = 'A'; c <= 'Z'; ++c) a[static_cast<unsigned>(c)] = true;
  for (int c = 'a'; c <= 'z'; ++c) a[static_cast<unsigned>(c)] = true;
  for (int c = '0'; c <= '9'; ++c) a[static_cast<unsigned>(c)] = true;
  a['+'] = a['/'] = a['='] = true;
  return a;
}
constexpr std::array<bool, 256> kBodyAlphabet = MakeBodyAlphabet();

}  // namespace

std::size_t LineBreakSize(std::string_view text, std::size_t at) {
  if (at >= text.size()) return 0;
  if (text[at] == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
  return text[at] == '\n' ? 1 : 0;
}

std::optional<MarkerLine> FindMarkerLine(std::string_view text, std::string_view marker, std::size_t from) {
  if (marker.empty() || from > text.size()) return std::nullopt;
  // Each occurrence of the marker is checked for a line of its own. The walks
  // back over the prefix and on over trailing blanks stop at the marker's own
  // non-blank characters, so the whole search stays linear in the text.
  std::size_t pos = from;
  for (;;) {
    const std::size_t at = text.find(marker, pos);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t begin = at;
    while (begin > from && IsArmourPrefixChar(text[begin - 1])) --begin;
    std::size_t end = at + marker.size();
    while (end < text.size() && IsArmourBlank(text[end])) ++end;
    const bool line_start = begin == from || IsLineBreak(text[begin - 1]);
    const bool line_end = end == text.size() || IsLineBreak(text[end]);
    if (line_start && line_end) return MarkerLine{begin, at, end};
    pos = at + 1;
  }
}

std::optional<ArmourSpan> FindArmour(std::string_view text, const ArmourMarkers& markers, std::size_t from) {
  const auto start = FindMarkerLine(text, markers.start, from);
  if (!start) return std::nullopt;
  const std::size_t break_size = LineBreakSize(text, start->content_end);
  if (break_size == 0) return std::nullopt;  // the start line ends the text
  const std::size_t body_begin = start->content_end + break_size;
  const auto end = FindMarkerLine(text, markers.end, body_begin);
  if (!end) return std::nullopt;

  ArmourSpan span;
  span.start_line = *start;
  span.end_line = *end;
  span.start = start->line_begin;
  if (span.start > from && text[span.start - 1] == '\n') --span.start;
  if (span.start > from && text[span.start - 1] == '\r') --span.start;
  span.end = end->content_end + LineBreakSize(text, end->content_end);
  span.body_begin = body_begin;
  span.body_end = end->line_begin;
  while (span.body_end > body_begin &&
         (IsLineBreak(text[span.body_end - 1]) || IsArmourBlank(text[span.body_end - 1]))) {
    --span.body_end;
  }
  return span;
}

std::optional<std::string> CollectArmourBody(std::string_view text, const ArmourSpan& span) {
  std::string body;
  if (span.body_begin > span.body_end || span.body_end > text.size()) return std::nullopt;
  body.reserve(span.body_end - span.body_begin);
  bool line_start = true;
  for (std::size_t i = span.body_begin; i < span.body_end; ++i) {
    const char c = text[i];
    if (IsLineBreak(c)) {
      line_start = true;
    } else if (IsArmourBlank(c) || (line_start && c == '>')) {
      // dropped: quote prefix at a line's start, blanks anywhere
    } else if (kBodyAlphabet[static_cast<unsigned char>(c)]) {
      line_start = false;
      body.push_back(c);
    } else {
      return std::nullopt;
    }
  }
  return body;
}

}  // namespace qvx
