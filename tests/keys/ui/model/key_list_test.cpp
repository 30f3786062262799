// The key lists' rules: column widths, the creation time text in both day
// orders and with damaged formats, the cells of a row, sorting, and the lines
// of the key file properties window.
#include <gtest/gtest.h>

#include "keys/ui/model/key_list.h"

namespace qvx::keys::ui {
namespace {

FileTime At(int year, int month, int day, int hour, int minute, int second) {
  CivilTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return CivilToFileTime(t);
}

KeyFileHeader Header(std::string owner, unsigned bits, FileTime created, std::string note,
                     std::uint32_t flags = KeyFileHeader::kFlagPublicFile) {
  KeyFileHeader h;
  h.owner = std::move(owner);
  h.bits = bits;
  h.created = created;
  h.note = std::move(note);
  h.flags = flags;
  return h;
}

TEST(KeyList, ColumnWidthsShareTheClientWidth) {
  for (int width : {500, 537, 1000}) {
    int total = 0;
    for (std::size_t c = 0; c < kKeyColumnCount; ++c) total += KeyColumnWidth(c, width);
    EXPECT_EQ(total, 5 * (width / 5)) << width;
  }
  EXPECT_EQ(KeyColumnWidth(0, 500), 125);
  EXPECT_EQ(KeyColumnWidth(1, 500), 58);
  EXPECT_EQ(KeyColumnWidth(2, 500), 120);
  EXPECT_EQ(KeyColumnWidth(3, 500), 57);
  EXPECT_EQ(KeyColumnWidth(4, 500), 140);
  // A list too narrow for the adjustments gets no negative widths.
  EXPECT_EQ(KeyColumnWidth(3, 100), 0);
  EXPECT_EQ(KeyColumnWidth(5, 500), 0);
  EXPECT_EQ(KeyColumns()[2].title, Msg::ColumnCreationTime);
}

TEST(KeyList, CreationTimeInBothDayOrders) {
  const FileTime t = At(2024, 3, 7, 9, 5, 2);
  const std::string format = MessageText(Msg::TimeFormat);
  EXPECT_EQ(FormatKeyTime(t, format, false), "03.07.2024  09:05:02");
  EXPECT_EQ(FormatKeyTime(t, format, true), "07.03.2024  09:05:02");
  EXPECT_FALSE(DayFirstFromText(MessageText(Msg::DayFirst)));
  EXPECT_TRUE(DayFirstFromText("1"));
  EXPECT_TRUE(DayFirstFromText(""));
  EXPECT_EQ(FormatKeyTime(At(1601, 1, 1, 0, 0, 0), format, false), "01.01.1601  00:00:00");
  EXPECT_EQ(FormatKeyTime(At(2099, 12, 31, 23, 59, 59), format, true), "31.12.2099  23:59:59");
}

TEST(KeyList, TimeFormatsOtherThanTheShippedOneAreSafe) {
  const FileTime t = At(2024, 3, 7, 9, 5, 2);
  const struct {
    const char* format;
    const char* expected;
  } cases[] = {
      {"%d/%d/%d", "3/7/2024"},
      {"%4d|%-4d|", "   3|7   |"},
      {"100%% %02d", "100% 03"},
      // More conversions than numbers, and conversions that are not numbers,
      // are printed as they stand instead of reading beyond the six values.
      {"%d %d %d %d %d %d %d", "3 7 2024 9 5 2 %d"},
      {"%s %x %n %", "%s %x %n %"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatKeyTime(t, c.format, false), c.expected) << c.format;
}

TEST(KeyList, CellsFollowTheListKind) {
  const KeyFileHeader h = Header("Alice", 1024, At(2024, 1, 2, 3, 4, 5), "note", 0);
  KeyListTexts texts;
  EXPECT_EQ(KeyCells(h, KeyKind::Mine, texts),
            (KeyRowCells{"Alice", "1024", "01.02.2024  03:04:05", "My key", "note"}));
  EXPECT_EQ(KeyCells(h, KeyKind::Other, texts)[3], "Other key");
}

TEST(KeyList, SortingByEachColumn) {
  const FileTime early = At(2020, 5, 1, 0, 0, 0);
  const FileTime late = At(2021, 1, 1, 0, 0, 0);
  std::vector<KeyEntry> keys(4);
  keys[0].header = Header("carol", 2048, late, "b");
  keys[1].header = Header("Alice", 1024, late + 1, "C");
  keys[2].header = Header("bob", 1536, early, "a");
  keys[3].header = Header("alice", 1024, early, "B");
  auto owners = [&] {
    std::string out;
    for (const auto& k : keys) out += k.header.owner + " ";
    return out;
  };
  SortKeys(keys, KeyColumn::Type);
  EXPECT_EQ(owners(), "carol Alice bob alice ");
  SortKeys(keys, KeyColumn::Owner);
  EXPECT_EQ(owners(), "Alice alice bob carol ");  // equal names keep their order
  SortKeys(keys, KeyColumn::Created);
  EXPECT_EQ(owners(), "alice bob carol Alice ");
  SortKeys(keys, KeyColumn::Length);
  EXPECT_EQ(owners(), "alice Alice bob carol ");
  SortKeys(keys, KeyColumn::Note);
  EXPECT_EQ(owners(), "bob alice carol Alice ");
  // Sorting again by the same column changes nothing: there is no descending order.
  SortKeys(keys, KeyColumn::Note);
  EXPECT_EQ(owners(), "bob alice carol Alice ");
  // The text order can be the system's.
  SortKeys(keys, KeyColumn::Owner,
           [](const std::string& a, const std::string& b) { return b.compare(a); });
  EXPECT_EQ(owners(), "carol bob alice Alice ");
}

TEST(KeyList, CompareIgnoringCaseIsAnOrder) {
  EXPECT_EQ(CompareIgnoringCase("abc", "ABC"), 0);
  EXPECT_LT(CompareIgnoringCase("ab", "abc"), 0);
  EXPECT_GT(CompareIgnoringCase("b", "A"), 0);
  EXPECT_LT(CompareIgnoringCase("", "a"), 0);
}

TEST(KeyList, PropertyLines) {
  KeyPropertyTexts texts;
  const FileTime t = At(2023, 11, 30, 18, 0, 59);
  const struct {
    std::uint32_t flags;
    bool mine;
    const char* type;
  } cases[] = {
      {KeyFileHeader::kFlagPublicFile, false, "Type : Other key ( Public key )"},
      {KeyFileHeader::kFlagPublicFile | KeyFileHeader::kFlagProtected, true,
       "Type : My key ( Public key )"},
      {0, true, "Type : My key ( Privat key )"},
      {KeyFileHeader::kFlagProtected, false, "Type : Other key ( Privat key )"},
  };
  for (const auto& c : cases) {
    const KeyPropertyLines lines = KeyProperties(Header("Zoe & co", 1536, t, "", c.flags), c.mine, texts);
    EXPECT_EQ(lines.owner, "Owner : Zoe & co");
    EXPECT_EQ(lines.length, "Length : 1536");
    EXPECT_EQ(lines.created, "Creation time : 11.30.2023  18:00:59");
    EXPECT_EQ(lines.type, c.type);
    EXPECT_EQ(lines.note, "Note : ");
    EXPECT_EQ(lines.fingerprint, "");  // none given: the file did not pass its checks
  }
  KeyFingerprint fingerprint{};
  for (std::size_t i = 0; i < fingerprint.size(); ++i) fingerprint[i] = static_cast<std::uint8_t>(i * 9);
  texts.fingerprint_title = "Fingerabdruck";
  const KeyPropertyLines lines =
      KeyProperties(Header("Zoe", 2048, t, "", KeyFileHeader::kFlagPublicFile), false, texts, fingerprint);
  EXPECT_EQ(lines.fingerprint,
            "Fingerabdruck :\n0009 121B 242D 363F 4851 5A63 6C75 7E87\n9099 A2AB B4BD C6CF D8E1 EAF3 FC05 0E17");
}

}  // namespace
}  // namespace qvx::keys::ui
