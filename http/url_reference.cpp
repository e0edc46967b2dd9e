#include "http/url_reference.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"

namespace {

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool is_control(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The scheme's end (its ":"), or npos when the text opens with none.
size_t scheme_end(std::string_view text) {
  if (text.empty() || !is_alpha(text[0])) return std::string_view::npos;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return i;
    if (!is_alpha(c) && !is_digit(c) && c != '+' && c != '-' && c != '.') break;
  }
  return std::string_view::npos;
}

// Writes into a buffer, remembering when it ran out of room.
class Writer {
 public:
  explicit Writer(std::span<char> out) : out_(out) {}
  void put(char c) {
    if (length_ < out_.size()) out_[length_] = c;
    ++length_;
  }
  void put(std::string_view text) {
    for (char c : text) put(c);
  }
  // Path and query bytes: those a request line cannot carry raw, encoded.
  void put_encoded(std::string_view text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    for (size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      const bool opens_escape = byte == '%' && i + 2 < text.size() && is_hex(text[i + 1]) && is_hex(text[i + 2]);
      if (byte == ' ' || byte >= 0x80 || (byte == '%' && !opens_escape)) {
        put('%');
        put(HEX[byte >> 4]);
        put(HEX[byte & 0xF]);
      } else {
        put(text[i]);
      }
    }
  }
  bool fits() const { return length_ <= out_.size(); }
  size_t length() const { return length_; }

 private:
  std::span<char> out_;
  size_t length_ = 0;
};

// RFC 3986, 5.2.4, as a walk over the input's segments: "." segments go,
// a ".." segment takes the last written segment with it. Written into a
// buffer of at least the input's size.
size_t remove_dot_segments(std::string_view input, char* out) {
  size_t length = 0;
  auto drop_last = [&] {
    while (length > 0 && out[length - 1] != '/') --length;
    if (length > 0) --length;  // the "/" before it
  };
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../")) {
      input.remove_prefix(3);
      drop_last();
    } else if (input == "/..") {
      input = "/";
      drop_last();
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      const size_t next = input.find('/', 1);
      const std::string_view segment = input.substr(0, next);
      std::memcpy(out + length, segment.data(), segment.size());
      length += segment.size();
      input.remove_prefix(segment.size());
    }
  }
  return length;
}

// RFC 3986, 5.2.3: the reference's path after the base's last "/".
size_t merge_paths(const UrlReference& base, std::string_view path, char* out) {
  size_t length = 0;
  if (base.has_authority && base.path.empty()) {
    out[length++] = '/';
  } else {
    const size_t slash = base.path.rfind('/');
    if (slash != std::string_view::npos) {
      std::memcpy(out, base.path.data(), slash + 1);
      length = slash + 1;
    }
  }
  std::memcpy(out + length, path.data(), path.size());
  return length + path.size();
}

// The host must name something, and neither it nor the port may hold a
// blank or a byte of 0x80 and above: a Host header carries them raw.
bool server_is_sound(std::string_view authority) {
  const std::string_view server = authority_server(authority);
  if (server.substr(0, server.find(':')).empty()) return false;
  for (char c : server) {
    if (c == ' ' || static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

UrlReference split_reference(std::string_view text) {
  UrlReference ref;
  if (const size_t colon = scheme_end(text); colon != std::string_view::npos) {
    ref.has_scheme = true;
    ref.scheme = text.substr(0, colon);
    text.remove_prefix(colon + 1);
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const size_t end = std::min(text.find_first_of("/?#"), text.size());
    ref.has_authority = true;
    ref.authority = text.substr(0, end);
    text.remove_prefix(end);
  }
  const size_t hash = text.find('#');
  if (hash != std::string_view::npos) {
    ref.has_fragment = true;
    ref.fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  const size_t question = text.find('?');
  if (question != std::string_view::npos) {
    ref.has_query = true;
    ref.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  ref.path = text;
  return ref;
}

std::string_view authority_server(std::string_view authority) {
  const size_t at = authority.rfind('@');
  return at == std::string_view::npos ? authority : authority.substr(at + 1);
}

// The output: scheme, "://", the merged path (base's and reference's) and
// the query, each byte at most tripled by its escape, and the "/" the path
// may gain. Behind it, two areas for the path while its dots go.
size_t scratch_size(std::string_view base, std::string_view reference) { return base.size() + reference.size() + 2; }

size_t resolved_size_bound(std::string_view base, std::string_view reference) {
  return 3 * (base.size() + reference.size()) + 8 + 2 * scratch_size(base, reference);
}

UrlWrite resolve_reference(std::string_view base_text, std::string_view reference_text, std::span<char> out) {
  for (char c : reference_text)
    if (is_control(c)) return {UrlWriteResult::CONTROL_BYTE, 0};
  for (char c : base_text)
    if (is_control(c)) return {UrlWriteResult::CONTROL_BYTE, 0};
  if (out.size() < resolved_size_bound(base_text, reference_text)) return {UrlWriteResult::NO_ROOM, 0};
  const UrlReference base = split_reference(base_text);
  const UrlReference ref = split_reference(reference_text);

  // RFC 3986, 5.2.2. The merged path is built at the end of the output
  // buffer and its dots removed into the middle, so that nothing but the
  // output is needed.
  std::string_view scheme = base.scheme;
  std::string_view authority = base.authority;
  bool has_authority = base.has_authority;
  std::string_view query = base.query;
  bool has_query = base.has_query;
  std::string_view path;
  char* const merged = out.data() + out.size() - scratch_size(base_text, reference_text);
  char* const clean = merged - scratch_size(base_text, reference_text);
  auto without_dots = [&](std::string_view input) {
    std::memmove(merged, input.data(), input.size());
    return std::string_view(clean, remove_dot_segments({merged, input.size()}, clean));
  };
  if (ref.has_scheme) {
    scheme = ref.scheme;
    has_authority = ref.has_authority;
    authority = ref.authority;
    path = without_dots(ref.path);
    has_query = ref.has_query;
    query = ref.query;
  } else if (ref.has_authority) {
    has_authority = true;
    authority = ref.authority;
    path = without_dots(ref.path);
    has_query = ref.has_query;
    query = ref.query;
  } else if (ref.path.empty()) {
    path = base.path;
    if (ref.has_query) {
      has_query = true;
      query = ref.query;
    }
  } else {
    if (ref.path.front() == '/') {
      path = without_dots(ref.path);
    } else {
      const size_t length = merge_paths(base, ref.path, merged);
      path = std::string_view(clean, remove_dot_segments({merged, length}, clean));
    }
    has_query = ref.has_query;
    query = ref.query;
  }
  // Only an absolute base gives a reference without a scheme one.
  if (!has_authority || scheme.empty()) return {UrlWriteResult::NO_AUTHORITY, 0};
  if (!server_is_sound(authority)) return {UrlWriteResult::BAD_HOST, 0};

  // The output is written from its start, before the path's copy. The
  // user information stays behind: it is never sent, nor shown.
  Writer writer(out.first(static_cast<size_t>(clean - out.data())));
  for (char c : scheme) writer.put(ascii_lower(c));
  writer.put("://");
  writer.put(authority_server(authority));
  if (path.empty() || path.front() != '/') writer.put('/');
  writer.put_encoded(path);
  if (has_query) {
    writer.put('?');
    writer.put_encoded(query);
  }
  if (!writer.fits()) return {UrlWriteResult::NO_ROOM, 0};
  return {UrlWriteResult::WRITTEN, writer.length()};
}
