#pragma once
// The response head (status line and header lines) as an incremental parser:
// bytes in, a state and a count of bytes taken out. Feed it the received
// bytes in any pieces; it keeps no more than a few counters, so a head costs
// no memory however it is split. Plain C++, no platform header.
//
// Lines end at a CR only; one LF directly after the CR belongs to the line
// end, a bare LF is part of the line. The status line is accepted when it
// holds "200" or "302" anywhere. Header names begin in the first column and
// are compared without regard to case, the colon directly after the name:
//   transfer-encoding:  the body is chunked when the line holds "chunked"
//                       (any case); never cleared by a later line
//   content-length:     a decimal length after optional blanks and sign
//                       (digits up to the first non-digit, none reads 0)
// An empty line ends the head; the body starts after its line end.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The most head a response may have, status line and empty line included.
constexpr size_t RESPONSE_HEAD_LIMIT = 64 * 1024;

enum class HeadState : uint8_t {
  NEED_MORE,  // feed the next bytes
  COMPLETE,   // the head has ended; the rest of the input is body
  REFUSED,    // the status line holds neither "200" nor "302"
  INVALID,    // a length that is negative, too large or contradicts another;
              // or a head past RESPONSE_HEAD_LIMIT
};

enum class BodyMode : uint8_t { LENGTH, CHUNKED, UNTIL_CLOSE };

struct ResponseHead {
  HeadState state = HeadState::NEED_MORE;
  bool chunked = false;
  int64_t content_length = -1;  // -1: no content-length line
  size_t head_bytes = 0;        // bytes of head taken so far

  // The line being read.
  enum class Line : uint8_t { STATUS, NAME, TRANSFER_ENCODING, CONTENT_LENGTH, OTHER };
  enum class Number : uint8_t { BLANKS, DIGITS, END };
  Line line = Line::STATUS;
  size_t line_length = 0;
  bool after_cr = false;   // a LF here belongs to the line end just read
  bool final_cr = false;   // the empty line's CR was read; its LF may follow
  bool status_accepted = false;
  char recent[2] = {0, 0};  // the two bytes before this one, on the status line
  bool may_be_transfer_encoding = true;
  bool may_be_content_length = true;
  uint8_t chunked_matched = 0;
  Number number = Number::BLANKS;
  bool negative = false;
  bool too_large = false;
  bool has_digits = false;
  int64_t value = 0;
};

struct HeadStep {
  HeadState state;
  size_t consumed;  // bytes of this input that belong to the head
};

// Takes bytes until the head ends or fails. Once the state is not NEED_MORE,
// later calls take nothing and repeat the state.
HeadStep parse_response_head(ResponseHead& head, std::string_view bytes);

// The input has ended (the peer closed or the time ran out): the head is
// complete only if its empty line was read.
HeadState end_response_head(ResponseHead& head);

// How the body of a complete head is delimited: chunked wins over a length.
BodyMode body_mode(const ResponseHead& head);
