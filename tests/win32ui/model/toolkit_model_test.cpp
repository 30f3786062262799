// The list Find rules: cell matching, where a search starts, direction,
// continuing after a match, and the end of the list; and the balloon's
// geometry.
#include <gtest/gtest.h>

#include <vector>

#include "win32ui/model/anchor_rule.h"
#include "win32ui/model/balloon_layout.h"
#include "win32ui/model/display_affinity.h"
#include "win32ui/model/list_search.h"

namespace qvx::win32ui {
namespace {

TEST(ListSearch, CellMatching) {
  struct Case {
    const char* cell;
    const char* what;
    bool whole_word;
    bool match_case;
    bool matches;
  };
  const Case cases[] = {
      {"Mail account", "acc", false, false, true},
      {"Mail account", "ACC", false, false, true},
      {"Mail account", "ACC", false, true, false},
      {"Mail account", "Mail", true, false, false},  // whole word: the whole cell
      {"Mail account", "mail ACCOUNT", true, false, true},
      {"Mail account", "mail ACCOUNT", true, true, false},
      {"Mail account", "Mail account", true, true, true},
      {"ab", "abc", false, false, false},  // shorter than the text
      {"", "a", false, false, false},
      {"abc", "", false, false, true},
      {"xxabc", "abc", false, false, true},           // at the very end
      {"abcxx", "abc", false, false, true},           // at the very start
      {"\xC4pfel", "\xE4pfel", false, false, false},  // only A..Z fold
      {"a[b", "A[B", false, false, true},
      {"a@b", "A`B", false, false, false},  // '@' and '`' are not letters
  };
  for (const Case& c : cases) {
    FindOptions o;
    o.whole_word = c.whole_word;
    o.match_case = c.match_case;
    EXPECT_EQ(CellMatches(c.cell, c.what, o), c.matches)
        << '"' << c.cell << "\" / \"" << c.what << "\" whole " << c.whole_word << " case "
        << c.match_case;
  }
}

TEST(ListSearch, FlagsRoundTrip) {
  for (unsigned long flags = 0; flags < 8; ++flags) {
    EXPECT_EQ(FindOptionsToFlags(FindOptionsFromFlags(flags)), flags);
  }
  // Other FINDREPLACE bits (FR_FINDNEXT 8, FR_DIALOGTERM 0x40) are not options.
  EXPECT_EQ(FindOptionsToFlags(FindOptionsFromFlags(0x4D)), 5u);
}

class Rows final : public SearchableList {
 public:
  explicit Rows(std::vector<std::vector<std::string>> rows) : rows_(std::move(rows)) {}
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string Cell(int row, int column) const override {
    ++reads;
    const auto& r = rows_.at(static_cast<std::size_t>(row));
    return static_cast<std::size_t>(column) < r.size() ? r[static_cast<std::size_t>(column)] : "";
  }
  mutable int reads = 0;

 private:
  std::vector<std::vector<std::string>> rows_;
};

const Rows kBook({{"bank", "pw1", "01.01.2020", "first"},
                  {"mail", "pw2", "02.01.2020", "bank note"},
                  {"shop", "pw3", "03.01.2020", ""},
                  {"Bank of X", "pw4", "04.01.2020", "second"}});

TEST(ListSearch, StartAndDirection) {
  struct Case {
    const char* what;
    std::optional<int> selected;
    bool down;
    SearchResult::Outcome outcome;
    int row;
  };
  using O = SearchResult::Outcome;
  const Case cases[] = {
      {"bank", std::nullopt, true, O::Found, 0},
      {"bank", std::nullopt, false, O::Found, 3},  // up with nothing selected: from the end
      {"bank", 0, true, O::Found, 0},              // a new text: the selected row first
      {"bank", 2, true, O::Found, 3},
      {"bank", 2, false, O::Found, 1},        // the note column counts
      {"shop", 3, true, O::NotFound, -1},     // no wrap to the start
      {"second", 0, false, O::NotFound, -1},  // no wrap to the end
      {"pw3", 0, true, O::Found, 2},
      {"2020", 3, false, O::Found, 3},
      {"nothing", std::nullopt, true, O::NotFound, -1},
      {"bank", 9, true, O::Found, 0},  // a stale selection counts as none
  };
  for (const Case& c : cases) {
    SearchMemory memory;
    FindOptions o;
    o.down = c.down;
    const SearchResult r = SearchList(kBook, 4, c.selected, c.what, o, memory);
    EXPECT_EQ(r.outcome, c.outcome) << c.what;
    EXPECT_EQ(r.row, c.row) << c.what;
    EXPECT_EQ(memory.found, c.outcome == O::Found);
    if (c.outcome == O::Found) {
      EXPECT_EQ(memory.last_found, c.what);
    }
  }
}

TEST(ListSearch, OnlyTheGivenColumnsAreSearched) {
  SearchMemory memory;
  EXPECT_EQ(SearchList(kBook, 3, std::nullopt, "second", {}, memory).outcome,
            SearchResult::Outcome::NotFound);
  EXPECT_EQ(SearchList(kBook, 1, std::nullopt, "pw2", {}, memory).outcome,
            SearchResult::Outcome::NotFound);
}

TEST(ListSearch, FindNextContinuesAfterTheMatchUntilTheEnd) {
  for (bool down : {true, false}) {
    SCOPED_TRACE(down);
    SearchMemory memory;
    FindOptions o;
    o.down = down;
    std::optional<int> selected;
    std::vector<int> found;
    for (int i = 0; i < 5; ++i) {
      const SearchResult r = SearchList(kBook, 4, selected, "bank", o, memory);
      if (r.outcome != SearchResult::Outcome::Found) break;
      found.push_back(r.row);
      selected = r.row;  // the dialog selects the found row
    }
    EXPECT_EQ(found, down ? std::vector<int>({0, 1, 3}) : std::vector<int>({3, 1, 0}));
    // After the last one the same text is not found again, and the memory stays.
    EXPECT_TRUE(memory.found);
    EXPECT_EQ(memory.last_found, "bank");
  }
}

TEST(ListSearch, ANewTextOrAClearedFlagStartsAtTheSelectedRow) {
  SearchMemory memory;
  FindOptions o;
  ASSERT_EQ(SearchList(kBook, 4, std::nullopt, "bank", o, memory).row, 0);
  // Another text: row 0 is examined again.
  EXPECT_EQ(SearchList(kBook, 4, 0, "first", o, memory).row, 0);
  // The Find dialog was closed and opened again: the flag is cleared, so the
  // same text starts at the selection too.
  memory.found = false;
  EXPECT_EQ(SearchList(kBook, 4, 0, "first", o, memory).row, 0);
  // The remembered text is compared with its letter case.
  EXPECT_EQ(SearchList(kBook, 4, 0, "FIRST", o, memory).row, 0);
}

TEST(ListSearch, EmptyListAndEndsOfTheList) {
  SearchMemory memory;
  const Rows empty({});
  EXPECT_EQ(SearchList(empty, 4, std::nullopt, "a", {}, memory).outcome,
            SearchResult::Outcome::EmptyList);
  EXPECT_FALSE(memory.found);
  // A match on the last row, then Find Next downwards: nothing is read.
  FindOptions down;
  ASSERT_EQ(SearchList(kBook, 4, 3, "second", down, memory).row, 3);
  Rows book = kBook;
  book.reads = 0;
  EXPECT_EQ(SearchList(book, 4, 3, "second", down, memory).outcome,
            SearchResult::Outcome::NotFound);
  EXPECT_EQ(book.reads, 0);
  // Upwards from row 0 after a match there: nothing either.
  FindOptions up;
  up.down = false;
  ASSERT_EQ(SearchList(kBook, 4, 0, "first", up, memory).row, 0);
  EXPECT_EQ(SearchList(book, 4, 0, "first", up, memory).outcome, SearchResult::Outcome::NotFound);
  EXPECT_EQ(book.reads, 0);
}

TEST(BalloonLayout, FitAndPlacement) {
  EXPECT_TRUE(TextFitsCell(88, 100, 6));
  EXPECT_FALSE(TextFitsCell(89, 100, 6));
  const PixelRect screen{0, 0, 1024, 768};
  struct Case {
    PixelRect cell;
    int text_width;
    int text_height;
    PixelRect expected;
  };
  const Case cases[] = {
      // Room enough: the text starts where the cell's does.
      {{100, 200, 180, 216}, 300, 13, {99, 200, 405, 215}},
      // Past the right edge: moved left just enough.
      {{900, 200, 980, 216}, 300, 13, {718, 200, 1024, 215}},
      // Past the bottom edge: moved up.
      {{100, 760, 180, 776}, 50, 13, {99, 753, 155, 768}},
      // Left of the screen (a list scrolled off to the left).
      {{-40, 10, 30, 26}, 50, 13, {0, 10, 56, 25}},
      // Wider than the screen: the left edge wins.
      {{100, 10, 130, 26}, 2000, 13, {0, 10, 2006, 25}},
  };
  for (const Case& c : cases) {
    const PixelRect r = PlaceBalloon(c.cell, c.text_width, c.text_height, screen);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
  // A text wrapped to the widest line fits on the screen.
  const int widest = MaxBalloonTextWidth(screen);
  const PixelRect r = PlaceBalloon({900, 10, 950, 26}, widest, 40, screen);
  EXPECT_GE(r.left, screen.left);
  EXPECT_LE(r.right, screen.right);
  // On a multi-monitor desktop the screen may start left of zero.
  const PixelRect second{-1280, 0, 0, 1024};
  const PixelRect s = PlaceBalloon({-100, 50, -20, 66}, 300, 13, second);
  EXPECT_EQ(s.right, 0);
  EXPECT_EQ(s.left, -306);
}

TEST(BalloonLayout, FindDialogBesideTheListDialog) {
  const PixelRect screen{0, 0, 1024, 740};
  struct Case {
    PixelRect avoid;
    std::optional<PixelRect> expected;
  };
  const Case cases[] = {
      // Room below: there, left edges aligned.
      {{100, 100, 600, 400}, PixelRect{100, 400, 590, 526}},
      // Aligned left edge would leave the screen: moved in.
      {{700, 100, 1000, 400}, PixelRect{534, 400, 1024, 526}},
      // No room below: above.
      {{100, 300, 600, 700}, PixelRect{100, 174, 590, 300}},
      // Neither below nor above: to the right.
      {{0, 100, 500, 650}, PixelRect{500, 100, 990, 226}},
      // Only left of it.
      {{520, 100, 1024, 650}, PixelRect{30, 100, 520, 226}},
      // Covering the screen: nowhere.
      {{0, 0, 1024, 740}, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto r = PlaceOutside(c.avoid, 490, 126, screen);
    ASSERT_EQ(r.has_value(), c.expected.has_value());
    if (!r) continue;
    EXPECT_EQ(r->left, c.expected->left);
    EXPECT_EQ(r->top, c.expected->top);
    EXPECT_EQ(r->right, c.expected->right);
    EXPECT_EQ(r->bottom, c.expected->bottom);
  }
}

TEST(ScreenPrivacy, AffinitiesBestFirstAndNoneWhenOff) {
  EXPECT_EQ(AffinitiesToTry(true),
            (std::vector<std::uint32_t>{kAffinityExcludeFromCapture, kAffinityMonitor}));
  EXPECT_TRUE(AffinitiesToTry(false).empty());
}

TEST(AnchoredLayout, EdgesKeepTheirDistanceToTheSidesTheyAreAnchoredTo) {
  const ControlRect start{10, 20, 110, 60};
  const struct {
    const char* name;
    unsigned edges;
    ControlRect grown;  // dialog 30 wider, 40 taller
  } rows[] = {
      {"top left: stays", kAnchorLeft | kAnchorTop, {10, 20, 110, 60}},
      {"all four: stretches both ways", kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
       {10, 20, 140, 100}},
      {"right and bottom only: moves", kAnchorRight | kAnchorBottom, {40, 60, 140, 100}},
      {"left, top, right: widens", kAnchorLeft | kAnchorTop | kAnchorRight, {10, 20, 140, 60}},
      {"right and top: moves sideways", kAnchorRight | kAnchorTop, {40, 20, 140, 60}},
      {"nothing: stays", 0, {10, 20, 110, 60}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(AnchoredRect(start, row.edges, 30, 40), row.grown);
    // Back to the first size gives the first place again.
    EXPECT_EQ(AnchoredRect(row.grown, row.edges, -30, -40), start);
  }
}

}  // namespace
}  // namespace qvx::win32ui
