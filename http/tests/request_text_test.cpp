#include <gtest/gtest.h>

#include <string>

#include "http/request_text.h"

namespace {

// Port 80 cannot be listened on in a test, so the Host header for it is
// checked here; the other shapes are checked on the wire in download_test.
TEST(RequestText, BytesOfTheRequest) {
  const struct {
    const char* path;
    const char* host;
    uint16_t port;
    const char* expected;
  } cases[] = {
      {nullptr, "host", 80, "GET / HTTP/1.1\r\nAccept: */*\r\nHost: host\r\nConnection: close\r\n\r\n"},
      {"a/b?c#d", "host", 80, "GET /a/b?c#d HTTP/1.1\r\nAccept: */*\r\nHost: host\r\nConnection: close\r\n\r\n"},
      {"x", "10.0.0.1", 65535, "GET /x HTTP/1.1\r\nAccept: */*\r\nHost: 10.0.0.1:65535\r\nConnection: close\r\n\r\n"},
      {"", "h", 8080, "GET / HTTP/1.1\r\nAccept: */*\r\nHost: h:8080\r\nConnection: close\r\n\r\n"},
  };
  for (const auto& c : cases) {
    const PortSuffix suffix = port_suffix(c.port);
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
