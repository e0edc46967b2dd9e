#pragma once
// Something a caller of a network wait wants done while the wait lasts: the
// window's thread hands one in to answer the messages sent to it and to
// repaint, so a long download never leaves its window dead. The network and
// HTTP layers only call it; they know nothing of what it does.
//
// Every wait on a connection (connect, send, receive) runs in slices of at
// most WAIT_HOOK_PERIOD_MS and calls the routine between them, and a steady
// stream that never waits still calls it at that pace between pieces; a
// name lookup, the one wait that cannot be sliced, has it called once just
// before. The routine runs on the waiting thread and must not use the
// connection.
#include <cstdint>

struct WaitHook {
  void (*routine)(void* context) = nullptr;
  void* context = nullptr;
};

constexpr uint64_t WAIT_HOOK_PERIOD_MS = 100;
