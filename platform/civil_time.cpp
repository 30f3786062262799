// Conversions between broken-down wall-clock time and FILETIME counts.
#include "platform/system.h"

namespace qvx {

namespace {

constexpr std::int64_t kDays1601To1970 = 134774;
constexpr std::uint64_t kTicksPerMs = 10000;
constexpr std::uint64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

}  // namespace

FileTime CivilToFileTime(const CivilTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                          static_cast<unsigned>(t.day)) + kDays1601To1970;
  const std::uint64_t ms = static_cast<std::uint64_t>(days) * kMsPerDay +
                           static_cast<std::uint64_t>(t.hour) * 3600000u +
                           static_cast<std::uint64_t>(t.minute) * 60000u +
                           static_cast<std::uint64_t>(t.second) * 1000u +
                           static_cast<std::uint64_t>(t.millisecond);
  return ms * kTicksPerMs;
}

CivilTime FileTimeToCivil(FileTime t) {
  const std::uint64_t ms = t / kTicksPerMs;
  const std::uint64_t days = ms / kMsPerDay;
  std::uint64_t rest = ms % kMsPerDay;
  CivilTime c;
  CivilFromDays(static_cast<std::int64_t>(days) - kDays1601To1970, c.year, c.month, c.day);
  c.hour = static_cast<int>(rest / 3600000u);
  rest %= 3600000u;
  c.minute = static_cast<int>(rest / 60000u);
  rest %= 60000u;
  c.second = static_cast<int>(rest / 1000u);
  c.millisecond = static_cast<int>(rest % 1000u);
  return c;
}

}  // namespace qvx
