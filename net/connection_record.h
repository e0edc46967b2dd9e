#pragma once
// The layout of a connection, for the net library and its tests only; every
// other caller holds the record as an opaque pointer.
#include <winsock.h>

#include <cstdint>

constexpr int32_t CONNECTION_STREAM = 1;

struct ConnectionRecord {
  int32_t kind;  // CONNECTION_STREAM: the only kind this system creates
  SOCKET socket;
};
