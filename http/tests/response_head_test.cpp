#include <gtest/gtest.h>

#include <string>

#include "http/response_head.h"
#include "pieces.h"

namespace {

struct Outcome {
  ResponseHead head;
  std::string body;      // every byte after the head
  std::string location;  // a redirect's, as kept
};

// The buffer a redirect's location is kept in, as small as the tests need.
constexpr size_t LOCATION_ROOM = 64;

Outcome feed(const std::vector<std::string_view>& pieces) {
  Outcome outcome;
  char location[LOCATION_ROOM];
  outcome.head.location = location;
  outcome.head.location_capacity = sizeof location;
  bool settled = false;
  for (std::string_view piece : pieces) {
    if (settled) {
      if (outcome.head.state == HeadState::COMPLETE) outcome.body += piece;
      continue;
    }
    const HeadStep step = parse_response_head(outcome.head, piece);
    EXPECT_LE(step.consumed, piece.size());
    if (step.state == HeadState::COMPLETE) outcome.body += piece.substr(step.consumed);
    settled = step.state != HeadState::NEED_MORE;
  }
  if (!settled) end_response_head(outcome.head);
  outcome.location.assign(location, outcome.head.location_length);
  outcome.head.location = nullptr;
  return outcome;
}

struct HeadCase {
  const char* what;
  std::string input;
  HeadState state;
  HeadRule rule;
  BodyMode mode;
  int64_t length;
  std::string body;
};

constexpr auto OK = HeadState::COMPLETE;
constexpr auto NONE = HeadRule::NONE;
constexpr auto BAD = HeadState::INVALID;
constexpr auto REFUSED = HeadState::REFUSED;
constexpr auto LENGTH = BodyMode::LENGTH;
constexpr auto CHUNKED = BodyMode::CHUNKED;
constexpr auto UNTIL_CLOSE = BodyMode::UNTIL_CLOSE;

const HeadCase head_cases[] = {
    {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", OK, NONE, LENGTH, 5, "hello"},
    {"no blank after colon", "HTTP/1.1 200 OK\r\ncontent-length:5\r\n\r\n", OK, NONE, LENGTH, 5, ""},
    {"name in any case, blanks around the digits", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: \t12 \t\r\n\r\n", OK, NONE,
     LENGTH, 12, ""},
    // The whole value is one decimal number, or a list of the same number
    // (a repeated header folded into one line); a value read only as far as
    // it looks like a number would frame a body the server did not mean.
    {"a list of one number", "HTTP/1.1 200 OK\r\nContent-Length: 5, 5,5\r\n\r\n", OK, NONE, LENGTH, 5, ""},
    {"thousands separator", "HTTP/1.1 200 OK\r\nContent-Length: 1,000\r\n\r\nx", BAD, HeadRule::LENGTH_CONFLICT,
     UNTIL_CLOSE, 1, ""},
    {"a list of two numbers", "HTTP/1.1 200 OK\r\nContent-Length: 5, 6\r\n\r\n", BAD, HeadRule::LENGTH_CONFLICT,
     UNTIL_CLOSE, 5, ""},
    {"an empty value at a list's end", "HTTP/1.1 200 OK\r\nContent-Length: 5,\r\n\r\n", BAD,
     HeadRule::LENGTH_NO_DIGITS, UNTIL_CLOSE, 5, ""},
    {"an empty value at a list's start", "HTTP/1.1 200 OK\r\nContent-Length: ,5\r\n\r\n", BAD,
     HeadRule::LENGTH_NO_DIGITS, UNTIL_CLOSE, -1, ""},
    {"a sign", "HTTP/1.1 200 OK\r\nContent-Length: +12\r\n\r\n", BAD, HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE,
     -1, ""},
    {"letters after the digits", "HTTP/1.1 200 OK\r\nContent-Length: 12xyz\r\n\r\n", BAD,
     HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE, -1, ""},
    {"two numbers", "HTTP/1.1 200 OK\r\nContent-Length: 5 6\r\n\r\n", BAD, HeadRule::LENGTH_NOT_A_NUMBER,
     UNTIL_CLOSE, -1, ""},
    {"hexadecimal", "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\n", BAD, HeadRule::LENGTH_NOT_A_NUMBER,
     UNTIL_CLOSE, -1, ""},
    {"a vertical tab is no blank", "HTTP/1.1 200 OK\r\nContent-Length: \v5\r\n\r\n", BAD,
     HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE, -1, ""},
    {"a form feed is no blank", "HTTP/1.1 200 OK\r\nContent-Length: 5\f\r\n\r\n", BAD,
     HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE, -1, ""},
    // A length without digits frames nothing: taking it as 0 would save an
    // empty file and call the download complete.
    {"no digits", "HTTP/1.1 200 OK\r\nContent-Length: \t \r\n\r\nzz", BAD, HeadRule::LENGTH_NO_DIGITS, UNTIL_CLOSE,
     -1, ""},
    {"letters", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nzz", BAD, HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE,
     -1, ""},
    {"only a sign", "HTTP/1.1 200 OK\r\nContent-Length: +\r\n\r\n", BAD, HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE,
     -1, ""},

    // The status: three digits after the version and its blank, then a
    // blank or the line's end. Only 200 is a file.
    {"status without a reason", "HTTP/1.1 200\r\n\r\nx", OK, NONE, UNTIL_CLOSE, -1, "x"},
    {"version not examined", "ICY 200 OK\r\n\r\n", OK, NONE, UNTIL_CLOSE, -1, ""},
    {"tab after the version", "HTTP/1.1\t200\tOK\r\n\r\n", OK, NONE, UNTIL_CLOSE, -1, ""},
    {"300 is no file", "HTTP/1.1 300 Multiple Choices\r\nLocation: /x\r\n\r\n", REFUSED, HeadRule::STATUS_NOT_OK,
     UNTIL_CLOSE, -1, ""},
    {"304 is no file", "HTTP/1.1 304 Not Modified\r\nLocation: /x\r\n\r\n", REFUSED, HeadRule::STATUS_NOT_OK,
     UNTIL_CLOSE, -1, ""},
    {"204 is no file", "HTTP/1.1 204 No Content\r\n\r\n", REFUSED, HeadRule::STATUS_NOT_OK, UNTIL_CLOSE, -1, ""},
    {"200 in the reason", "HTTP/1.1 404 Error 200\r\n\r\n", REFUSED, HeadRule::STATUS_NOT_OK, UNTIL_CLOSE, -1, ""},
    {"200 in the version", "HTTP/200 404 x\r\n\r\n", REFUSED, HeadRule::STATUS_NOT_OK, UNTIL_CLOSE, -1, ""},
    {"status glued to more digits", "HTTP/1.1 400.200 Not Ok\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1,
     ""},
    {"four digits", "HTTP/1.1 2000 OK\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1, ""},
    {"two digits", "HTTP/1.1 20 0\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1, ""},
    {"a bare LF glues a header to the status", "HTTP/1.1 404\nX: 200\r\n\r\n", BAD, HeadRule::STATUS_LINE,
     UNTIL_CLOSE, -1, ""},
    {"two blanks before the status", "HTTP/1.1  200 OK\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1, ""},
    {"no blank at all", "HTTP/1.1\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1, ""},
    {"empty status line", "\r\nHTTP/1.1 200 OK\r\n\r\n", BAD, HeadRule::STATUS_LINE, UNTIL_CLOSE, -1, ""},

    // Interim heads are read past; 101 is no download.
    {"100 then 200", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi", OK, NONE,
     LENGTH, 2, "hi"},
    {"interim headers are not the final ones",
     "HTTP/1.1 103 Early Hints\r\nContent-Length: 9\r\nTransfer-Encoding: chunked\r\n\r\n"
     "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi",
     OK, NONE, LENGTH, 2, "hi"},
    {"several interim heads, CR alone", "HTTP/1.1 100 a\r\rHTTP/1.1 102\r\rHTTP/1.1 200 OK\r\r", OK, NONE,
     UNTIL_CLOSE, -1, ""},
    {"interim then refused", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\n\r\n", REFUSED,
     HeadRule::STATUS_NOT_OK, UNTIL_CLOSE, -1, ""},
    {"interim then nothing", "HTTP/1.1 100 Continue\r\n\r\n", BAD, HeadRule::CUT_SHORT, UNTIL_CLOSE, -1, ""},
    {"101", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", REFUSED, HeadRule::PROTOCOL_SWITCH,
     UNTIL_CLOSE, -1, ""},

    // Folded lines continue the header before them.
    {"folded transfer-encoding", "HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n chunked\r\n\r\n5\r\n", OK, NONE,
     CHUNKED, -1, "5\r\n"},
    {"folded with a tab, CR alone", "HTTP/1.1 200 OK\rTransfer-Encoding: gzip,\r\tchunked\r\r", OK, NONE, CHUNKED,
     -1, ""},
    {"folded length", "HTTP/1.1 200 OK\r\nContent-Length:\r\n   7\r\n\r\n", OK, NONE, LENGTH, 7, ""},
    {"a fold is a blank, not nothing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chun\r\n ked\r\n\r\n", OK, NONE,
     UNTIL_CLOSE, -1, ""},
    {"a folded name is no name", "HTTP/1.1 200 OK\r\nContent-\r\n Length: 5\r\n\r\n", OK, NONE, UNTIL_CLOSE, -1,
     ""},
    {"fold after a length's digits", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n 6\r\n\r\n", BAD,
     HeadRule::LENGTH_NOT_A_NUMBER, UNTIL_CLOSE, -1, ""},
    {"fold inside a list", "HTTP/1.1 200 OK\r\nContent-Length: 5,\r\n 5\r\n\r\n", OK, NONE, LENGTH, 5, ""},
    {"folded first header line", "HTTP/1.1 200 OK\r\n Content-Length: 5\r\n\r\n", BAD,
     HeadRule::FOLDED_FIRST_HEADER, UNTIL_CLOSE, -1, ""},
    {"folded first line of the final head", "HTTP/1.1 100 x\r\n\r\nHTTP/1.1 200 OK\r\n\tX: y\r\n\r\n", BAD,
     HeadRule::FOLDED_FIRST_HEADER, UNTIL_CLOSE, -1, ""},

    {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n", OK, NONE, CHUNKED, -1, "5\r\n"},
    {"chunked in any case", "HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, CHUNKED\r\n\r\n", OK, NONE, CHUNKED, -1, ""},
    {"chunked after a near miss", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunkchunked\r\n\r\n", OK, NONE, CHUNKED,
     -1, ""},
    {"other coding reads until close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", OK, NONE, UNTIL_CLOSE,
     -1, ""},
    {"chunked is never cleared", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n",
     OK, NONE, CHUNKED, -1, ""},
    {"chunked wins over a length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n", OK,
     NONE, CHUNKED, 10, ""},
    {"blank before the colon", "HTTP/1.1 200 OK\r\nContent-Length : 5\r\n\r\n", OK, NONE, UNTIL_CLOSE, -1, ""},
    {"length past 4 GiB", "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\n", OK, NONE, LENGTH, 5000000000LL,
     ""},
    {"4 GiB and 5 keeps its high bits", "HTTP/1.1 200 OK\r\nContent-Length: 4294967301\r\n\r\n", OK, NONE, LENGTH,
     4294967301LL, ""},
    {"largest length", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", OK, NONE, LENGTH, INT64_MAX,
     ""},
    {"length too large", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n", BAD,
     HeadRule::LENGTH_TOO_LARGE, UNTIL_CLOSE, -1, ""},
    {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", BAD, HeadRule::LENGTH_NEGATIVE,
     UNTIL_CLOSE, -1, ""},
    {"minus one is negative too", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", BAD, HeadRule::LENGTH_NEGATIVE,
     UNTIL_CLOSE, -1, ""},
    {"minus zero is negative too", "HTTP/1.1 200 OK\r\nContent-Length: -0\r\n\r\n", BAD, HeadRule::LENGTH_NEGATIVE,
     UNTIL_CLOSE, -1, ""},
    {"two different lengths", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", BAD,
     HeadRule::LENGTH_CONFLICT, LENGTH, 5, ""},
    {"the same length twice", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 05\r\n\r\n", OK, NONE,
     LENGTH, 5, ""},
    {"a list, then another length", "HTTP/1.1 200 OK\r\nContent-Length: 5,5\r\nContent-Length: 6\r\n\r\n", BAD,
     HeadRule::LENGTH_CONFLICT, LENGTH, 5, ""},
    {"CR alone ends lines", "HTTP/1.1 200 OK\rContent-Length: 2\r\rhi", OK, NONE, LENGTH, 2, "hi"},
    {"one LF after the last CR belongs to it", "HTTP/1.1 200 OK\r\n\r\n\nX", OK, NONE, UNTIL_CLOSE, -1, "\nX"},
    {"a bare LF ends no line", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc", BAD, HeadRule::CUT_SHORT, UNTIL_CLOSE, -1,
     ""},
    {"bare LF inside a header line", "HTTP/1.1 200 OK\r\nX: a\nContent-Length: 3\r\n\r\n", OK, NONE, UNTIL_CLOSE,
     -1, ""},
    {"input ends after the empty line's CR", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r", OK, NONE, LENGTH, 0, ""},
    {"input ends inside the head", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", BAD, HeadRule::CUT_SHORT, LENGTH, -1,
     ""},
    {"no bytes at all", "", BAD, HeadRule::CUT_SHORT, UNTIL_CLOSE, -1, ""},
};

TEST(ResponseHead, TableInEverySplit) {
  for (const HeadCase& c : head_cases) {
    for (const Split& split : splits_of(c.input)) {
      const Outcome outcome = feed(split.pieces);
      const std::string where = std::string(c.what) + " / " + split.name;
      EXPECT_EQ(outcome.head.state, c.state) << where;
      EXPECT_EQ(outcome.head.rule, c.rule) << where;
      if (c.state == HeadState::REFUSED) continue;
      EXPECT_EQ(outcome.head.content_length, c.length) << where;
      if (c.state != HeadState::COMPLETE) continue;
      EXPECT_EQ(body_mode(outcome.head), c.mode) << where;
      EXPECT_EQ(outcome.body, c.body) << where;
    }
  }
}

// A redirect is read to its end for its location; only a redirect's is
// kept, without the blanks around it, and a second one must say the same.
TEST(ResponseHead, RedirectsAreReadForTheirLocation) {
  const std::string long_location(LOCATION_ROOM + 1, 'l');
  const struct {
    const char* what;
    std::string input;
    HeadState state;
    HeadRule rule;
    int32_t status;
    int lines;
    std::string location;
  } cases[] = {
      {"301", "HTTP/1.1 301 Moved Permanently\r\nLocation: /x\r\n\r\n<a>", OK, NONE, 301, 1, "/x"},
      {"blanks around", "HTTP/1.1 302 Found\r\nLocation: \t http://h/a b \t \r\n\r\n", OK, NONE, 302, 1,
       "http://h/a b"},
      {"303, name in capitals", "HTTP/1.1 303 See Other\r\nLOCATION:/y\r\n\r\n", OK, NONE, 303, 1, "/y"},
      {"307", "HTTP/1.1 307\r\nContent-Length: 0\r\nLocation: a\r\n\r\n", OK, NONE, 307, 1, "a"},
      {"308, CR alone", "HTTP/1.1 308 Permanent Redirect\rLocation: b\r\r", OK, NONE, 308, 1, "b"},
      {"no location", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", OK, NONE, 302, 0, ""},
      {"an empty location", "HTTP/1.1 302 Found\r\nLocation:  \r\n\r\n", OK, NONE, 302, 1, ""},
      {"the same location twice", "HTTP/1.1 302 Found\r\nLocation: /x\r\nLocation:/x \r\n\r\n", OK, NONE, 302, 2,
       "/x"},
      {"a folded location: its line break is a blank", "HTTP/1.1 302 Found\r\nLocation: /a\r\n b\r\n\r\n", OK,
       NONE, 302, 1, "/a  b"},
      {"two different locations", "HTTP/1.1 302 Found\r\nLocation: /x\r\nLocation: /y\r\n\r\n", BAD,
       HeadRule::LOCATION_CONFLICT, 302, 2, "/x"},
      {"a second one shorter", "HTTP/1.1 302 Found\r\nLocation: /xy\r\nLocation: /x\r\n\r\n", BAD,
       HeadRule::LOCATION_CONFLICT, 302, 2, "/xy"},
      {"a second one longer", "HTTP/1.1 302 Found\r\nLocation: /x\r\nLocation: /x y\r\n\r\n", BAD,
       HeadRule::LOCATION_CONFLICT, 302, 2, "/x"},
      {"longer than the room", "HTTP/1.1 302 Found\r\nLocation: " + long_location + "\r\n\r\n", BAD,
       HeadRule::LOCATION_TOO_LONG, 302, 1, long_location.substr(0, LOCATION_ROOM)},
      {"a 200's location is not kept", "HTTP/1.1 200 OK\r\nLocation: /x\r\n\r\n", OK, NONE, 200, 0, ""},
      {"nor an interim head's", "HTTP/1.1 103 x\r\nLocation: /x\r\n\r\nHTTP/1.1 302 Found\r\n\r\n", OK, NONE,
       302, 0, ""},
      {"a longer name is another header", "HTTP/1.1 302 Found\r\nLocations: /x\r\n\r\n", OK, NONE, 302, 0, ""},
  };
  for (const auto& c : cases) {
    for (const Split& split : splits_of(c.input)) {
      const Outcome outcome = feed(split.pieces);
      const std::string where = std::string(c.what) + " / " + split.name;
      EXPECT_EQ(outcome.head.state, c.state) << where;
      EXPECT_EQ(outcome.head.rule, c.rule) << where;
      EXPECT_EQ(outcome.head.status, c.status) << where;
      EXPECT_EQ(outcome.head.location_lines, c.lines) << where;
      EXPECT_EQ(outcome.location, c.location) << where;
    }
  }
}

std::string head_of_size(size_t size) {
  const std::string start = "HTTP/1.1 200 OK\r\nX: ";
  const std::string end = "\r\nContent-Length: 1\r\n\r\n";
  return start + std::string(size - start.size() - end.size(), 'a') + end;
}

TEST(ResponseHead, LimitIsSixtyFourKibibytesOfHead) {
  for (const auto& [size, state] : {std::pair{RESPONSE_HEAD_LIMIT, HeadState::COMPLETE},
                                    std::pair{RESPONSE_HEAD_LIMIT + 1, HeadState::INVALID}}) {
    const std::string head = head_of_size(size);
    ResponseHead parsed;
    const HeadStep step = parse_response_head(parsed, head + "B");
    EXPECT_EQ(step.state, state) << size;
    EXPECT_EQ(parsed.rule, state == HeadState::COMPLETE ? HeadRule::NONE : HeadRule::TOO_LARGE) << size;
    if (state == HeadState::COMPLETE) {
      EXPECT_EQ(step.consumed, head.size());
    }
  }
  // Endless bytes without a line end stop at the limit, too.
  ResponseHead endless;
  const std::string piece(1000, 'x');
  HeadState state = HeadState::NEED_MORE;
  for (int i = 0; i < 100 && state == HeadState::NEED_MORE; ++i) state = parse_response_head(endless, piece).state;
  EXPECT_EQ(state, HeadState::INVALID);
  EXPECT_EQ(endless.rule, HeadRule::TOO_LARGE);
  // Interim heads count towards the same limit.
  std::string interims;
  while (interims.size() <= RESPONSE_HEAD_LIMIT) interims += "HTTP/1.1 100 Continue\r\n\r\n";
  ResponseHead repeated;
  EXPECT_EQ(parse_response_head(repeated, interims + "HTTP/1.1 200 OK\r\n\r\n").state, HeadState::INVALID);
  EXPECT_EQ(repeated.rule, HeadRule::TOO_LARGE);
}

TEST(ResponseHead, SettledStateTakesNothingMore) {
  ResponseHead head;
  EXPECT_EQ(parse_response_head(head, "HTTP/1.1 500 x\r\n").state, HeadState::REFUSED);
  const HeadStep again = parse_response_head(head, "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(again.state, HeadState::REFUSED);
  EXPECT_EQ(again.consumed, 0u);
}

}  // namespace
