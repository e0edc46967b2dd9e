#include <gtest/gtest.h>

#include <string>

#include "http/request_text.h"

namespace {

// Ports 80 and 443 cannot be listened on in a test, so the Host header for
// them is checked here; the other shapes are checked on the wire in
// download_test.
TEST(RequestText, BytesOfTheRequest) {
  const struct {
    const char* path;
    const char* host;
    uint16_t port;
    uint16_t default_port;  // the scheme's
    const char* expected;
  } cases[] = {
      {nullptr, "host", 80, 80, "GET / HTTP/1.1\r\nAccept: */*\r\nHost: host\r\nConnection: close\r\n\r\n"},
      {"a/b?c#d", "host", 80, 80,
       "GET /a/b?c#d HTTP/1.1\r\nAccept: */*\r\nHost: host\r\nConnection: close\r\n\r\n"},
      {"x", "10.0.0.1", 65535, 80,
       "GET /x HTTP/1.1\r\nAccept: */*\r\nHost: 10.0.0.1:65535\r\nConnection: close\r\n\r\n"},
      {"", "h", 8080, 80, "GET / HTTP/1.1\r\nAccept: */*\r\nHost: h:8080\r\nConnection: close\r\n\r\n"},
      {"x", "h", 443, 443, "GET /x HTTP/1.1\r\nAccept: */*\r\nHost: h\r\nConnection: close\r\n\r\n"},
      {"x", "h", 80, 443, "GET /x HTTP/1.1\r\nAccept: */*\r\nHost: h:80\r\nConnection: close\r\n\r\n"},
      {"x", "h", 443, 80, "GET /x HTTP/1.1\r\nAccept: */*\r\nHost: h:443\r\nConnection: close\r\n\r\n"},
  };
  for (const auto& c : cases) {
    const PortSuffix suffix = port_suffix(c.port, c.default_port);
    const size_t length = request_length(c.path, c.host, suffix);
    std::string buffer(length + 1, '\x55');
    EXPECT_EQ(write_request(buffer.data(), buffer.size(), c.path, c.host, suffix), length);
    EXPECT_EQ(buffer.substr(0, length), c.expected);
    EXPECT_EQ(buffer[length], '\0');
    // One byte short is refused rather than cut.
    EXPECT_EQ(write_request(buffer.data(), length, c.path, c.host, suffix), 0u);
  }
}

}  // namespace
