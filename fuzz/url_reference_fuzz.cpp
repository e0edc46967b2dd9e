// URL resolution on any base and reference: it never writes outside the
// buffer it is given, and what it writes is a URL a request line carries
// raw; a URL resolved against itself (as a typed one is) stays the same
// when resolved against itself again.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "http/url_reference.h"

namespace {

bool request_line_safe(std::string_view url) {
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '#') return false;
  }
  return url.find("://") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte cuts the rest into base and reference.
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t cut = data[0] % (rest.size() + 1);
  const std::string_view base = rest.substr(0, cut), reference = rest.substr(cut);
  // Exactly the bound: ASan sees any byte written past it.
  std::vector<char> out(resolved_size_bound(base, reference));
  const UrlWrite written = resolve_reference(base, reference, out);
  if (written.result != UrlWriteResult::WRITTEN) return 0;
  if (written.length > out.size()) std::abort();
  const std::string_view url(out.data(), written.length);
  if (!request_line_safe(url)) std::abort();
  std::vector<char> once(resolved_size_bound(url, url));
  const UrlWrite normalized = resolve_reference(url, url, once);
  if (normalized.result != UrlWriteResult::WRITTEN) std::abort();
  const std::string_view self(once.data(), normalized.length);
  std::vector<char> twice(resolved_size_bound(self, self));
  const UrlWrite again = resolve_reference(self, self, twice);
  if (again.result != UrlWriteResult::WRITTEN || std::string_view(twice.data(), again.length) != self) std::abort();
  return 0;
}
