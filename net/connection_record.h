#pragma once
// The layout of a connection, for the net library and its tests only; every
// other caller holds the record as an opaque pointer.
#include <winsock.h>

#include <cstdint>

#include "net/wait_hook.h"

constexpr int32_t CONNECTION_STREAM = 1;

struct TlsChannel;

struct ConnectionRecord {
  int32_t kind;  // CONNECTION_STREAM: the only kind this system creates
  SOCKET socket;
  WaitHook hook;       // run between the slices of every wait
  uint64_t hook_due;   // monotonic time at which the hook is next owed
  bool stopped;        // the hook said stop: every wait from now on ends at once
  TlsChannel* tls;     // the TLS session from start_tls on (net/tls.h); null: plain TCP
};
