#pragma once
// Clocks. current_time is the local wall clock in seconds, kept for callers
// that want a calendar reading; every wait of this system is measured on
// monotonic_milliseconds instead, so that no change of the wall clock (or
// its end in 2038) can shorten or stretch a time-out.
#include <cstdint>

// Milliseconds since an arbitrary start; never goes back, never wraps.
uint64_t monotonic_milliseconds();

// The local wall-clock time as seconds since 1970-01-01 00:00:00 of the local
// clock. Past 2038-01-19 the count runs on modulo 2^32, so a difference of two
// readings (taken as a 32-bit difference) stays right.
int32_t current_time();

// A local date and time as seconds in the count of current_time; -1 for a
// date that does not exist. Dates past 2038-01-19 wrap as current_time does.
int32_t date_seconds(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
