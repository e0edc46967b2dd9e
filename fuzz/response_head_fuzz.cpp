// The head parser on any bytes: it never reads outside its input, stays
// within its limit, and gives the same head whole as in pieces.
#include <cstdlib>
#include <string_view>

#include "fuzz/pieces.h"
#include "http/response_head.h"

namespace {

// Small, so that a location longer than its buffer comes up too.
constexpr size_t LOCATION_ROOM = 32;

struct Parsed {
  ResponseHead head;
  size_t head_end = 0;  // offset in the whole input where the body starts
  char location[LOCATION_ROOM];
};

void parse(const std::vector<std::string_view>& pieces, Parsed& parsed) {
  parsed.head.location = parsed.location;
  parsed.head.location_capacity = LOCATION_ROOM;
  size_t offset = 0;
  for (std::string_view piece : pieces) {
    const HeadStep step = parse_response_head(parsed.head, piece);
    if (step.consumed > piece.size()) std::abort();
    if (step.state != HeadState::NEED_MORE) {
      parsed.head_end = offset + step.consumed;
      return;
    }
    offset += piece.size();
  }
  end_response_head(parsed.head);
  parsed.head_end = offset;
}

std::string_view location_of(const Parsed& parsed) { return {parsed.location, parsed.head.location_length}; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Parsed whole, split;
  parse({input}, whole);
  parse(pieces_of(input, seed_of(input)), split);
  if (whole.head.state != split.head.state || whole.head_end != split.head_end) std::abort();
  if (whole.head.rule != split.head.rule) std::abort();
  // A rule names every head that did not end well, and none that did.
  if ((whole.head.state == HeadState::COMPLETE) != (whole.head.rule == HeadRule::NONE)) std::abort();
  if (whole.head.head_bytes > RESPONSE_HEAD_LIMIT + 1) std::abort();
  if (whole.head.state == HeadState::COMPLETE) {
    if (whole.head.content_length != split.head.content_length || whole.head.chunked != split.head.chunked) std::abort();
    if (whole.head.content_length < -1) std::abort();
    if (body_mode(whole.head) != body_mode(split.head)) std::abort();
    // Only a 200 head or a redirect's is ever complete.
    if (whole.head.status != 200 && !is_redirect_status(whole.head.status)) std::abort();
    if (location_of(whole) != location_of(split) || whole.head.location_lines != split.head.location_lines) std::abort();
    if (whole.head.location_length > LOCATION_ROOM) std::abort();
  }
  return 0;
}
