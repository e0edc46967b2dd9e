#include "http/response_head.h"

namespace {

constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding:";
constexpr std::string_view CONTENT_LENGTH = "content-length:";
constexpr std::string_view CHUNKED = "chunked";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void start_line(ResponseHead& head, ResponseHead::Line line) {
  head.line = line;
  head.line_length = 0;
  head.may_be_transfer_encoding = true;
  head.may_be_content_length = true;
  head.chunked_matched = 0;
  head.number = ResponseHead::Number::BLANKS;
  head.negative = false;
  head.too_large = false;
  head.has_digits = false;
  head.value = 0;
}

void take_name_byte(ResponseHead& head, char c) {
  const size_t index = head.line_length;
  const char folded = lower(c);
  head.may_be_transfer_encoding =
      head.may_be_transfer_encoding && index < TRANSFER_ENCODING.size() && folded == TRANSFER_ENCODING[index];
  head.may_be_content_length =
      head.may_be_content_length && index < CONTENT_LENGTH.size() && folded == CONTENT_LENGTH[index];
  if (head.may_be_transfer_encoding && index + 1 == TRANSFER_ENCODING.size()) {
    head.line = ResponseHead::Line::TRANSFER_ENCODING;
  } else if (head.may_be_content_length && index + 1 == CONTENT_LENGTH.size()) {
    head.line = ResponseHead::Line::CONTENT_LENGTH;
  } else if (!head.may_be_transfer_encoding && !head.may_be_content_length) {
    head.line = ResponseHead::Line::OTHER;
  }
}

void take_chunked_byte(ResponseHead& head, char c) {
  const char folded = lower(c);
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

void take_length_byte(ResponseHead& head, char c) {
  switch (head.number) {
    case ResponseHead::Number::BLANKS:
      if (is_space(c)) return;
      head.number = ResponseHead::Number::DIGITS;
      if (c == '+' || c == '-') {
        head.negative = c == '-';
        return;
      }
      [[fallthrough]];
    case ResponseHead::Number::DIGITS:
      if (c < '0' || c > '9') {
        head.number = ResponseHead::Number::END;
        return;
      }
      head.has_digits = true;
      if (head.value > (INT64_MAX - (c - '0')) / 10) {
        head.too_large = true;
      } else {
        head.value = head.value * 10 + (c - '0');
      }
      return;
    case ResponseHead::Number::END:
      return;
  }
}

void take_line_byte(ResponseHead& head, char c) {
  switch (head.line) {
    case ResponseHead::Line::STATUS:
      if ((head.recent[0] == '2' && head.recent[1] == '0' && c == '0') ||
          (head.recent[0] == '3' && head.recent[1] == '0' && c == '2')) {
        head.status_accepted = true;
      }
      head.recent[0] = head.recent[1];
      head.recent[1] = c;
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
    case ResponseHead::Line::OTHER:
      break;
  }
  ++head.line_length;
}

// A CR has ended the current line.
void end_line(ResponseHead& head) {
  switch (head.line) {
    case ResponseHead::Line::STATUS:
      if (!head.status_accepted) {
        head.state = HeadState::REFUSED;
        return;
      }
      break;
    case ResponseHead::Line::CONTENT_LENGTH: {
      // A length without digits, a negative or an oversized one cannot
      // delimit a body, and two different lengths leave no way to know which
      // one frames it.
      if (!head.has_digits || head.too_large || (head.negative && head.value != 0)) {
        head.state = HeadState::INVALID;
        return;
      }
      if (head.content_length != -1 && head.content_length != head.value) {
        head.state = HeadState::INVALID;
        return;
      }
      head.content_length = head.value;
      break;
    }
    case ResponseHead::Line::NAME:
      if (head.line_length == 0) {
        head.final_cr = true;
        return;
      }
      break;
    default:
      break;
  }
  head.after_cr = true;
  start_line(head, ResponseHead::Line::NAME);
}

}  // namespace

HeadStep parse_response_head(ResponseHead& head, std::string_view bytes) {
  size_t taken = 0;
  while (head.state == HeadState::NEED_MORE && taken < bytes.size()) {
    const char c = bytes[taken];
    if (head.final_cr && c != '\n') {
      head.state = HeadState::COMPLETE;  // this byte is the body's first
      break;
    }
    ++taken;
    if (++head.head_bytes > RESPONSE_HEAD_LIMIT) {
      head.state = HeadState::INVALID;
      break;
    }
    if (head.final_cr) {
      head.state = HeadState::COMPLETE;  // the LF of the empty line
      break;
    }
    if (head.after_cr) {
      head.after_cr = false;
      if (c == '\n') continue;
    }
    if (c == '\r') {
      end_line(head);
    } else {
      take_line_byte(head, c);
    }
  }
  return {head.state, taken};
}

HeadState end_response_head(ResponseHead& head) {
  if (head.state == HeadState::NEED_MORE) head.state = head.final_cr ? HeadState::COMPLETE : HeadState::INVALID;
  return head.state;
}

BodyMode body_mode(const ResponseHead& head) {
  if (head.chunked) return BodyMode::CHUNKED;
  if (head.content_length != -1) return BodyMode::LENGTH;
  return BodyMode::UNTIL_CLOSE;
}
