#pragma once
// TLS records written by hand, for the tests of what a client makes of a
// server's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/tls_record.h"

// The bytes of a literal, NULs included.
template <size_t N>
std::string raw(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

inline std::string record(uint8_t type, uint16_t version, const std::string& body) {
  std::string bytes;
  bytes += static_cast<char>(type);
  bytes += static_cast<char>(version >> 8);
  bytes += static_cast<char>(version & 0xFF);
  bytes += static_cast<char>(body.size() >> 8);
  bytes += static_cast<char>(body.size() & 0xFF);
  return bytes + body;
}

// A ServerHello as a server sends it in the clear: message type 2, its
// length, the version, 32 random bytes, an empty session id, a cipher suite
// and no compression.
inline std::string server_hello(uint16_t version) {
  const std::string body = raw("\x02\x00\x00\x26") + static_cast<char>(version >> 8) +
                           static_cast<char>(version & 0xFF) + std::string(32, 'r') + raw("\x00\xc0\x2f\x00");
  return record(TLS_HANDSHAKE, version, body);
}
