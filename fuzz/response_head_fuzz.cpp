// The head parser on any bytes: it never reads outside its input, stays
// within its limit, and gives the same head whole as in pieces.
#include <cstdlib>
#include <string_view>

#include "fuzz/pieces.h"
#include "http/response_head.h"

namespace {

struct Parsed {
  ResponseHead head;
  size_t head_end = 0;  // offset in the whole input where the body starts
};

Parsed parse(const std::vector<std::string_view>& pieces) {
  Parsed parsed;
  size_t offset = 0;
  for (std::string_view piece : pieces) {
    const HeadStep step = parse_response_head(parsed.head, piece);
    if (step.consumed > piece.size()) std::abort();
    if (step.state != HeadState::NEED_MORE) {
      parsed.head_end = offset + step.consumed;
      return parsed;
    }
    offset += piece.size();
  }
  end_response_head(parsed.head);
  parsed.head_end = offset;
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Parsed whole = parse({input});
  const Parsed split = parse(pieces_of(input, seed_of(input)));
  if (whole.head.state != split.head.state || whole.head_end != split.head_end) std::abort();
  if (whole.head.rule != split.head.rule) std::abort();
  // A rule names every head that did not end well, and none that did.
  if ((whole.head.state == HeadState::COMPLETE) != (whole.head.rule == HeadRule::NONE)) std::abort();
  if (whole.head.head_bytes > RESPONSE_HEAD_LIMIT + 1) std::abort();
  if (whole.head.state == HeadState::COMPLETE) {
    if (whole.head.content_length != split.head.content_length || whole.head.chunked != split.head.chunked) std::abort();
    if (whole.head.content_length < -1) std::abort();
    if (body_mode(whole.head) != body_mode(split.head)) std::abort();
    if (whole.head.status != 200) std::abort();  // only a 200 head is ever complete
  }
  return 0;
}
