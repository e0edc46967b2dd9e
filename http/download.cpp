// One URL into one file: check the URL and the destination, connect, send the
// request, read the head, then the body into the .part file, and move that
// over the destination only when everything has gone well.
#include "http/download.h"

#include <algorithm>
#include <memory>

#include "base/heap.h"
#include "http/body.h"
#include "http/part_file.h"
#include "http/request_text.h"
#include "http/response_head.h"
#include "http/split_url.h"
#include "net/clock.h"
#include "net/connection.h"

namespace {

constexpr int32_t SEND_TIMEOUT_SECONDS = 10;
constexpr uint64_t HEAD_TIMEOUT_MS = 10000;

struct HeapDeleter {
  void operator()(void* block) const { free_memory(block); }
};
using HeapString = std::unique_ptr<char, HeapDeleter>;

struct ConnectionCloser {
  void operator()(ConnectionRecord* connection) const { close_connection(connection); }
};
using Connection = std::unique_ptr<ConnectionRecord, ConnectionCloser>;

// What the URL says to connect to and to ask for.
struct Target {
  HeapString host;
  HeapString path;  // null: the target is "/"
  uint16_t port = 0;
};

// Fills target from the URL; false when the URL cannot make a safe request:
// no host, a port outside 1..65535, or a control byte (a line break would
// end the request line early and let the rest pass as a request of its own).
bool find_target(const char* url, Target* target) {
  target->host.reset(split_http_url(url, URL_HOST));
  if (!target->host || has_control_bytes(target->host.get())) return false;
  HeapString port_text(split_http_url(url, URL_PORT));
  if (!port_text && find_http_url_part(url, URL_PORT)) return false;  // no memory for the copy
  target->port = http_port_number(port_text ? std::optional<std::string_view>(port_text.get()) : std::nullopt);
  if (target->port == 0) return false;
  target->path.reset(split_http_url(url, URL_PATH));
  if (!target->path && find_http_url_part(url, URL_PATH)) return false;
  return !(target->path && has_control_bytes(target->path.get()));
}

// Reads until the head's empty line, all within one time-out counted from the
// first receive. Leaves in *body the body bytes that came with the head.
bool receive_head(ConnectionRecord* connection, char* buffer, ResponseHead* head, std::string_view* body) {
  const uint64_t deadline = monotonic_milliseconds() + HEAD_TIMEOUT_MS;
  for (;;) {
    const ReceiveResult piece = receive_before(connection, buffer, PIECE_SIZE, deadline);
    if (piece.outcome != ReceiveOutcome::DATA) {
      *body = {};
      return end_response_head(*head) == HeadState::COMPLETE;
    }
    const std::string_view bytes(buffer, static_cast<size_t>(piece.count));
    const HeadStep step = parse_response_head(*head, bytes);
    if (step.state == HeadState::COMPLETE) {
      *body = bytes.substr(step.consumed);
      return true;
    }
    if (step.state != HeadState::NEED_MORE) return false;
  }
}

bool receive_body(ConnectionRecord* connection, char* buffer, const ResponseHead& head, std::string_view first,
                  PartFile& file) {
  switch (body_mode(head)) {
    case BodyMode::CHUNKED:
      return read_chunked_body(connection, buffer, first, file);
    case BodyMode::LENGTH:
      return read_length_body(connection, buffer, first, head.content_length, file);
    case BodyMode::UNTIL_CLOSE:
      return read_body_until_close(connection, buffer, first, file);
  }
  return false;
}

}  // namespace

int32_t download_to_file(const char* url, const char* destination, WaitHook between_waits) {
  if (!url || !destination_usable(destination)) return 0;
  Target target;
  if (!find_target(url, &target)) return 0;

  Connection connection(open_connection(target.host.get(), target.port, between_waits));
  if (!connection) return 0;

  // One buffer carries the request and then every piece received; it is as
  // large as the request needs, whatever the lengths of path and host.
  const PortSuffix suffix = port_suffix(target.port);
  const size_t length = request_length(target.path.get(), target.host.get(), suffix);
  if (length > INT32_MAX - 1) return 0;
  HeapString buffer(static_cast<char*>(allocate_memory(std::max<size_t>(length + 1, PIECE_SIZE), false)));
  if (!buffer) return 0;
  write_request(buffer.get(), length + 1, target.path.get(), target.host.get(), suffix);
  if (!send_with_timeout(connection.get(), buffer.get(), static_cast<int32_t>(length), SEND_TIMEOUT_SECONDS)) {
    return 0;
  }

  ResponseHead head;
  std::string_view first_body_bytes;
  if (!receive_head(connection.get(), buffer.get(), &head, &first_body_bytes)) return 0;

  PartFile file;
  if (!file.create(destination)) return 0;
  if (!receive_body(connection.get(), buffer.get(), head, first_body_bytes, file)) return 0;
  return file.commit() ? 1 : 0;
}
