#pragma once
// The one request a download sends. Plain C++, no platform header.
#include <cstddef>
#include <cstdint>

// Filled with the path text (without its leading "/"), the host text exactly
// as in the URL, and the port suffix.
constexpr char REQUEST_FORMAT[] = "GET /%s HTTP/1.1\r\nAccept: */*\r\nHost: %s%s\r\nConnection: close\r\n\r\n";

// "" for the scheme's default port (80 for http, 443 for https), else ":"
// and the port in decimal; at most 7 bytes with NUL.
struct PortSuffix {
  char text[8];
};
PortSuffix port_suffix(uint16_t port, uint16_t default_port = 80);

// The request's length without its NUL; path may be null (the target is "/").
size_t request_length(const char* path, const char* host, const PortSuffix& suffix);

// Writes the request and its NUL into buffer, which holds at least
// request_length + 1 bytes; returns the length written.
size_t write_request(char* buffer, size_t size, const char* path, const char* host, const PortSuffix& suffix);
