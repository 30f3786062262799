// Search rules of the list Find command.
#include "win32ui/model/list_search.h"

namespace qvx::win32ui {

namespace {

constexpr unsigned long kFrDown = 0x1;
constexpr unsigned long kFrWholeWord = 0x2;
constexpr unsigned long kFrMatchCase = 0x4;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b, bool match_case) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (match_case ? a[i] != b[i] : FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

FindOptions FindOptionsFromFlags(unsigned long flags) {
  FindOptions o;
  o.down = (flags & kFrDown) != 0;
  o.whole_word = (flags & kFrWholeWord) != 0;
  o.match_case = (flags & kFrMatchCase) != 0;
  return o;
}

unsigned long FindOptionsToFlags(const FindOptions& options) {
  return (options.down ? kFrDown : 0) | (options.whole_word ? kFrWholeWord : 0) |
         (options.match_case ? kFrMatchCase : 0);
}

bool CellMatches(std::string_view cell, std::string_view what, const FindOptions& options) {
  if (cell.size() < what.size()) return false;
  if (options.whole_word) return SameText(cell, what, options.match_case);
  for (std::size_t at = 0; at + what.size() <= cell.size(); ++at) {
    if (SameText(cell.substr(at, what.size()), what, options.match_case)) return true;
  }
  return false;
}

SearchResult SearchList(const SearchableList& list, int columns, std::optional<int> selected,
                        std::string_view what, const FindOptions& options, SearchMemory& memory) {
  const int count = list.RowCount();
  if (count <= 0) return {SearchResult::Outcome::EmptyList, -1};
  const int step = options.down ? 1 : -1;
  if (selected && (*selected < 0 || *selected >= count)) selected.reset();

  int row;
  if (!selected) {
    row = options.down ? 0 : count - 1;
  } else if (memory.found && memory.last_found == what) {
    row = *selected + step;  // "Find Next": continue behind the last match
  } else {
    row = *selected;  // a new text: the selected row may hold it already
  }
  for (; row >= 0 && row < count; row += step) {
    for (int column = 0; column < columns; ++column) {
      if (CellMatches(list.Cell(row, column), what, options)) {
        memory.last_found = std::string(what);
        memory.found = true;
        return {SearchResult::Outcome::Found, row};
      }
    }
  }
  return {SearchResult::Outcome::NotFound, -1};
}

}  // namespace qvx::win32ui
