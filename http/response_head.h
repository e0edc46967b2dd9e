#pragma once
// The response head (status line and header lines) as an incremental parser:
// bytes in, a state and a count of bytes taken out. Feed it the received
// bytes in any pieces; it keeps no more than a few counters, so a head costs
// no memory however it is split. Plain C++, no platform header.
//
// Lines end as http/line_end.h says.
//
// The status line is the version (any text up to the first blank, not
// examined), that blank, three digits, and then a blank or the line's end;
// the rest, the reason phrase, is kept only to be shown (its first
// RESPONSE_REASON_LIMIT bytes, each byte outside printable ASCII as "?").
// Only 200 is a file. A redirect (301, 302, 303, 307 or 308) is read to its
// end like a 200, for its Location. A status of 100 to 199 other than 101 is
// an interim head: its headers are skipped and the next head follows,
// within the same limit. Every other status is refused.
//
// A line that begins with a blank continues the header before it (the old
// line folding): the line break reads as one space. A folded first header
// line has nothing to continue and fails the head.
//
// Header names begin in the first column and are compared without regard to
// case, the colon directly after the name:
//   transfer-encoding:  the body is chunked when the value holds "chunked"
//                       (any case); never cleared by a later line
//   content-length:     a decimal number token (http/number_token.h), or
//                       a list of them separated by "," that are all the
//                       same number (a repeated header folded into one);
//                       anything else fails the head, and so does a
//                       length different from an earlier one
//   location:           a redirect's only: the value without the blanks
//                       around it, into the caller's buffer; a longer one
//                       fails the head, and so does a second one that
//                       differs from the first
// An empty line ends the head; the body starts after its line end.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/line_end.h"
#include "http/number_token.h"

// The most head a response may have, status line, interim heads and empty
// line included.
constexpr size_t RESPONSE_HEAD_LIMIT = 64 * 1024;
// The most of a reason phrase kept.
constexpr size_t RESPONSE_REASON_LIMIT = 64;

enum class HeadState : uint8_t {
  NEED_MORE,  // feed the next bytes
  COMPLETE,   // the head has ended; the rest of the input is body
  REFUSED,    // a well-formed status other than 200 (see rule)
  INVALID,    // the head breaks a rule (see rule)
};

// Which rule decided a head that is not COMPLETE.
enum class HeadRule : uint8_t {
  NONE,
  STATUS_NOT_OK,        // REFUSED: a final status other than 200
  PROTOCOL_SWITCH,      // REFUSED: 101
  STATUS_LINE,          // no three-digit status after the version and a blank
  FOLDED_FIRST_HEADER,  // the line after a status line begins with a blank
  LENGTH_NO_DIGITS,     // a content-length, or a value in its list, without digits
  LENGTH_NEGATIVE,      // a "-" before the digits
  LENGTH_NOT_A_NUMBER,  // any other byte that is no digit, blank or ",": "+5", "5 6", "12xyz", "0x10"
  LENGTH_TOO_LARGE,     // past 63 bits
  LENGTH_CONFLICT,      // two different lengths, in one list or on two lines
  TOO_LARGE,            // past RESPONSE_HEAD_LIMIT
  CUT_SHORT,            // the input ended before the empty line
  LOCATION_TOO_LONG,    // a redirect's location longer than the caller's buffer
  LOCATION_CONFLICT,    // a redirect with two different locations
};

// The statuses whose Location is followed.
constexpr bool is_redirect_status(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

enum class BodyMode : uint8_t { LENGTH, CHUNKED, UNTIL_CLOSE };

struct ResponseHead {
  HeadState state = HeadState::NEED_MORE;
  HeadRule rule = HeadRule::NONE;
  int32_t status = 0;  // of the head being read; the final one once COMPLETE
  char reason[RESPONSE_REASON_LIMIT + 1] = {};  // of the same head, NUL-terminated
  uint8_t reason_length = 0;
  bool chunked = false;
  int64_t content_length = -1;  // -1: no content-length line
  size_t head_bytes = 0;        // bytes of head taken so far, interim heads included

  // A redirect's location, in a buffer the caller sets before the first
  // bytes; location_lines counts the location lines seen.
  char* location = nullptr;
  size_t location_capacity = 0;
  size_t location_length = 0;
  uint8_t location_lines = 0;

  // The line being read.
  enum class Line : uint8_t { STATUS, NAME, TRANSFER_ENCODING, CONTENT_LENGTH, LOCATION, OTHER };
  enum class StatusPart : uint8_t { VERSION, CODE, REST };
  Line line = Line::STATUS;
  StatusPart status_part = StatusPart::VERSION;
  uint8_t status_digits = 0;
  bool interim = false;     // the head being read is an interim one
  size_t line_length = 0;
  LineEnd line_end;
  bool line_ended = false;  // a line has ended; a blank next would continue it
  bool final_cr = false;    // the empty line's CR was read; its LF may follow
  bool may_be_transfer_encoding = true;
  bool may_be_content_length = true;
  bool may_be_location = true;
  size_t value_length = 0;   // a location's value bytes so far, blanks held back excluded
  size_t held_blanks = 0;    // blanks that count only if a value byte follows
  bool value_started = false;
  uint8_t chunked_matched = 0;
  NumberToken length;  // the content-length value being read
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
