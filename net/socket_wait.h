#pragma once
// The one way this library waits on a socket: select in slices of at most
// WAIT_HOOK_PERIOD_MS, the connection's wait hook run whenever it is owed.
#include <cstdint>

struct ConnectionRecord;

enum class SocketWait : uint8_t {
  READY,    // the socket can move bytes (or has an error the next call reports)
  PENDING,  // the slice ended first; wait again if the deadline allows
  BROKEN,   // select failed, or a connect was refused
  STOPPED,  // the hook said stop, now or before
};

enum class Direction : uint8_t { READ, WRITE, CONNECT };

// One slice: waits until the socket is ready in direction, the deadline or
// the hook's next turn, whichever comes first; then runs the hook if owed.
SocketWait wait_on_socket(ConnectionRecord* connection, Direction direction, uint64_t deadline);

// Runs the hook when its period has passed: a stream that never waits
// still gives the caller its turn between pieces. False once the hook has
// said stop.
bool run_hook_if_due(ConnectionRecord* connection);

// Runs the hook now, around a wait that cannot be sliced; its next turn is
// a period later. False once the hook has said stop.
bool run_hook_now(ConnectionRecord* connection);
