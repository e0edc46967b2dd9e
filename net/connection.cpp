// Opening and closing client connections.
#include "net/connection.h"

#include "base/heap.h"
#include "net/clock.h"
#include "net/connection_record.h"
#include "net/socket_wait.h"
#include "net/tls_stream.h"

namespace {

// How long a connect may wait for the peer's answer: about what the
// platform's own blocking connect gives up after on Windows (three SYNs).
constexpr uint64_t CONNECT_TIMEOUT_MS = 21000;

// The first IPv4 address of a dotted address or a host name; INADDR_NONE
// when there is none. A literal "255.255.255.255" reads as INADDR_NONE and
// goes through name resolution like any name.
//
// gethostbyname is the one wait of a download that cannot be sliced: Windows
// Sockets 1.1 has no way to resolve a name without blocking (its
// asynchronous lookup answers with a window message, which this layer must
// know nothing of), so the wait hook cannot run while a name resolves. It
// runs once just before instead: what the caller has to show (the log's
// "Started download...") is shown before a lookup that may take seconds. A
// dotted address needs no lookup, and the hook's first turn comes with the
// first wait that lasts.
unsigned long resolve_address(ConnectionRecord* connection, const char* host) {
  const unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) return dotted;
  run_hook_now(connection);
  const hostent* entry = gethostbyname(host);
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return INADDR_NONE;
  in_addr first;
  __builtin_memcpy(&first, entry->h_addr_list[0], sizeof first);
  return first.s_addr;
}

// Connects the non-blocking socket of connection, waiting in slices.
bool connect_in_slices(ConnectionRecord* connection, const sockaddr_in& address) {
  if (connect(connection->socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
  const uint64_t deadline = monotonic_milliseconds() + CONNECT_TIMEOUT_MS;
  for (;;) {
    switch (wait_on_socket(connection, Direction::CONNECT, deadline)) {
      case SocketWait::READY: {
        int error = 0;
        int length = sizeof error;
        if (getsockopt(connection->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
          return false;
        }
        return error == 0;
      }
      case SocketWait::BROKEN:
        return false;
      case SocketWait::PENDING:
        if (monotonic_milliseconds() >= deadline) return false;
        break;
    }
  }
}

}  // namespace

ConnectionRecord* open_connection(const char* host, uint16_t port, WaitHook hook) {
  if (!host) return nullptr;
  const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return nullptr;
  auto* record = static_cast<ConnectionRecord*>(allocate_memory(sizeof(ConnectionRecord)));
  if (!record) {
    closesocket(handle);
    return nullptr;
  }
  record->kind = CONNECTION_STREAM;
  record->socket = handle;
  record->hook = hook;
  record->hook_due = monotonic_milliseconds() + WAIT_HOOK_PERIOD_MS;
  record->tls = nullptr;

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = resolve_address(record, host);
  // The socket never blocks, from the connect on: every wait is a select of
  // at most one slice, and a receive tries its recv first and waits only
  // when nothing is there, so a steady stream costs one socket call per
  // piece.
  u_long non_blocking = 1;
  if (address.sin_addr.s_addr == INADDR_NONE || ioctlsocket(handle, FIONBIO, &non_blocking) == SOCKET_ERROR ||
      !connect_in_slices(record, address)) {
    close_connection(record);
    return nullptr;
  }
  return record;
}

void close_connection(ConnectionRecord* connection) {
  if (!connection) return;
  free_tls_channel(connection->tls);
  closesocket(connection->socket);
  free_memory(connection);
}
