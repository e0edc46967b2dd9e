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
// as if it were universal time.
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

TEST(CurrentTime, ReadsTheLocalClock) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const int32_t now = current_time();
  const int32_t reference =
      date_seconds(before.wYear, before.wMonth, before.wDay, before.wHour, before.wMinute, before.wSecond);
  EXPECT_GE(now, reference);
  EXPECT_LE(now - reference, 2);
}

TEST(MonotonicClock, AdvancesWithSleep) {
  const uint64_t start = monotonic_milliseconds();
  Sleep(120);
  const uint64_t elapsed = monotonic_milliseconds() - start;
  EXPECT_GE(elapsed, 100u);
  EXPECT_LT(elapsed, 2000u);
}

}  // namespace
