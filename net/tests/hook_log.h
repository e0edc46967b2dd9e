#pragma once
// A wait hook for tests: records when it ran, may do one thing of the
// test's own on each turn, and answers stop once go_on is false.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "net/clock.h"
#include "net/wait_hook.h"
#include "tests/time_scale.h"

// The longest a test lets the hook go without a turn, on a loaded machine:
// each wait slice is at most WAIT_HOOK_PERIOD_MS, but a thread that wakes
// from one may wait its turn on a busy core (321 ms was seen with one core
// busy and the other running the tests). A wait without turns that lasts a
// second or more is still told apart.
inline uint64_t hook_gap_budget_ms() { return scaled_ms(500); }

struct HookLog {
  std::vector<uint64_t> times;
  std::function<void()> each_turn;
  bool go_on = true;

  static bool record(void* context) {
    auto* log = static_cast<HookLog*>(context);
    log->times.push_back(monotonic_milliseconds());
    if (log->each_turn) log->each_turn();
    return log->go_on;
  }
  WaitHook hook() { return {&HookLog::record, this}; }

  // The longest stretch between start, each turn and end without a turn.
  uint64_t longest_gap(uint64_t start, uint64_t end) const {
    uint64_t longest = 0, last = start;
    for (uint64_t t : times) {
      longest = std::max(longest, t - last);
      last = t;
    }
    return std::max(longest, end - last);
  }
};
