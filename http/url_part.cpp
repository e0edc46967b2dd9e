// Named parts of a URL by key. Its rules are its own, older than the
// download's authority-based split, and callers rely on them as they are:
// every search runs over the whole rest of the URL, so a ":" or "@" in the
// path counts too, and the path stops at the query.
#include "http/url_part.h"

#include <cstring>
#include <optional>

#include "base/ascii.h"
#include "base/heap.h"

namespace {

constexpr size_t NONE = std::string_view::npos;

struct Span {
  size_t start;
  size_t end;
};

// Position just after the first "://", or NONE.
size_t after_scheme(std::string_view url) {
  const size_t found = url.find("://");
  return found == NONE ? NONE : found + 3;
}

size_t end_or(size_t position, std::string_view url) { return position == NONE ? url.size() : position; }

// Start of the host: after the first "@" following "://", else after "://".
size_t host_start(std::string_view url, size_t scheme_end) {
  const size_t at = url.find('@', scheme_end);
  return at == NONE ? scheme_end : at + 1;
}

std::optional<Span> find_host(std::string_view url) {
  const size_t s = after_scheme(url);
  if (s == NONE) return std::nullopt;
  const size_t start = host_start(url, s);
  size_t end = url.find(':', start);
  if (end == NONE) end = end_or(url.find('/', start), url);
  return Span{start, end};
}

std::optional<Span> find_port(std::string_view url) {
  const size_t s = after_scheme(url);
  if (s == NONE) return std::nullopt;
  const size_t colon = url.find(':', host_start(url, s));
  if (colon == NONE) return std::nullopt;
  return Span{colon + 1, end_or(url.find('/', colon + 1), url)};
}

std::optional<Span> find_user(std::string_view url) {
  const size_t s = after_scheme(url);
  if (s == NONE) return std::nullopt;
  const size_t at = url.find('@', s);
  if (at == NONE) return std::nullopt;
  const size_t colon = url.find(':', s);
  return Span{s, colon != NONE && colon < at ? colon : at};
}

std::optional<Span> find_password(std::string_view url) {
  const size_t s = after_scheme(url);
  if (s == NONE) return std::nullopt;
  const size_t at = url.find('@', s);
  const size_t colon = url.find(':', s);
  if (at == NONE || colon == NONE || colon > at) return std::nullopt;
  return Span{colon + 1, at};
}

std::optional<Span> find_parameters(std::string_view url) {
  const size_t question = url.find('?');
  if (question == NONE) return std::nullopt;
  return Span{question + 1, end_or(url.find('#', question + 1), url)};
}

std::optional<Span> find_anchor(std::string_view url) {
  const size_t hash = url.find('#');
  if (hash == NONE) return std::nullopt;
  return Span{hash + 1, url.size()};
}

std::optional<Span> find_path(std::string_view url) {
  const size_t s = after_scheme(url);
  if (s == NONE) return std::nullopt;
  const size_t slash = url.find('/', s);
  if (slash == NONE) return std::nullopt;
  return Span{slash + 1, end_or(url.find('?', slash + 1), url)};
}

// The value of the query parameter named key. A text without "=" is no pair
// of its own: it becomes the front of the next name.
std::optional<Span> find_parameter(std::string_view url, std::string_view key) {
  const size_t question = url.find('?');
  if (question == NONE) return std::nullopt;
  size_t name_start = question + 1;
  for (;;) {
    const size_t equals = url.find('=', name_start);
    if (equals == NONE) return std::nullopt;
    const bool match = equal_ascii_no_case(url.substr(name_start, equals - name_start), key);
    const size_t value_start = equals + 1;
    const size_t ampersand = url.find('&', value_start);
    if (ampersand == NONE) {
      if (!match) return std::nullopt;
      return Span{value_start, end_or(url.find('#', value_start), url)};
    }
    if (match) return Span{value_start, ampersand};
    name_start = ampersand + 1;
  }
}

std::optional<Span> find_part(std::string_view url, std::string_view key) {
  if (key == "/WS/") return find_host(url);
  if (key == "/PO/") return find_port(url);
  if (key == "/US/") return find_user(url);
  if (key == "/PS/") return find_password(url);
  if (key == "/PM/") return find_parameters(url);
  if (key == "/AN/") return find_anchor(url);
  if (key == "/PT/") return find_path(url);
  return find_parameter(url, key);
}

}  // namespace

Text extract_url_part(TextRef url, TextRef key) {
  // An absent argument reads as the empty text, which holds no part.
  if (url.view.empty() || key.view.empty()) return Text();
  const std::optional<Span> span = find_part(url.view, key.view);
  if (!span || span->end <= span->start) return Text();
  const size_t length = span->end - span->start;
  auto* copy = static_cast<char*>(allocate_memory(length + 1, false));
  if (!copy) return Text();
  std::memcpy(copy, url.view.data() + span->start, length);
  copy[length] = '\0';
  Text result = make_text(std::string_view(copy, length));
  free_memory(copy);
  return result;
}
