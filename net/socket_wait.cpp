#include "net/socket_wait.h"

#include <winsock.h>

#include <algorithm>

#include "net/clock.h"
#include "net/connection_record.h"

bool run_hook_now(ConnectionRecord* connection) {
  if (connection->stopped) return false;
  if (!connection->hook.routine) return true;
  if (!connection->hook.routine(connection->hook.context)) connection->stopped = true;
  // Counted from the end of the routine, so a slow routine never leaves the
  // next slice with no time at all.
  connection->hook_due = monotonic_milliseconds() + WAIT_HOOK_PERIOD_MS;
  return !connection->stopped;
}

bool run_hook_if_due(ConnectionRecord* connection) {
  if (connection->hook.routine && monotonic_milliseconds() >= connection->hook_due) return run_hook_now(connection);
  return !connection->stopped;
}

SocketWait wait_on_socket(ConnectionRecord* connection, Direction direction, uint64_t deadline) {
  if (connection->stopped) return SocketWait::STOPPED;
  const uint64_t now = monotonic_milliseconds();
  uint64_t end = std::min(deadline, now + WAIT_HOOK_PERIOD_MS);
  if (connection->hook.routine) end = std::min(end, std::max(connection->hook_due, now));
  const uint64_t slice = end > now ? end - now : 0;

  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(connection->socket, &ready);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(connection->socket, &failed);
  timeval limit;
  limit.tv_sec = 0;
  limit.tv_usec = static_cast<long>(slice * 1000);
  int count = SOCKET_ERROR;
  switch (direction) {
    case Direction::READ:
      count = select(0, &ready, nullptr, nullptr, &limit);
      break;
    case Direction::WRITE:
      count = select(0, nullptr, &ready, nullptr, &limit);
      break;
    case Direction::CONNECT:
      // A connect that fails is reported in the exception set, not as
      // writable.
      count = select(0, nullptr, &ready, &failed, &limit);
      break;
  }
  if (!run_hook_if_due(connection)) return SocketWait::STOPPED;
  if (count == SOCKET_ERROR) return SocketWait::BROKEN;
  if (direction == Direction::CONNECT && FD_ISSET(connection->socket, &failed)) return SocketWait::BROKEN;
  return count > 0 ? SocketWait::READY : SocketWait::PENDING;
}
