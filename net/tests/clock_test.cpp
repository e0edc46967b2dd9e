#include <windows.h>

#include <gtest/gtest.h>

#include "base/tests/runtime_fixture.h"
#include "net/clock.h"

namespace {

struct DateCase {
  int32_t year, month, day, hour, minute, second;
  int32_t expected;  // -1: no such date; otherwise the count of the local clock
};

// The values assume nothing about the zone: the count is the local clock read
// as if it were universal time, so each is the universal count of the same
// reading.
TEST(DateSeconds, Table) {
  const DateCase cases[] = {
      {1970, 1, 1, 0, 0, 0, 0},
      {1970, 1, 1, 23, 59, 59, 86399},
      {1970, 1, 2, 0, 0, 0, 86400},
      {2009, 2, 13, 23, 31, 30, 1234567890},
      {2000, 2, 29, 0, 0, 0, 951782400},  // divisible by 400: a leap year
      {2004, 2, 29, 12, 0, 0, 1078056000},
      {2001, 2, 29, 0, 0, 0, -1},
      {1900, 2, 29, 0, 0, 0, -1},  // divisible by 100 only
      {3600, 2, 29, 0, 0, 0, -1},
      {2001, 4, 31, 0, 0, 0, -1},
      {2001, 11, 31, 0, 0, 0, -1},
      {2001, 2, 30, 0, 0, 0, -1},
      {2001, 1, 32, 0, 0, 0, -1},
      {2001, 1, 0, 0, 0, 0, -1},
      {2001, 13, 1, 0, 0, 0, -1},
      {2001, 0, 1, 0, 0, 0, -1},
      {0, 1, 1, 0, 0, 0, -1},
      {2001, 1, 1, 24, 0, 0, -1},
      {2001, 1, 1, 0, 60, 0, -1},
      {2001, 1, 1, 0, 0, 60, -1},
      // Where the zone moves its clocks (CTest runs this table under such
      // zones too), the count still follows the wall clock's own reading: a
      // summer date, the hour the spring change skips, the hour the autumn
      // change repeats, and either side of the epoch.
      {2021, 7, 1, 12, 0, 0, 1625140800},
      {2021, 3, 14, 1, 30, 0, 1615685400},
      {2021, 3, 14, 2, 30, 0, 1615689000},
      {2021, 11, 7, 1, 30, 0, 1636248600},
      {1969, 12, 31, 23, 0, 0, -3600},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(date_seconds(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected)
        << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute << ":" << c.second;
  }
}

// Past 2038-01-19 03:14:07 the count no longer fits 32 bits; it runs on
// modulo 2^32 so that differences, the only use of these values, stay right,
// also across the platform calendar's last year.
TEST(DateSeconds, DifferencesStayRightPast2038) {
  auto difference = [](int32_t later, int32_t earlier) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
  };
  EXPECT_EQ(difference(date_seconds(2038, 1, 19, 3, 14, 10), date_seconds(2038, 1, 19, 3, 14, 5)), 5);
  EXPECT_EQ(difference(date_seconds(2100, 1, 1, 0, 0, 0), date_seconds(2099, 12, 31, 23, 59, 0)), 60);
  EXPECT_EQ(difference(date_seconds(3001, 1, 1, 0, 0, 1), date_seconds(3000, 12, 31, 23, 59, 59)), 2);
  EXPECT_EQ(difference(date_seconds(5000, 3, 1, 0, 0, 0), date_seconds(5000, 2, 28, 0, 0, 0)), 86400);
}

// Seconds since 1970 of universal time, counted from the system clock's
// 100-nanosecond ticks since 1601 by plain arithmetic.
int64_t universal_seconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr int64_t SECONDS_1601_TO_1970 = 11644473600;
  return static_cast<int64_t>(ticks / 10000000) - SECONDS_1601_TO_1970;
}

// How far the local wall clock is ahead of universal time right now, in
// seconds, from the platform's zone record rather than the C runtime's
// calendar that current_time goes through.
int64_t zone_offset_now() {
  TIME_ZONE_INFORMATION zone;
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  else if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  return -static_cast<int64_t>(bias) * 60;
}

// The count is the local wall clock read as if it were universal time: the
// universal time plus the zone's offset. The CTest runs of this test under
// zones west of Greenwich and with half-hour offsets make this more than 0 = 0.
TEST(CurrentTime, IsUniversalTimePlusTheZoneOffset) {
  const int64_t before = universal_seconds() + zone_offset_now();
  const int64_t now = current_time();
  const int64_t after = universal_seconds() + zone_offset_now();
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
}

TEST(MonotonicClock, AdvancesWithSleep) {
  const uint64_t start = monotonic_milliseconds();
  Sleep(120);
  const uint64_t elapsed = monotonic_milliseconds() - start;
  EXPECT_GE(elapsed, 100u);
  EXPECT_LT(elapsed, 2000u);
}

}  // namespace
