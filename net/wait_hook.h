#pragma once
// Something a caller of a network wait wants done while the wait lasts, and
// its say in whether the wait goes on: a download's caller hands one in to
// report progress and to hear a Stop. The network and HTTP layers only call
// it; they know nothing of what it does.
//
// Every wait on a connection (connect, send, receive) runs in slices of at
// most WAIT_HOOK_PERIOD_MS and calls the routine between them, and a steady
// stream that never waits still calls it at that pace between pieces; a
// name lookup, the one wait that cannot be sliced, has it called just
// before and just after. The routine runs on the waiting thread and must not
// use the connection.
//
// When the routine answers false, the wait it interrupted ends as stopped,
// and so does every later wait on the same connection: a stop is final.
#include <cstdint>

struct WaitHook {
  bool (*routine)(void* context) = nullptr;  // false: stop
  void* context = nullptr;
};

constexpr uint64_t WAIT_HOOK_PERIOD_MS = 100;
