#pragma once
// Splitting an http URL into the host, port and path that a download needs.
// The finders are plain C++ over views (no platform header), so that they can
// also be built and fuzzed natively; split_http_url adds the heap copies.
#include <cstdint>
#include <optional>
#include <string_view>

// Selectors of split_http_url.
constexpr int32_t URL_HOST = 0;
constexpr int32_t URL_PORT = 1;
constexpr int32_t URL_PATH = 3;

// The part inside url, or nothing when it is absent or empty (or the selector
// is none of the above). The host and port come from the authority alone:
// the text after "://" up to the first "/", "?" or "#". Its user
// information ends at the last "@" inside it; the port follows the first ":"
// after that. The path is what follows the authority, without the "/" that
// may open it (the request puts one back), query and anchor included.
std::optional<std::string_view> find_http_url_part(std::string_view url, int32_t part);

// False when the URL names a scheme (the text before its first "://",
// blanks before it skipped) other than "http" in any case: only plain http
// is spoken, and a request for "https" or anything else must not leave in
// clear text. A URL without "://" passes here and fails for want of a host.
bool http_scheme_allowed(std::string_view url);

// The port a download connects to: 80 when the port text is absent, else its
// decimal value from 1 to 65535; 0 when it is anything else.
uint16_t http_port_number(std::optional<std::string_view> port_text);

// True when the text holds a byte below 0x20 or the byte 0x7F: such a text
// never goes into a request.
bool has_control_bytes(std::string_view text);

// The part as a new NUL-terminated string on the program heap, which the
// caller frees with free_memory; null when the part is absent or empty, or
// the copy cannot be allocated.
char* split_http_url(const char* url, int32_t part);
