#pragma once
// A wait hook for tests: records when it ran, may do one thing of the
// test's own on each turn, and answers stop once go_on is false.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "net/clock.h"
#include "net/wait_hook.h"

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
