#pragma once
// URL references as RFC 3986 reads them: splitting one into its five parts,
// resolving one against the URL of the request it came with (a redirect's
// Location), and writing the result in the form a request line can carry.
// Plain C++ over views and caller-given buffers, no platform header and no
// allocation, so that it is fuzzed natively.
//
//   URI-reference = [ scheme ":" ] [ "//" authority ] path [ "?" query ] [ "#" fragment ]
//
// The scheme is a letter followed by letters, digits, "+", "-" or "."; the
// authority runs to the first "/", "?" or "#"; the path to the first "?" or
// "#"; the query to the first "#".
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

struct UrlReference {
  bool has_scheme = false;
  std::string_view scheme;
  bool has_authority = false;
  std::string_view authority;  // user information included; never sent
  std::string_view path;
  bool has_query = false;
  std::string_view query;
  bool has_fragment = false;
  std::string_view fragment;
};

UrlReference split_reference(std::string_view text);

enum class UrlWriteResult : uint8_t {
  WRITTEN,
  NO_AUTHORITY,  // the result names no scheme or no host
  BAD_HOST,      // a host or port with a blank or a byte of 0x80 and above, or no host
  CONTROL_BYTE,  // a byte below 0x20 or 0x7F anywhere
  NO_ROOM,       // the output buffer is too small (see resolved_size_bound)
};

struct UrlWrite {
  UrlWriteResult result;
  size_t length;  // bytes written when WRITTEN
};

// Bytes enough for any resolution of reference against base, with the room
// the resolution works in.
size_t resolved_size_bound(std::string_view base, std::string_view reference);

// Resolves reference against base (RFC 3986, 5.2: dot segments removed) and
// writes the target as "scheme://host[:port]/path?query": the scheme in
// lower case, the user information and the fragment left out (neither is
// ever sent), and every byte of
// the path and query that a request line cannot carry raw (a blank, a byte
// of 0x80 and above, a "%" that opens no "%XX") percent-encoded, an
// existing "%XX" kept as it is. A URL typed by the user is resolved against
// itself, which reads it the same way.
UrlWrite resolve_reference(std::string_view base, std::string_view reference, std::span<char> out);

// The host and port part of an authority: what follows its last "@".
std::string_view authority_server(std::string_view authority);
