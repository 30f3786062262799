// The search rules of the list dialogs' Find command: which cells match the
// searched text, where a search starts, in which direction it walks and when
// it gives up. A search never wraps around the list. The Win32 side
// (win32ui/list_find.h) reads the cells and moves the selection.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx::win32ui {

// The options of the system's Find dialog that a list search uses.
struct FindOptions {
  bool down = true;        // FR_DOWN: towards the end of the list
  bool whole_word = false;  // FR_WHOLEWORD: the cell's whole text must equal the searched text
  bool match_case = false;  // FR_MATCHCASE: otherwise the letters A..Z ignore their case
};

// FINDREPLACE flags <-> options (FR_DOWN 1, FR_WHOLEWORD 2, FR_MATCHCASE 4).
FindOptions FindOptionsFromFlags(unsigned long flags);
unsigned long FindOptionsToFlags(const FindOptions& options);

// Whether one cell holds the searched text: with whole_word the cell's whole
// text equals it, otherwise it occurs anywhere in the cell. Cells shorter
// than the searched text never match.
bool CellMatches(std::string_view cell, std::string_view what, const FindOptions& options);

// The cells of a list as the search reads them.
class SearchableList {
 public:
  virtual ~SearchableList() = default;
  virtual int RowCount() const = 0;
  virtual std::string Cell(int row, int column) const = 0;
};

// What a list's Find remembers between searches: the text of the last
// successful search and whether the latest search found it. The flag is
// cleared whenever the Find dialog opens or closes.
struct SearchMemory {
  std::string last_found;
  bool found = false;
};

struct SearchResult {
  enum class Outcome { EmptyList, NotFound, Found };
  Outcome outcome = Outcome::NotFound;
  int row = -1;  // the matching row when Found
};

// Searches the rows of a list for a text in its first `columns` columns:
//   - an empty list gives EmptyList;
//   - the same text as the last successful search (while the flag is set)
//     continues one row after the selected row in the search direction;
//   - otherwise the selected row is examined first, and with no selected row
//     the search starts at the first row (down) or the last row (up);
//   - rows are walked in the search direction until a row has a matching
//     cell; leaving the list gives NotFound.
// A Found result updates the memory.
SearchResult SearchList(const SearchableList& list, int columns, std::optional<int> selected,
                        std::string_view what, const FindOptions& options, SearchMemory& memory);

}  // namespace qvx::win32ui
