#include "http/split_url.h"

#include "base/ascii.h"

namespace {

struct Authority {
  std::string_view text;  // after "://", up to "/", "?", "#" or the end
  size_t end;             // position in the URL just after the authority
};

std::optional<Authority> find_authority(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return std::nullopt;
  const size_t start = scheme_end + 3;
  size_t end = url.find_first_of("/?#", start);
  if (end == std::string_view::npos) end = url.size();
  return Authority{url.substr(start, end - start), end};
}

// Host and port text inside the authority, user information removed.
std::string_view host_and_port(std::string_view authority) {
  const size_t at = authority.rfind('@');
  return at == std::string_view::npos ? authority : authority.substr(at + 1);
}

std::optional<std::string_view> present(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

std::optional<std::string_view> find_http_url_part(std::string_view url, int32_t part) {
  const std::optional<Authority> authority = find_authority(url);
  if (!authority) return std::nullopt;
  const std::string_view server = host_and_port(authority->text);
  const size_t colon = server.find(':');
  switch (part) {
    case URL_HOST:
      return present(server.substr(0, colon));
    case URL_PORT:
      if (colon == std::string_view::npos) return std::nullopt;
      return present(server.substr(colon + 1));
    case URL_PATH: {
      std::string_view rest = url.substr(authority->end);
      if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
      return present(rest);
    }
    default:
      return std::nullopt;
  }
}

std::string_view find_file_path_part(std::string_view url) {
  const std::optional<Authority> authority = find_authority(url);
  if (!authority || authority->end == url.size() || url[authority->end] != '/') return {};
  const std::string_view rest = url.substr(authority->end + 1);
  return rest.substr(0, rest.find('?'));
}

UrlScheme url_scheme(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return UrlScheme::HTTP;
  std::string_view scheme = url.substr(0, scheme_end);
  while (!scheme.empty() && is_blank(scheme.front())) scheme.remove_prefix(1);
  if (equal_ascii_no_case(scheme, "http")) return UrlScheme::HTTP;
  if (equal_ascii_no_case(scheme, "https")) return UrlScheme::HTTPS;
  return UrlScheme::REFUSED;
}

uint16_t http_port_number(std::optional<std::string_view> port_text, uint16_t fallback) {
  if (!port_text) return fallback;
  if (port_text->empty() || port_text->size() > 5) return 0;
  uint32_t value = 0;
  for (char c : *port_text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

bool has_control_bytes(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}
