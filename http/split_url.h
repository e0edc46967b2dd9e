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

// The part of a URL that "Browse" turns into a file path, read as the
// request reads the URL: what follows the "/" that ends the authority, up
// to the first "?" (a "#" and what follows it stay: a file name may hold
// one). Empty when the authority ends at a "?", a "#" or the URL's end, or
// the URL has no "://".
std::string_view find_file_path_part(std::string_view url);

enum class UrlScheme : uint8_t { HTTP, HTTPS, REFUSED };

// The scheme a URL names: the text before its first "://", blanks before it
// skipped, "http" or "https" in any case. Anything else is REFUSED: a
// request must never leave in clear text for a scheme that promises more,
// nor in some other protocol's place. A URL without "://" reads as HTTP
// here and fails for want of a host.
UrlScheme url_scheme(std::string_view url);

constexpr uint16_t default_port(UrlScheme scheme) { return scheme == UrlScheme::HTTPS ? 443 : 80; }

// The port a download connects to: fallback (the scheme's default port)
// when the port text is absent, else its decimal value from 1 to 65535; 0
// when it is anything else.
uint16_t http_port_number(std::optional<std::string_view> port_text, uint16_t fallback = 80);

// True when the text holds a byte below 0x20 or the byte 0x7F: such a text
// never goes into a request.
bool has_control_bytes(std::string_view text);

// The part as a new NUL-terminated string on the program heap, which the
// caller frees with free_memory; null when the part is absent or empty, or
// the copy cannot be allocated.
char* split_http_url(const char* url, int32_t part);
