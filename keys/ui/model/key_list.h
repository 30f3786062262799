// What the key lists show, without Win32: the five columns and their widths,
// the cells of a row, the creation time text, sorting by a column, and the
// lines of the key file properties window. The dialogs in keys/ui draw these.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_identity.h"
#include "keys/key_store.h"
#include "platform/system.h"
#include "qvx/strings.h"

namespace qvx::keys::ui {

enum class KeyColumn { Owner, Length, Created, Type, Note };
inline constexpr std::size_t kKeyColumnCount = 5;

struct KeyColumnLayout {
  Msg title;
  // Added to a fifth of the list's client width; the five add up to zero.
  int width_adjust;
};

// The columns in display order.
const std::array<KeyColumnLayout, kKeyColumnCount>& KeyColumns();

// Width of a column in a list whose client area is that wide.
int KeyColumnWidth(std::size_t column, int client_width);

// The texts a list takes from the string table.
struct KeyListTexts {
  std::string timeFormat = "%02d.%02d.%04d  %02d:%02d:%02d";
  // Day before month; the table's "0" (as shipped) puts the month first.
  bool day_first = false;
  std::string my_key = "My key";
  std::string other_key = "Other key";
};

// Reads the day-order setting of the string table: anything but "0" puts the
// day first.
bool DayFirstFromText(std::string_view text);

// A creation time (local FILETIME count) through a format of six integer
// conversions: month, day, year, hour, minute, second, or day first. Only
// "%d" conversions with flags and widths, and "%%", are understood; anything
// else is copied as it stands, so a damaged format can never read past the
// six numbers.
std::string FormatKeyTime(FileTime time, std::string_view format, bool day_first);

using KeyRowCells = std::array<std::string, kKeyColumnCount>;

// The cells of one key. The type column follows the list's kind, not the
// header.
KeyRowCells KeyCells(const KeyFileHeader& header, KeyKind list_kind, const KeyListTexts& texts);

// Text order for the owner and note columns (the tray program passes the
// system's case-insensitive compare); negative, zero or positive.
using TextCompare = std::function<int(const std::string&, const std::string&)>;
// ASCII case-insensitive order, the default.
int CompareIgnoringCase(const std::string& a, const std::string& b);

// Order of two keys by a column: owner and note by text, length and creation
// time by value, type always equal.
int CompareKeys(const KeyFileHeader& a, const KeyFileHeader& b, KeyColumn column,
                const TextCompare& compare = CompareIgnoringCase);

// Sorts ascending by a column; keys that compare equal keep their order, so
// sorting by type changes nothing.
void SortKeys(std::vector<KeyEntry>& keys, KeyColumn column,
              const TextCompare& compare = CompareIgnoringCase);

// The five lines of the "Key File Properties" window, each "<title> : <value>".
struct KeyPropertyLines {
  std::string owner;
  std::string length;
  std::string created;
  std::string type;  // "My key ( Public key )" and the like
  std::string note;
  // "<title> :" and the fingerprint in two lines of eight groups; empty when
  // the key file did not pass its checks.
  std::string fingerprint;
};

struct KeyPropertyTexts {
  KeyListTexts list;
  std::array<std::string, kKeyColumnCount> titles = {"Owner", "Length", "Creation time", "Type",
                                                      "Note"};
  std::string private_key = "Privat key";
  std::string public_key = "Public key";
  std::string fingerprint_title = "Fingerprint";
};

// mine: the store holds the private key of this key's id.
KeyPropertyLines KeyProperties(const KeyFileHeader& header, bool mine, const KeyPropertyTexts& texts,
                               const std::optional<KeyFingerprint>& fingerprint = std::nullopt);

}  // namespace qvx::keys::ui
