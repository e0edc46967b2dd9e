#include <cstring>

#include "base/heap.h"
#include "http/split_url.h"

char* split_http_url(const char* url, int32_t part) {
  if (!url) return nullptr;
  const std::optional<std::string_view> found = find_http_url_part(url, part);
  if (!found) return nullptr;
  auto* copy = static_cast<char*>(allocate_memory(found->size() + 1, false));
  if (!copy) return nullptr;
  std::memcpy(copy, found->data(), found->size());
  copy[found->size()] = '\0';
  return copy;
}
