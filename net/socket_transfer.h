#pragma once
// Bytes over the socket itself, for this library only: what a plain
// connection sends and receives, and what carries the TLS code's records.
#include <cstdint>

#include "net/connection.h"

// Hands every byte to the platform by deadline, waiting in slices.
SendResult send_to_socket(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline);

// At most size bytes as they come: DATA, CLOSED at the peer's orderly end
// of the stream, TIMED_OUT, FAILED, or STOPPED once the wait hook said so. Bytes already waiting are taken at
// once even when the deadline has passed.
ReceiveResult receive_from_socket(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline);
