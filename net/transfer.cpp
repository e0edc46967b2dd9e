// Sending and receiving with time-outs. Waits sit in select on the socket
// itself (at most one hook period at a time), so bytes and the peer's close
// are seen the moment they arrive, and every deadline is on the monotonic
// clock. A connection with TLS on sends and receives through its channel,
// which moves its records over the socket with the two calls below.
#include <winsock.h>

#include <cstring>

#include "net/clock.h"
#include "net/connection.h"
#include "net/connection_record.h"
#include "net/socket_transfer.h"
#include "net/socket_wait.h"
#include "net/tls_stream.h"

namespace {

uint64_t deadline_after(int32_t seconds) { return monotonic_milliseconds() + static_cast<uint64_t>(seconds) * 1000; }

}  // namespace

int32_t send_raw(ConnectionRecord* connection, const char* data, int32_t length) {
  return send(connection->socket, data, length, 0);
}

int32_t read_raw(ConnectionRecord* connection, char* buffer, int32_t size) {
  return recv(connection->socket, buffer, size, 0);
}

int32_t poll_connection(ConnectionRecord* connection) {
  u_long waiting = 0;
  if (ioctlsocket(connection->socket, FIONREAD, &waiting) == SOCKET_ERROR) return POLL_DATA;
  if (waiting == 0) return POLL_NOTHING;
  if (waiting < 8) return POLL_DATA;
  char first[8];
  if (recv(connection->socket, first, sizeof first, MSG_PEEK) != static_cast<int>(sizeof first)) return POLL_DATA;
  return std::memcmp(first, "GXMGSFLE", sizeof first) == 0 ? POLL_FILE_TRANSFER : POLL_DATA;
}

SendResult send_to_socket(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline) {
  while (length > 0) {
    if (connection->stopped) return {SendOutcome::STOPPED, 0};
    const int32_t sent = send_raw(connection, data, length);
    if (sent > 0) {
      data += sent;
      length -= sent;
      continue;  // a partial send is followed at once by the next one
    }
    // Only a full send buffer is worth waiting for; a broken connection
    // cannot recover within the time-out.
    if (sent == SOCKET_ERROR) {
      if (const int32_t error = WSAGetLastError(); error != WSAEWOULDBLOCK) return {SendOutcome::FAILED, error};
    }
    if (monotonic_milliseconds() >= deadline) return {SendOutcome::TIMED_OUT, 0};
    switch (wait_on_socket(connection, Direction::WRITE, deadline)) {
      case SocketWait::BROKEN:
        return {SendOutcome::FAILED, WSAGetLastError()};
      case SocketWait::STOPPED:
        return {SendOutcome::STOPPED, 0};
      case SocketWait::READY:
      case SocketWait::PENDING:
        break;
    }
  }
  return {SendOutcome::SENT, 0};
}

SendResult send_before(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline) {
  if (!connection || length < 0) return {SendOutcome::FAILED, 0};
  if (connection->tls) return tls_send(connection, data, length, deadline);
  return send_to_socket(connection, data, length, deadline);
}

int32_t send_with_timeout(ConnectionRecord* connection, const char* data, int32_t length, int32_t seconds) {
  if (seconds <= 0) return 0;
  return send_before(connection, data, length, deadline_after(seconds)).outcome == SendOutcome::SENT ? 1 : 0;
}

ReceiveResult receive_from_socket(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline) {
  for (;;) {
    if (connection->stopped) return {ReceiveOutcome::STOPPED, 0, 0};
    const int32_t count = read_raw(connection, buffer, size);
    if (count > 0) {
      // A stop said here ends the next call: these bytes are the caller's.
      run_hook_if_due(connection);
      return {ReceiveOutcome::DATA, count, 0};
    }
    if (count == 0) return {ReceiveOutcome::CLOSED, 0, 0};
    if (const int32_t error = WSAGetLastError(); error != WSAEWOULDBLOCK) return {ReceiveOutcome::FAILED, 0, error};
    if (monotonic_milliseconds() >= deadline) return {ReceiveOutcome::TIMED_OUT, 0, 0};
    switch (wait_on_socket(connection, Direction::READ, deadline)) {
      case SocketWait::BROKEN:
        return {ReceiveOutcome::FAILED, 0, WSAGetLastError()};
      case SocketWait::STOPPED:
        return {ReceiveOutcome::STOPPED, 0, 0};
      case SocketWait::READY:
      case SocketWait::PENDING:
        break;
    }
  }
}

ReceiveResult receive_before(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline) {
  if (!connection || !buffer || size <= 0) return {ReceiveOutcome::FAILED, 0};
  if (connection->tls) return tls_receive(connection, buffer, size, deadline);
  return receive_from_socket(connection, buffer, size, deadline);
}

int32_t receive_with_timeout(ConnectionRecord* connection, char* buffer, int32_t size, int32_t seconds) {
  if (seconds <= 0) return 0;
  const ReceiveResult result = receive_before(connection, buffer, size, deadline_after(seconds));
  return result.outcome == ReceiveOutcome::DATA ? result.count : 0;
}
