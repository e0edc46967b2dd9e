// The URL split on any bytes: parts are views inside the URL, host and port
// never reach past the authority, and the port number is 0 or a real port.
#include <cstdlib>
#include <string_view>

#include "http/split_url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  for (int32_t part : {URL_HOST, URL_PORT, URL_PATH, 2}) {
    const std::optional<std::string_view> found = find_http_url_part(url, part);
    if (!found) continue;
    if (part == 2 || found->empty()) std::abort();
    if (found->data() < url.data() || found->data() + found->size() > url.data() + url.size()) std::abort();
    if (part != URL_PATH && found->find_first_of("/?#@") != std::string_view::npos) std::abort();
    if (part == URL_HOST && found->find(':') != std::string_view::npos) std::abort();
    has_control_bytes(*found);
  }
  // An allowed scheme is "http" or "https" in some case, after blanks at most.
  const size_t scheme_end = url.find("://");
  const UrlScheme scheme = url_scheme(url);
  if (scheme != UrlScheme::REFUSED && scheme_end != std::string_view::npos) {
    const size_t length = scheme == UrlScheme::HTTPS ? 5 : 4;
    const std::string_view text = url.substr(0, scheme_end);
    if (text.size() < length || text.find_first_not_of(" \t") != text.size() - length) std::abort();
  }
  const uint16_t port = http_port_number(find_http_url_part(url, URL_PORT));
  if (!find_http_url_part(url, URL_PORT) && port != 80) std::abort();
  return 0;
}
