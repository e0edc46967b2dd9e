// Opening and closing client connections.
#include "net/connection.h"

#include "base/heap.h"
#include "net/clock.h"
#include "net/connection_record.h"
#include "net/socket_wait.h"
#include "net/tls_stream.h"

namespace {

ConnectResult failed(ConnectFailure failure, int32_t error = 0) { return {nullptr, failure, error}; }

// The first IPv4 address of a dotted address or a host name; INADDR_NONE
// when there is none (the platform's error in *error). A literal
// "255.255.255.255" reads as INADDR_NONE and goes through name resolution
// like any name.
//
// gethostbyname is the one wait of a download that cannot be sliced: Windows
// Sockets 1.1 has no way to resolve a name without blocking (its
// asynchronous lookup answers with a window message, which this layer must
// know nothing of), so the wait hook cannot run while a name resolves. It
// runs just before instead, so that what the caller has to show is shown
// before a lookup that may take seconds, and just after, so that a stop
// asked for during the lookup acts the moment it returns. A dotted address
// needs no lookup, and the hook's first turn comes with the first wait that
// lasts.
unsigned long resolve_address(ConnectionRecord* connection, const char* host, int32_t* error) {
  const unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) return dotted;
  if (!run_hook_now(connection)) return INADDR_NONE;
  const hostent* entry = gethostbyname(host);
  *error = entry ? WSANO_DATA : WSAGetLastError();
  if (!run_hook_now(connection)) return INADDR_NONE;
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return INADDR_NONE;
  *error = 0;
  in_addr first;
  __builtin_memcpy(&first, entry->h_addr_list[0], sizeof first);
  return first.s_addr;
}

ConnectResult refused_or_failed(int32_t error) {
  return failed(error == WSAECONNREFUSED ? ConnectFailure::REFUSED : ConnectFailure::FAILED, error);
}

// What a finished connect left on the socket: 0, or why it failed.
int32_t connect_error(SOCKET socket) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return WSAGetLastError();
  }
  return error;
}

// Connects the non-blocking socket of connection, waiting in slices.
ConnectResult connect_in_slices(ConnectionRecord* connection, const sockaddr_in& address) {
  if (connect(connection->socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return {connection, ConnectFailure::NONE, 0};
  }
  if (const int32_t error = WSAGetLastError(); error != WSAEWOULDBLOCK) return refused_or_failed(error);
  const uint64_t deadline = monotonic_milliseconds() + CONNECT_TIMEOUT_MS;
  for (;;) {
    switch (wait_on_socket(connection, Direction::CONNECT, deadline)) {
      case SocketWait::READY:
      case SocketWait::BROKEN:
        // A refused connect shows in the exception set; either way the
        // socket's own error says how it went.
        if (const int32_t error = connect_error(connection->socket); error != 0) return refused_or_failed(error);
        return {connection, ConnectFailure::NONE, 0};
      case SocketWait::STOPPED:
        return failed(ConnectFailure::STOPPED);
      case SocketWait::PENDING:
        if (monotonic_milliseconds() >= deadline) return failed(ConnectFailure::TIMED_OUT, WSAETIMEDOUT);
        break;
    }
  }
}

// Resolves host and connects record's socket to it.
ConnectResult open_record(ConnectionRecord* record, const char* host, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  int32_t error = 0;
  address.sin_addr.s_addr = resolve_address(record, host, &error);
  if (record->stopped) return failed(ConnectFailure::STOPPED);
  if (address.sin_addr.s_addr == INADDR_NONE) return failed(ConnectFailure::NO_SUCH_HOST, error);
  // The socket never blocks, from the connect on: every wait is a select of
  // at most one slice, and a receive tries its recv first and waits only
  // when nothing is there, so a steady stream costs one socket call per
  // piece.
  u_long non_blocking = 1;
  if (ioctlsocket(record->socket, FIONBIO, &non_blocking) == SOCKET_ERROR) {
    return failed(ConnectFailure::FAILED, WSAGetLastError());
  }
  return connect_in_slices(record, address);
}

}  // namespace

ConnectResult connect_to_host(const char* host, uint16_t port, WaitHook hook) {
  if (!host) return failed(ConnectFailure::NO_SUCH_HOST);
  const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return failed(ConnectFailure::FAILED, WSAGetLastError());
  auto* record = static_cast<ConnectionRecord*>(allocate_memory(sizeof(ConnectionRecord)));
  if (!record) {
    closesocket(handle);
    return failed(ConnectFailure::FAILED, WSAENOBUFS);
  }
  record->kind = CONNECTION_STREAM;
  record->socket = handle;
  record->hook = hook;
  record->hook_due = monotonic_milliseconds() + WAIT_HOOK_PERIOD_MS;
  record->stopped = false;
  record->tls = nullptr;

  ConnectResult result = open_record(record, host, port);
  if (result.failure != ConnectFailure::NONE) close_connection(record);
  return result;
}

ConnectionRecord* open_connection(const char* host, uint16_t port, WaitHook hook) {
  return connect_to_host(host, port, hook).connection;
}

void close_connection(ConnectionRecord* connection) {
  if (!connection) return;
  free_tls_channel(connection->tls);
  closesocket(connection->socket);
  free_memory(connection);
}
