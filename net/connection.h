#pragma once
// TCP client connections over Windows Sockets 1.1, with time-outs.
#include <cstdint>

#include "net/wait_hook.h"

struct ConnectionRecord;

int32_t init_network();
void end_network();

// How long a connect may wait for the peer's answer: about what the
// platform's own blocking connect gives up after on Windows (three SYNs).
constexpr uint64_t CONNECT_TIMEOUT_MS = 21000;

// Why an open failed.
enum class ConnectFailure : uint8_t {
  NONE,
  NO_SUCH_HOST,  // the name did not resolve to an IPv4 address
  REFUSED,       // the peer refused the connection
  TIMED_OUT,     // no answer within CONNECT_TIMEOUT_MS
  FAILED,        // anything else: no socket, no memory, no route (see error)
  STOPPED,       // the wait hook said stop
};

struct ConnectResult {
  ConnectionRecord* connection;  // null unless failure is NONE
  ConnectFailure failure;
  int32_t error;  // the platform's error code where it gave one, else 0
};

// The connection carries hook into every wait made on it (net/wait_hook.h).
ConnectResult connect_to_host(const char* host, uint16_t port, WaitHook hook = {});
// The same, for callers that need no reason: the connection or null.
ConnectionRecord* open_connection(const char* host, uint16_t port, WaitHook hook = {});
void close_connection(ConnectionRecord* connection);
// 1 when every byte was handed to the platform within the time-out, else 0.
int32_t send_with_timeout(ConnectionRecord* connection, const char* data, int32_t length, int32_t seconds);
// Bytes received (1 to size), or 0 on time-out, failure or end of stream.
int32_t receive_with_timeout(ConnectionRecord* connection, char* buffer, int32_t size, int32_t seconds);

// What a wait for bytes ended with. receive_with_timeout folds all but DATA
// into 0; a caller that must tell a peer's orderly close from a broken
// connection (a body read until the peer closes) asks receive_before.
//
// Over TLS, CLOSED is the server's close_notify and nothing else: a TCP
// close without it is TRUNCATED, since anyone on the path can forge that
// one. A plain connection is never TRUNCATED.
enum class ReceiveOutcome : uint8_t { DATA, CLOSED, TRUNCATED, TIMED_OUT, FAILED, STOPPED };

struct ReceiveResult {
  ReceiveOutcome outcome;
  int32_t count = 0;  // bytes received when outcome is DATA, else 0
  int32_t error = 0;  // the platform's error code when outcome is FAILED, else 0
};

enum class SendOutcome : uint8_t { SENT, TIMED_OUT, FAILED, STOPPED };

struct SendResult {
  SendOutcome outcome;
  int32_t error = 0;  // the platform's error code when outcome is FAILED, else 0
};

// Hands every byte to the platform, waiting no later than deadline (a value
// of monotonic_milliseconds) while its send buffer is full.
SendResult send_before(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline);

// Receives at most size bytes, waiting no later than deadline, a value of
// monotonic_milliseconds (net/clock.h). Bytes already waiting are taken at
// once even when the deadline has passed.
ReceiveResult receive_before(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline);

// Values of poll_connection.
constexpr int32_t POLL_NOTHING = 0;
constexpr int32_t POLL_DATA = 2;
constexpr int32_t POLL_FILE_TRANSFER = 3;

// What is waiting on the connection: nothing, data, or a file-transfer
// message (at least 8 waiting bytes that begin with "GXMGSFLE"). A failed
// query reports data, so that the next read meets the error at once.
int32_t poll_connection(ConnectionRecord* connection);

// One send / one recv with flags 0: bytes moved, or -1 (and 0 from read_raw
// at the end of the stream).
int32_t send_raw(ConnectionRecord* connection, const char* data, int32_t length);
int32_t read_raw(ConnectionRecord* connection, char* buffer, int32_t size);
