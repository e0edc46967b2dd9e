#include "http/request_text.h"

#include <cstdio>
#include <cstring>

PortSuffix port_suffix(uint16_t port, uint16_t default_port) {
  PortSuffix suffix{};
  if (port != default_port) std::snprintf(suffix.text, sizeof suffix.text, ":%d", static_cast<int>(port));
  return suffix;
}

size_t request_length(const char* path, const char* host, const PortSuffix& suffix) {
  // The format's own characters less its three "%s".
  constexpr size_t fixed = sizeof REQUEST_FORMAT - 1 - 6;
  return fixed + std::strlen(path ? path : "") + std::strlen(host ? host : "") + std::strlen(suffix.text);
}

size_t write_request(char* buffer, size_t size, const char* path, const char* host, const PortSuffix& suffix) {
  const size_t length = request_length(path, host, suffix);
  if (size < length + 1) return 0;
  std::snprintf(buffer, size, REQUEST_FORMAT, path ? path : "", host ? host : "", suffix.text);
  return length;
}
