#include "http/redirect.h"

#include <cstring>
#include <span>

#include "base/ascii.h"
#include "base/heap.h"
#include "http/split_url.h"
#include "http/url_reference.h"

namespace {

constexpr std::string_view ELLIPSIS = "...";

// The resolution's own buffer, as large as its bound; null when the heap
// says no.
char* resolve(std::string_view base, std::string_view reference, UrlWrite* written) {
  const size_t size = resolved_size_bound(base, reference) + 1;
  auto* out = static_cast<char*>(allocate_memory(size, false));
  if (!out) {
    *written = {UrlWriteResult::NO_ROOM, 0};
    return nullptr;
  }
  *written = resolve_reference(base, reference, std::span<char>(out, size - 1));
  if (written->result != UrlWriteResult::WRITTEN) {
    free_memory(out);
    return nullptr;
  }
  out[written->length] = '\0';
  return out;
}

char* refuse(DownloadReport& report, RedirectFault fault, std::string_view url) {
  report.outcome = DownloadOutcome::REDIRECT;
  report.redirect = fault;
  keep_report_url(report, url);
  return nullptr;
}

}  // namespace

void keep_report_url(DownloadReport& report, std::string_view url) {
  size_t length = url.size();
  if (length > REPORT_URL_LIMIT) {
    const size_t head = (REPORT_URL_LIMIT - ELLIPSIS.size()) / 2;
    const size_t tail = REPORT_URL_LIMIT - ELLIPSIS.size() - head;
    std::memcpy(report.url, url.data(), head);
    std::memcpy(report.url + head, ELLIPSIS.data(), ELLIPSIS.size());
    std::memcpy(report.url + head + ELLIPSIS.size(), url.data() + url.size() - tail, tail);
    length = REPORT_URL_LIMIT;
  } else {
    std::memcpy(report.url, url.data(), length);
  }
  report.url[length] = '\0';
}

char* request_url(std::string_view typed, DownloadReport& report) {
  while (!typed.empty() && is_blank(typed.front())) typed.remove_prefix(1);
  // Resolved against itself, a URL keeps every part but the fragment, and
  // is written as a request line carries it.
  UrlWrite written;
  char* url = resolve(typed, typed, &written);
  if (url) return url;
  report.outcome = written.result == UrlWriteResult::NO_ROOM ? DownloadOutcome::NO_MEMORY : DownloadOutcome::BAD_URL;
  switch (written.result) {
    case UrlWriteResult::CONTROL_BYTE:
      report.url_fault = UrlFault::CONTROL_BYTE;
      break;
    case UrlWriteResult::BAD_HOST:
      report.url_fault = UrlFault::BAD_HOST;
      break;
    default:
      report.url_fault = UrlFault::NO_HOST;
      break;
  }
  return nullptr;
}

char* follow_redirect(std::string_view current, std::string_view location, DownloadReport& report) {
  if (location.empty()) return refuse(report, RedirectFault::NO_LOCATION, current);
  if (report.redirects == REDIRECT_LIMIT) return refuse(report, RedirectFault::TOO_MANY, current);
  UrlWrite written;
  char* next = resolve(current, location, &written);
  if (!next) {
    if (written.result == UrlWriteResult::NO_ROOM) {
      report.outcome = DownloadOutcome::NO_MEMORY;
      return nullptr;
    }
    // A scheme of another kind (mailto:, data:) names no host either.
    const UrlReference where = split_reference(location);
    const bool fetched_scheme = !where.has_scheme || equal_ascii_no_case(where.scheme, "http") ||
                                equal_ascii_no_case(where.scheme, "https");
    return refuse(report, fetched_scheme ? RedirectFault::BAD_LOCATION : RedirectFault::SCHEME, location);
  }
  const std::string_view target(next, written.length);
  const UrlScheme from = url_scheme(current);
  const UrlScheme to = url_scheme(target);
  RedirectFault fault = RedirectFault::NONE;
  if (to == UrlScheme::REFUSED) {
    fault = RedirectFault::SCHEME;
  } else if (from == UrlScheme::HTTPS && to == UrlScheme::HTTP) {
    // The rest of the chain would be open to anyone on the path.
    fault = RedirectFault::DOWNGRADE;
  } else if (!find_http_url_part(target, URL_HOST) ||
             http_port_number(find_http_url_part(target, URL_PORT), default_port(to)) == 0) {
    fault = RedirectFault::BAD_LOCATION;
  }
  if (fault != RedirectFault::NONE) {
    refuse(report, fault, target);
    free_memory(next);
    return nullptr;
  }
  ++report.redirects;
  return next;
}
