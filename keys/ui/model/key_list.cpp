// The key lists' columns, cells, time text and order.
#include "keys/ui/model/key_list.h"

#include <algorithm>
#include <cctype>

namespace qvx::keys::ui {

const std::array<KeyColumnLayout, kKeyColumnCount>& KeyColumns() {
  static const std::array<KeyColumnLayout, kKeyColumnCount> columns = {{
      {Msg::ColumnOwner, 25},
      {Msg::ColumnLength, -42},
      {Msg::ColumnCreationTime, 20},
      {Msg::ColumnType, -43},
      {Msg::ColumnNote, 40},
  }};
  return columns;
}

int KeyColumnWidth(std::size_t column, int client_width) {
  if (column >= kKeyColumnCount) return 0;
  return std::max(0, client_width / 5 + KeyColumns()[column].width_adjust);
}

bool DayFirstFromText(std::string_view text) { return text != "0"; }

namespace {

// Appends a number as "%[0|-][width]d" prints it.
void AppendNumber(std::string& out, bool zero_pad, bool left_align, std::size_t width, int value) {
  const std::string sign = value < 0 ? "-" : "";
  const std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
  const std::size_t length = sign.size() + digits.size();
  const std::size_t pad = width > length ? width - length : 0;
  if (left_align) {
    out += sign + digits;
    out.append(pad, ' ');
  } else if (zero_pad) {
    out += sign;
    out.append(pad, '0');
    out += digits;
  } else {
    out.append(pad, ' ');
    out += sign + digits;
  }
}

}  // namespace

std::string FormatKeyTime(FileTime time, std::string_view format, bool day_first) {
  const CivilTime t = FileTimeToCivil(time);
  const int numbers[6] = {day_first ? t.day : t.month, day_first ? t.month : t.day, t.year,
                          t.hour, t.minute, t.second};
  std::size_t next = 0;
  std::string out;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    bool zero_pad = false;
    bool left_align = false;
    while (j < format.size() && (format[j] == '0' || format[j] == '-')) {
      (format[j] == '0' ? zero_pad : left_align) = true;
      ++j;
    }
    std::size_t width = 0;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) && width < 100) {
      width = width * 10 + static_cast<std::size_t>(format[j] - '0');
      ++j;
    }
    if (j < format.size() && format[j] == 'd' && next < 6) {
      AppendNumber(out, zero_pad, left_align, width, numbers[next++]);
      i = j + 1;
    } else {
      out += format[i++];
    }
  }
  return out;
}

KeyRowCells KeyCells(const KeyFileHeader& header, KeyKind list_kind, const KeyListTexts& texts) {
  return {header.owner, std::to_string(header.bits),
          FormatKeyTime(header.created, texts.timeFormat, texts.day_first),
          list_kind == KeyKind::Mine ? texts.my_key : texts.other_key, header.note};
}

int CompareIgnoringCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareKeys(const KeyFileHeader& a, const KeyFileHeader& b, KeyColumn column,
                const TextCompare& compare) {
  auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (column) {
    case KeyColumn::Owner:
      return compare(a.owner, b.owner);
    case KeyColumn::Length:
      return order(a.bits, b.bits);
    case KeyColumn::Created:
      return order(a.created, b.created);
    case KeyColumn::Type:
      return 0;
    case KeyColumn::Note:
      return compare(a.note, b.note);
  }
  return 0;
}

void SortKeys(std::vector<KeyEntry>& keys, KeyColumn column, const TextCompare& compare) {
  std::stable_sort(keys.begin(), keys.end(), [&](const KeyEntry& a, const KeyEntry& b) {
    return CompareKeys(a.header, b.header, column, compare) < 0;
  });
}

KeyPropertyLines KeyProperties(const KeyFileHeader& header, bool mine, const KeyPropertyTexts& texts,
                               const std::optional<KeyFingerprint>& fingerprint) {
  auto line = [&](KeyColumn column, const std::string& value) {
    return texts.titles[static_cast<std::size_t>(column)] + " : " + value;
  };
  const std::string kind = mine ? texts.list.my_key : texts.list.other_key;
  const std::string part = header.IsPublicFile() ? texts.public_key : texts.private_key;
  KeyPropertyLines lines;
  lines.owner = line(KeyColumn::Owner, header.owner);
  lines.length = line(KeyColumn::Length, std::to_string(header.bits));
  lines.created = line(KeyColumn::Created,
                       FormatKeyTime(header.created, texts.list.timeFormat, texts.list.day_first));
  lines.type = line(KeyColumn::Type, kind + " ( " + part + " )");
  lines.note = line(KeyColumn::Note, header.note);
  if (fingerprint) lines.fingerprint = texts.fingerprint_title + " :\n" + FormatFingerprint(*fingerprint, 8);
  return lines;
}

}  // namespace qvx::keys::ui
