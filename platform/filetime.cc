// FILETIME arithmetic that needs no operating system.
#include "platform/system.h"

namespace korvane {
namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

// Civil date from days since 1970-01-01 (proleptic Gregorian).
SystemDate DateFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  SystemDate date;
  date.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

}  // namespace

SystemDate FileTimeToSystemDate(uint64_t fileTime) {
  const int64_t seconds = static_cast<int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  return DateFromDays(days);
}

uint64_t FileTimeFromUnixSeconds(int64_t seconds) {
  const int64_t since1601 = seconds + kSecondsFrom1601To1970;
  return since1601 < 0 ? 0 : static_cast<uint64_t>(since1601) * kTicksPerSecond;
}

}  // namespace korvane
