// One URL into one file: check the URL and the destination, connect, send the
// request, read the head, then the body into a temporary file, and put that
// in place of the destination only when everything has gone well. Each stage
// answers true to go on, or false with the report saying what went wrong.
#include "http/download.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/ascii.h"
#include "base/heap.h"
#include "http/body.h"
#include "http/download_outcome.h"
#include "http/piece_size.h"
#include "http/redirect.h"
#include "http/request_text.h"
#include "http/response_head.h"
#include "http/split_url.h"
#include "http/temporary_file.h"
#include "net/clock.h"
#include "net/connection.h"
#include "net/tls.h"

namespace {

struct HeapDeleter {
  void operator()(void* block) const { free_memory(block); }
};
using HeapString = std::unique_ptr<char, HeapDeleter>;

// Closing a connection leaves the TLS failure it met, if any, in the
// download's report: whichever stage it ended the download in.
struct ConnectionCloser {
  DownloadReport* report;
  void operator()(ConnectionRecord* connection) const {
    const TlsResult met = tls_failure(connection);
    if (met.failure != TlsFailure::NONE) report->tls = met;
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

bool fail(DownloadReport& report, DownloadOutcome outcome) {
  report.outcome = outcome;
  return false;
}

bool bad_url(DownloadReport& report, UrlFault fault) {
  report.url_fault = fault;
  return fail(report, DownloadOutcome::BAD_URL);
}

// Copies text into a fixed field of the report, cut to its size.
template <size_t Size>
void keep_text(char (&field)[Size], std::string_view text) {
  const size_t length = std::min(text.size(), Size - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

bool check_scheme(const char* url, Target* target, DownloadReport& report) {
  target->scheme = url_scheme(url);
  if (target->scheme != UrlScheme::REFUSED) return true;
  std::string_view scheme(url, std::strstr(url, "://") - url);
  while (!scheme.empty() && is_blank(scheme.front())) scheme.remove_prefix(1);
  keep_text(report.scheme, scheme);
  return fail(report, DownloadOutcome::REFUSED_SCHEME);
}

// Fills target from the URL. A URL that cannot make a safe request is
// refused: no host, a port outside 1..65535, or a control byte (a line
// break would end the request line early and let the rest pass as a
// request of its own).
bool find_target(const char* url, Target* target, DownloadReport& report) {
  if (!find_http_url_part(url, URL_HOST)) return bad_url(report, UrlFault::NO_HOST);
  target->host.reset(split_http_url(url, URL_HOST));
  if (!target->host) return fail(report, DownloadOutcome::NO_MEMORY);
  if (has_control_bytes(target->host.get())) return bad_url(report, UrlFault::CONTROL_BYTE);
  keep_text(report.host, target->host.get());
  HeapString port_text(split_http_url(url, URL_PORT));
  if (!port_text && find_http_url_part(url, URL_PORT)) return fail(report, DownloadOutcome::NO_MEMORY);
  target->port = http_port_number(port_text ? std::optional<std::string_view>(port_text.get()) : std::nullopt,
                                  default_port(target->scheme));
  if (target->port == 0) return bad_url(report, UrlFault::BAD_PORT);
  report.port = target->port;
  target->path.reset(split_http_url(url, URL_PATH));
  if (!target->path && find_http_url_part(url, URL_PATH)) return fail(report, DownloadOutcome::NO_MEMORY);
  if (target->path && has_control_bytes(target->path.get())) return bad_url(report, UrlFault::CONTROL_BYTE);
  return true;
}

bool check_destination(const char* destination, DownloadReport& report) {
  if (destination_usable(destination)) return true;
  report.destination_fault = destination && *destination ? DestinationFault::FOLDER : DestinationFault::EMPTY;
  return fail(report, DownloadOutcome::BAD_DESTINATION);
}

bool connect(const Target& target, WaitHook hook, Connection* connection, DownloadReport& report) {
  const ConnectResult result = connect_to_host(target.host.get(), target.port, hook);
  connection->reset(result.connection);
  if (result.connection) return true;
  report.connect = result.failure;
  report.error = static_cast<uint32_t>(result.error);
  return fail(report, result.failure == ConnectFailure::STOPPED ? DownloadOutcome::STOPPED : DownloadOutcome::CONNECT);
}

bool send_request(ConnectionRecord* connection, const char* request, size_t length, DownloadReport& report) {
  const SendResult sent =
      send_before(connection, request, static_cast<int32_t>(length), monotonic_milliseconds() + SEND_TIMEOUT_MS);
  if (sent.outcome == SendOutcome::SENT) return true;
  report.send = sent.outcome;
  report.error = static_cast<uint32_t>(sent.error);
  return fail(report, sent.outcome == SendOutcome::STOPPED ? DownloadOutcome::STOPPED : DownloadOutcome::SEND);
}

bool head_failed(const ResponseHead& head, DownloadReport& report) {
  report.rule = head.rule;
  report.status = head.status;
  keep_text(report.reason, std::string_view(head.reason, head.reason_length));
  return fail(report, head.state == HeadState::REFUSED ? DownloadOutcome::STATUS : DownloadOutcome::HEAD);
}

// Reads until the head's empty line (past any interim heads), all within one
// time-out counted from the first receive. Leaves in *body the body bytes
// that came with the head.
bool receive_head(ConnectionRecord* connection, char* buffer, ResponseHead* head, std::string_view* body,
                  DownloadReport& report) {
  const uint64_t deadline = monotonic_milliseconds() + HEAD_TIMEOUT_MS;
  for (;;) {
    const ReceiveResult piece = receive_before(connection, buffer, PIECE_SIZE, deadline);
    if (piece.outcome == ReceiveOutcome::STOPPED) return fail(report, DownloadOutcome::STOPPED);
    if (piece.outcome != ReceiveOutcome::DATA) {
      report.ended = piece.outcome;
      report.error = static_cast<uint32_t>(piece.error);
      if (end_response_head(*head) == HeadState::COMPLETE) break;
      return head_failed(*head, report);
    }
    const std::string_view bytes(buffer, static_cast<size_t>(piece.count));
    const HeadStep step = parse_response_head(*head, bytes);
    if (step.state == HeadState::COMPLETE) {
      *body = bytes.substr(step.consumed);
      break;
    }
    if (step.state != HeadState::NEED_MORE) return head_failed(*head, report);
  }
  report.status = head->status;
  keep_text(report.reason, std::string_view(head->reason, head->reason_length));
  return true;
}

// The outcome of a handshake or certificate check that failed.
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
    case TlsFailure::STOPPED:
      return DownloadOutcome::STOPPED;
    default:
      return DownloadOutcome::TLS_HANDSHAKE;
  }
}

bool receive_body(const BodyReader& reader, const ResponseHead& head, std::string_view first) {
  switch (body_mode(head)) {
    case BodyMode::CHUNKED:
      return read_chunked_body(reader, first);
    case BodyMode::LENGTH:
      return read_length_body(reader, first, head.content_length);
    case BodyMode::UNTIL_CLOSE:
      return read_body_until_close(reader, first);
  }
  return fail(reader.report, DownloadOutcome::HEAD);
}

// Connects to the target, and speaks TLS with it for https.
bool open_hop(const Target& target, WaitHook between_waits, Connection* connection, DownloadReport& report) {
  if (!connect(target, between_waits, connection, report)) return false;
  if (target.scheme != UrlScheme::HTTPS) return true;
  // The handshake and the certificate check are bounded as the head is.
  report.tls = start_tls(connection->get(), target.host.get(), monotonic_milliseconds() + HEAD_TIMEOUT_MS);
  if (report.tls.failure == TlsFailure::NONE) return true;
  return fail(report, tls_start_outcome(report.tls.failure));
}

// One buffer carries the request and then every piece received: as large
// as the request needs, whatever the lengths of path and host, and never
// smaller than a piece. It grows only for a later request that needs more.
struct PieceBuffer {
  HeapString bytes;
  size_t size = 0;
};

bool send_hop_request(ConnectionRecord* connection, const Target& target, PieceBuffer& buffer,
                      DownloadReport& report) {
  const PortSuffix suffix = port_suffix(target.port, default_port(target.scheme));
  const size_t length = request_length(target.path.get(), target.host.get(), suffix);
  if (length > INT32_MAX - 1) return bad_url(report, UrlFault::TOO_LONG);
  if (buffer.size < length + 1) {
    buffer.size = std::max<size_t>(length + 1, PIECE_SIZE);
    buffer.bytes.reset(static_cast<char*>(allocate_memory(buffer.size, false)));
    if (!buffer.bytes) return fail(report, DownloadOutcome::NO_MEMORY);
  }
  write_request(buffer.bytes.get(), length + 1, target.path.get(), target.host.get(), suffix);
  return send_request(connection, buffer.bytes.get(), length, report);
}

bool fetch(const char* url, const char* destination, WaitHook between_waits, DownloadReport& report) {
  if (!url) return bad_url(report, UrlFault::NO_URL);
  Target typed;
  if (!check_scheme(url, &typed, report)) return false;
  if (!find_target(url, &typed, report)) return false;
  if (!check_destination(destination, report)) return false;
  const HeapString typed_url(request_url(url, report));
  if (!typed_url) return false;

  // A redirect's location is kept whole: it cannot be longer than its head.
  const HeapString location(static_cast<char*>(allocate_memory(RESPONSE_HEAD_LIMIT, false)));
  if (!location) return fail(report, DownloadOutcome::NO_MEMORY);
  HeapString followed;  // the URL of the current request once a redirect led there
  PieceBuffer buffer;
  Connection connection(nullptr, ConnectionCloser{&report});
  ResponseHead head;
  std::string_view first_body_bytes;
  // Each request gets its own connection and its own time-outs, until an
  // answer that is no redirect.
  for (;;) {
    const char* current = followed ? followed.get() : typed_url.get();
    Target target;
    target.scheme = url_scheme(current);
    if (!find_target(current, &target, report)) return false;
    if (!open_hop(target, between_waits, &connection, report)) return false;
    if (!send_hop_request(connection.get(), target, buffer, report)) return false;
    head = ResponseHead{};
    head.location = location.get();
    head.location_capacity = RESPONSE_HEAD_LIMIT;
    if (!receive_head(connection.get(), buffer.bytes.get(), &head, &first_body_bytes, report)) return false;
    if (!is_redirect_status(head.status)) break;
    // The redirect's own page is never read: its connection ends now, so a
    // body that never ends holds nothing up.
    connection.reset();
    HeapString next(follow_redirect(current, {location.get(), head.location_length}, report));
    if (!next) return false;
    followed = std::move(next);
    keep_report_url(report, followed.get());
  }
  report.moved = followed && std::strcmp(followed.get(), typed_url.get()) != 0;
  if (body_mode(head) == BodyMode::LENGTH) report.length = head.content_length;

  // Nothing is written before this answer: every failure on the way left
  // the folder as it was.
  TemporaryFile file;
  if (!file.create(destination)) {
    report.error = file.error();
    return fail(report, DownloadOutcome::TEMPORARY_FILE);
  }
  report.in_body = true;
  const BodyReader reader{connection.get(), buffer.bytes.get(), PIECE_SIZE, file, report};
  if (!receive_body(reader, head, first_body_bytes)) return false;
  // The file is whole: nothing more is read, so a stop asked for now comes
  // too late to matter, and the file is put in place.
  connection.reset();
  if (!file.commit()) {
    report.error = file.error();
    return fail(report, DownloadOutcome::COMMIT);
  }
  return true;
}

}  // namespace

DownloadOutcome download_with_report(const char* url, const char* destination, WaitHook between_waits,
                                     DownloadReport& report) {
  report = DownloadReport{};
  if (fetch(url, destination, between_waits, report)) report.outcome = DownloadOutcome::COMPLETE;
  return report.outcome;
}

DownloadOutcome download_with_outcome(const char* url, const char* destination, WaitHook between_waits) {
  DownloadReport report;
  return download_with_report(url, destination, between_waits, report);
}

int32_t download_to_file(const char* url, const char* destination, WaitHook between_waits) {
  return download_with_outcome(url, destination, between_waits) == DownloadOutcome::COMPLETE ? 1 : 0;
}
