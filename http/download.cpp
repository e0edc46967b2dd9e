// One URL into one file: check the URL and the destination, connect, send the
// request, read the head, then the body into a temporary file, and put that
// in place of the destination only when everything has gone well.
#include "http/download.h"

#include <algorithm>
#include <memory>

#include "base/heap.h"
#include "http/body.h"
#include "http/download_outcome.h"
#include "http/piece_size.h"
#include "http/request_text.h"
#include "http/response_head.h"
#include "http/split_url.h"
#include "http/temporary_file.h"
#include "net/clock.h"
#include "net/connection.h"
#include "net/tls.h"

namespace {

constexpr int32_t SEND_TIMEOUT_SECONDS = 10;
constexpr uint64_t HEAD_TIMEOUT_MS = 10000;

struct HeapDeleter {
  void operator()(void* block) const { free_memory(block); }
};
using HeapString = std::unique_ptr<char, HeapDeleter>;

// Closing a connection leaves the TLS failure it met, if any, in the
// download's detail: whichever stage it ended the download in.
struct ConnectionCloser {
  DownloadDetail* detail;
  void operator()(ConnectionRecord* connection) const {
    const TlsResult met = tls_failure(connection);
    if (met.failure != TlsFailure::NONE) detail->tls = met;
    close_connection(connection);
  }
};
using Connection = std::unique_ptr<ConnectionRecord, ConnectionCloser>;

// What the URL says to connect to and to ask for.
struct Target {
  UrlScheme scheme = UrlScheme::HTTP;
  HeapString host;
  HeapString path;  // null: the target is "/"
  uint16_t port = 0;
};

// Fills target from the URL: BAD_URL when the URL cannot make a safe
// request (no host, a port outside 1..65535, or a control byte: a line break
// would end the request line early and let the rest pass as a request of its
// own), NO_MEMORY when a part could not be copied.
DownloadOutcome find_target(const char* url, Target* target) {
  if (!find_http_url_part(url, URL_HOST)) return DownloadOutcome::BAD_URL;
  target->host.reset(split_http_url(url, URL_HOST));
  if (!target->host) return DownloadOutcome::NO_MEMORY;
  if (has_control_bytes(target->host.get())) return DownloadOutcome::BAD_URL;
  HeapString port_text(split_http_url(url, URL_PORT));
  if (!port_text && find_http_url_part(url, URL_PORT)) return DownloadOutcome::NO_MEMORY;
  target->port = http_port_number(port_text ? std::optional<std::string_view>(port_text.get()) : std::nullopt,
                                  default_port(target->scheme));
  if (target->port == 0) return DownloadOutcome::BAD_URL;
  target->path.reset(split_http_url(url, URL_PATH));
  if (!target->path && find_http_url_part(url, URL_PATH)) return DownloadOutcome::NO_MEMORY;
  if (target->path && has_control_bytes(target->path.get())) return DownloadOutcome::BAD_URL;
  return DownloadOutcome::COMPLETE;
}

DownloadOutcome head_outcome(HeadState state) {
  switch (state) {
    case HeadState::COMPLETE:
      return DownloadOutcome::COMPLETE;
    case HeadState::REFUSED:
      return DownloadOutcome::STATUS;
    case HeadState::NEED_MORE:
    case HeadState::INVALID:
      break;
  }
  return DownloadOutcome::HEAD;
}

// Reads until the head's empty line (past any interim heads), all within one
// time-out counted from the first receive. Leaves in *body the body bytes
// that came with the head.
DownloadOutcome receive_head(ConnectionRecord* connection, char* buffer, ResponseHead* head, std::string_view* body) {
  const uint64_t deadline = monotonic_milliseconds() + HEAD_TIMEOUT_MS;
  for (;;) {
    const ReceiveResult piece = receive_before(connection, buffer, PIECE_SIZE, deadline);
    if (piece.outcome != ReceiveOutcome::DATA) {
      *body = {};
      return head_outcome(end_response_head(*head));
    }
    const std::string_view bytes(buffer, static_cast<size_t>(piece.count));
    const HeadStep step = parse_response_head(*head, bytes);
    if (step.state == HeadState::COMPLETE) *body = bytes.substr(step.consumed);
    if (step.state != HeadState::NEED_MORE) return head_outcome(step.state);
  }
}

DownloadOutcome tls_start_outcome(TlsFailure failure) {
  switch (failure) {
    case TlsFailure::UNTRUSTED:
    case TlsFailure::PARTIAL_CHAIN:
    case TlsFailure::EXPIRED:
    case TlsFailure::NOT_YET_VALID:
    case TlsFailure::WRONG_NAME:
    case TlsFailure::WRONG_USAGE:
    case TlsFailure::REVOKED:
    case TlsFailure::CERTIFICATE_INVALID:
      return DownloadOutcome::CERTIFICATE;
    case TlsFailure::NO_MEMORY:
      return DownloadOutcome::NO_MEMORY;
    default:
      return DownloadOutcome::TLS_HANDSHAKE;
  }
}

DownloadOutcome receive_body(const BodyReader& reader, const ResponseHead& head, std::string_view first) {
  switch (body_mode(head)) {
    case BodyMode::CHUNKED:
      return read_chunked_body(reader, first);
    case BodyMode::LENGTH:
      return read_length_body(reader, first, head.content_length);
    case BodyMode::UNTIL_CLOSE:
      return read_body_until_close(reader, first);
  }
  return DownloadOutcome::HEAD;
}

}  // namespace

DownloadOutcome download_with_outcome(const char* url, const char* destination, WaitHook between_waits,
                                      DownloadDetail* detail) {
  DownloadDetail unused;
  if (!detail) detail = &unused;
  *detail = {};
  if (!url) return DownloadOutcome::BAD_URL;
  Target target;
  target.scheme = url_scheme(url);
  if (target.scheme == UrlScheme::REFUSED) return DownloadOutcome::REFUSED_SCHEME;
  const DownloadOutcome found = find_target(url, &target);
  if (found != DownloadOutcome::COMPLETE) return found;
  if (!destination_usable(destination)) return DownloadOutcome::BAD_DESTINATION;

  Connection connection(open_connection(target.host.get(), target.port, between_waits), ConnectionCloser{detail});
  if (!connection) return DownloadOutcome::CONNECT;
  if (target.scheme == UrlScheme::HTTPS) {
    // The handshake and the certificate check are bounded as the head is.
    detail->tls = start_tls(connection.get(), target.host.get(), monotonic_milliseconds() + HEAD_TIMEOUT_MS);
    if (detail->tls.failure != TlsFailure::NONE) return tls_start_outcome(detail->tls.failure);
  }

  // One buffer, allocated once, carries the request and then every piece
  // received; it is as large as the request needs, whatever the lengths of
  // path and host, and never smaller than a piece.
  const PortSuffix suffix = port_suffix(target.port, default_port(target.scheme));
  const size_t length = request_length(target.path.get(), target.host.get(), suffix);
  if (length > INT32_MAX - 1) return DownloadOutcome::BAD_URL;
  const size_t size = std::max<size_t>(length + 1, PIECE_SIZE);
  HeapString buffer(static_cast<char*>(allocate_memory(size, false)));
  if (!buffer) return DownloadOutcome::NO_MEMORY;
  write_request(buffer.get(), length + 1, target.path.get(), target.host.get(), suffix);
  if (!send_with_timeout(connection.get(), buffer.get(), static_cast<int32_t>(length), SEND_TIMEOUT_SECONDS)) {
    return DownloadOutcome::SEND;
  }

  ResponseHead head;
  std::string_view first_body_bytes;
  const DownloadOutcome head_read = receive_head(connection.get(), buffer.get(), &head, &first_body_bytes);
  if (head_read != DownloadOutcome::COMPLETE) return head_read;

  TemporaryFile file;
  if (!file.create(destination)) return DownloadOutcome::TEMPORARY_FILE;
  const BodyReader reader{connection.get(), buffer.get(), PIECE_SIZE, file};
  const DownloadOutcome body = receive_body(reader, head, first_body_bytes);
  if (body != DownloadOutcome::COMPLETE) return body;
  return file.commit() ? DownloadOutcome::COMPLETE : DownloadOutcome::COMMIT;
}

int32_t download_to_file(const char* url, const char* destination, WaitHook between_waits) {
  return download_with_outcome(url, destination, between_waits) == DownloadOutcome::COMPLETE ? 1 : 0;
}
