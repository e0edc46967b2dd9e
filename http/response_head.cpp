#include "http/response_head.h"

#include "base/ascii.h"

namespace {

constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding:";
constexpr std::string_view CONTENT_LENGTH = "content-length:";
constexpr std::string_view CHUNKED = "chunked";
constexpr std::string_view LOCATION = "location:";

void fail(ResponseHead& head, HeadState state, HeadRule rule) {
  head.state = state;
  head.rule = rule;
}

void start_line(ResponseHead& head, ResponseHead::Line line) {
  head.line = line;
  head.line_length = 0;
  head.may_be_transfer_encoding = true;
  head.may_be_content_length = true;
  head.may_be_location = true;
  head.chunked_matched = 0;
  head.length = {};
  head.value_length = 0;
  head.held_blanks = 0;
  head.value_started = false;
}

// An interim head has ended: the next head starts from its status line, with
// nothing of the interim one kept but the bytes it counted.
void start_next_head(ResponseHead& head) {
  head.status = 0;
  head.reason[0] = '\0';
  head.reason_length = 0;
  head.status_part = ResponseHead::StatusPart::VERSION;
  head.status_digits = 0;
  head.interim = false;
  head.chunked = false;
  head.content_length = -1;
  head.location_length = 0;
  head.location_lines = 0;
  head.line_ended = false;
  head.final_cr = false;
  start_line(head, ResponseHead::Line::STATUS);
}

// Server text that may reach the user's screen: printable ASCII only.
void keep_reason_byte(ResponseHead& head, char c) {
  if (head.reason_length == RESPONSE_REASON_LIMIT) return;
  head.reason[head.reason_length++] = c >= 0x20 && c <= 0x7E ? c : '?';
  head.reason[head.reason_length] = '\0';
}

void take_status_byte(ResponseHead& head, char c) {
  switch (head.status_part) {
    case ResponseHead::StatusPart::VERSION:
      if (is_blank(c)) head.status_part = ResponseHead::StatusPart::CODE;
      return;
    case ResponseHead::StatusPart::CODE:
      if (head.status_digits == 3) {
        if (is_blank(c)) {
          head.status_part = ResponseHead::StatusPart::REST;
        } else {
          fail(head, HeadState::INVALID, HeadRule::STATUS_LINE);
        }
      } else if (c >= '0' && c <= '9') {
        head.status = head.status * 10 + (c - '0');
        ++head.status_digits;
      } else {
        fail(head, HeadState::INVALID, HeadRule::STATUS_LINE);
      }
      return;
    case ResponseHead::StatusPart::REST:
      keep_reason_byte(head, c);
      return;
  }
}

// The status line has ended at its CR: decide on the status.
void end_status_line(ResponseHead& head) {
  if (head.status_part == ResponseHead::StatusPart::VERSION || head.status_digits != 3) {
    fail(head, HeadState::INVALID, HeadRule::STATUS_LINE);
  } else if (head.status == 101) {
    fail(head, HeadState::REFUSED, HeadRule::PROTOCOL_SWITCH);
  } else if (head.status >= 100 && head.status <= 199) {
    head.interim = true;
  } else if (head.status != 200 && !is_redirect_status(head.status)) {
    fail(head, HeadState::REFUSED, HeadRule::STATUS_NOT_OK);
  }
}

void take_name_byte(ResponseHead& head, char c) {
  if (head.interim) {
    head.line = ResponseHead::Line::OTHER;  // an interim head's headers say nothing of the body
    return;
  }
  const size_t index = head.line_length;
  const char folded = ascii_lower(c);
  head.may_be_transfer_encoding =
      head.may_be_transfer_encoding && index < TRANSFER_ENCODING.size() && folded == TRANSFER_ENCODING[index];
  head.may_be_content_length =
      head.may_be_content_length && index < CONTENT_LENGTH.size() && folded == CONTENT_LENGTH[index];
  // Only a redirect's location is wanted.
  head.may_be_location = head.may_be_location && is_redirect_status(head.status) && index < LOCATION.size() &&
                         folded == LOCATION[index];
  if (head.may_be_transfer_encoding && index + 1 == TRANSFER_ENCODING.size()) {
    head.line = ResponseHead::Line::TRANSFER_ENCODING;
  } else if (head.may_be_content_length && index + 1 == CONTENT_LENGTH.size()) {
    head.line = ResponseHead::Line::CONTENT_LENGTH;
  } else if (head.may_be_location && index + 1 == LOCATION.size()) {
    head.line = ResponseHead::Line::LOCATION;
    ++head.location_lines;
  } else if (!head.may_be_transfer_encoding && !head.may_be_content_length && !head.may_be_location) {
    head.line = ResponseHead::Line::OTHER;
  }
}

// One byte of a location's value, kept (the first location) or compared
// with the kept one (any later one). Blanks are held back until a byte
// that is no blank follows them, so that those at the value's end never
// count; those at its start are skipped.
void take_location_value_byte(ResponseHead& head, char c) {
  if (is_blank(c)) {
    if (head.value_started) ++head.held_blanks;
    return;
  }
  head.value_started = true;
  auto take = [&](char byte) {
    const size_t at = head.value_length++;
    if (head.location_lines == 1) {
      if (at >= head.location_capacity) {
        fail(head, HeadState::INVALID, HeadRule::LOCATION_TOO_LONG);
        return;
      }
      head.location[at] = byte;
      head.location_length = head.value_length;
    } else if (at >= head.location_length || head.location[at] != byte) {
      fail(head, HeadState::INVALID, HeadRule::LOCATION_CONFLICT);
    }
  };
  for (; head.held_blanks > 0 && head.state == HeadState::NEED_MORE; --head.held_blanks) take(' ');
  if (head.state == HeadState::NEED_MORE) take(c);
}

// A later location line has ended: it must have said all of the first.
void end_location_value(ResponseHead& head) {
  if (head.location_lines > 1 && head.value_length != head.location_length)
    fail(head, HeadState::INVALID, HeadRule::LOCATION_CONFLICT);
}

void take_chunked_byte(ResponseHead& head, char c) {
  const char folded = ascii_lower(c);
  // "chunked" repeats none of its own prefixes, so a mismatch restarts the
  // match at this byte.
  if (folded == CHUNKED[head.chunked_matched]) {
    if (++head.chunked_matched == CHUNKED.size()) {
      head.chunked = true;
      head.chunked_matched = 0;
    }
  } else {
    head.chunked_matched = folded == CHUNKED[0] ? 1 : 0;
  }
}

// One value of a content-length has ended, at a "," or at the line's end.
// A length without digits cannot delimit a body, and two different lengths
// leave no way to know which one frames it.
void end_length_value(ResponseHead& head) {
  if (!has_digits(head.length)) {
    fail(head, HeadState::INVALID, HeadRule::LENGTH_NO_DIGITS);
  } else if (head.content_length != -1 && head.content_length != head.length.value) {
    fail(head, HeadState::INVALID, HeadRule::LENGTH_CONFLICT);
  } else {
    head.content_length = head.length.value;
    head.length = {};
  }
}

// One byte of a content-length's value: the number's, the "," that ends one
// value of a list, or a byte that fails the head.
void take_length_byte(ResponseHead& head, char c) {
  switch (take_number_byte(head.length, c, 10)) {
    case NumberByte::TAKEN:
      return;
    case NumberByte::TOO_LARGE:
      fail(head, HeadState::INVALID, HeadRule::LENGTH_TOO_LARGE);
      return;
    case NumberByte::NOT_TAKEN:
      break;
  }
  if (c == ',') {
    end_length_value(head);
  } else if (c == '-' && !has_digits(head.length)) {
    fail(head, HeadState::INVALID, HeadRule::LENGTH_NEGATIVE);
  } else {
    fail(head, HeadState::INVALID, HeadRule::LENGTH_NOT_A_NUMBER);
  }
}

void take_line_byte(ResponseHead& head, char c) {
  switch (head.line) {
    case ResponseHead::Line::STATUS:
      take_status_byte(head, c);
      break;
    case ResponseHead::Line::NAME:
      take_name_byte(head, c);
      break;
    case ResponseHead::Line::TRANSFER_ENCODING:
      take_chunked_byte(head, c);
      break;
    case ResponseHead::Line::CONTENT_LENGTH:
      take_length_byte(head, c);
      break;
    case ResponseHead::Line::LOCATION:
      take_location_value_byte(head, c);
      break;
    case ResponseHead::Line::OTHER:
      break;
  }
  ++head.line_length;
}

// A header line has ended for good: the next line does not continue it.
void finish_header_line(ResponseHead& head) {
  if (head.line == ResponseHead::Line::CONTENT_LENGTH) end_length_value(head);
  if (head.line == ResponseHead::Line::LOCATION) end_location_value(head);
}

// The first byte after a line end: a blank continues the line, a line end
// is the empty line, anything else starts a header line.
void take_line_start_byte(ResponseHead& head, char c, LineByte kind) {
  if (is_blank(c)) {
    if (head.line == ResponseHead::Line::STATUS) {
      fail(head, HeadState::INVALID, HeadRule::FOLDED_FIRST_HEADER);
      return;
    }
    head.line_ended = false;
    take_line_byte(head, ' ');  // the folded line break
    take_line_byte(head, c);
    return;
  }
  finish_header_line(head);
  if (head.state != HeadState::NEED_MORE) return;
  head.line_ended = false;
  if (kind == LineByte::END) {
    head.final_cr = true;
    return;
  }
  start_line(head, ResponseHead::Line::NAME);
  take_line_byte(head, c);
}

// One byte of the head, the empty line's CR not yet read.
void take_head_byte(ResponseHead& head, char c, LineByte kind) {
  if (kind == LineByte::END_LF) return;
  if (head.line_ended) {
    take_line_start_byte(head, c, kind);
    return;
  }
  if (kind == LineByte::TEXT) {
    take_line_byte(head, c);
    return;
  }
  if (head.line == ResponseHead::Line::STATUS) end_status_line(head);
  head.line_ended = true;
}

}  // namespace

HeadStep parse_response_head(ResponseHead& head, std::string_view bytes) {
  size_t taken = 0;
  while (head.state == HeadState::NEED_MORE && taken < bytes.size()) {
    const char c = bytes[taken];
    const LineByte kind = take_line_end_byte(head.line_end, c);
    if (head.final_cr && !head.interim && kind != LineByte::END_LF) {
      head.state = HeadState::COMPLETE;  // this byte is the body's first
      break;
    }
    ++taken;
    if (++head.head_bytes > RESPONSE_HEAD_LIMIT) {
      fail(head, HeadState::INVALID, HeadRule::TOO_LARGE);
      break;
    }
    if (head.final_cr) {
      if (!head.interim) {
        head.state = HeadState::COMPLETE;  // the LF of the empty line
        break;
      }
      start_next_head(head);
      if (kind == LineByte::END_LF) continue;  // the interim head's last LF
    }
    take_head_byte(head, c, kind);
  }
  return {head.state, taken};
}

HeadState end_response_head(ResponseHead& head) {
  if (head.state == HeadState::NEED_MORE) {
    if (head.final_cr && !head.interim) {
      head.state = HeadState::COMPLETE;
    } else {
      fail(head, HeadState::INVALID, HeadRule::CUT_SHORT);
    }
  }
  return head.state;
}

BodyMode body_mode(const ResponseHead& head) {
  if (head.chunked) return BodyMode::CHUNKED;
  if (head.content_length != -1) return BodyMode::LENGTH;
  return BodyMode::UNTIL_CLOSE;
}
