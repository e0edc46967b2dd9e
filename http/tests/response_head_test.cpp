#include <gtest/gtest.h>

#include <string>

#include "http/response_head.h"
#include "pieces.h"

namespace {

struct Outcome {
  ResponseHead head;
  std::string body;  // every byte after the head
};

Outcome feed(const std::vector<std::string_view>& pieces) {
  Outcome outcome;
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
  return outcome;
}

struct HeadCase {
  const char* what;
  std::string input;
  HeadState state;
  BodyMode mode;
  int64_t length;
  std::string body;
};

const HeadCase head_cases[] = {
    {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", HeadState::COMPLETE, BodyMode::LENGTH, 5, "hello"},
    {"no blank after colon", "HTTP/1.1 200 OK\r\ncontent-length:5\r\n\r\n", HeadState::COMPLETE, BodyMode::LENGTH, 5,
     ""},
    {"name in any case, blanks and sign", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: \t+12xyz\r\n\r\n", HeadState::COMPLETE,
     BodyMode::LENGTH, 12, ""},
    // A length without digits frames nothing: taking it as 0 would save an
    // empty file and call the download complete.
    {"no digits", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nzz", HeadState::INVALID, BodyMode::UNTIL_CLOSE, -1,
     ""},
    {"only a sign", "HTTP/1.1 200 OK\r\nContent-Length: +\r\n\r\n", HeadState::INVALID, BodyMode::UNTIL_CLOSE, -1, ""},
    {"302 is accepted", "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n<a>", HeadState::COMPLETE, BodyMode::UNTIL_CLOSE, -1,
     "<a>"},
    {"status text anywhere in the line", "XYZ 404 but 200\r\n\r\n", HeadState::COMPLETE, BodyMode::UNTIL_CLOSE, -1, ""},
    {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnot", HeadState::REFUSED, BodyMode::LENGTH, -1, ""},
    {"2 0 0 is no status", "HTTP/1.1 20 0\r\n\r\n", HeadState::REFUSED, BodyMode::UNTIL_CLOSE, -1, ""},
    {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n", HeadState::COMPLETE, BodyMode::CHUNKED,
     -1, "5\r\n"},
    {"chunked in any case", "HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, CHUNKED\r\n\r\n", HeadState::COMPLETE,
     BodyMode::CHUNKED, -1, ""},
    {"chunked after a near miss", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunkchunked\r\n\r\n", HeadState::COMPLETE,
     BodyMode::CHUNKED, -1, ""},
    {"other coding reads until close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", HeadState::COMPLETE,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"chunked is never cleared", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n",
     HeadState::COMPLETE, BodyMode::CHUNKED, -1, ""},
    {"chunked wins over a length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n",
     HeadState::COMPLETE, BodyMode::CHUNKED, 10, ""},
    {"name not in the first column", "HTTP/1.1 200 OK\r\n Content-Length: 5\r\n\r\n", HeadState::COMPLETE,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"blank before the colon", "HTTP/1.1 200 OK\r\nContent-Length : 5\r\n\r\n", HeadState::COMPLETE,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"length past 4 GiB", "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\n", HeadState::COMPLETE,
     BodyMode::LENGTH, 5000000000LL, ""},
    {"largest length", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", HeadState::COMPLETE,
     BodyMode::LENGTH, INT64_MAX, ""},
    {"length too large", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n", HeadState::INVALID,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", HeadState::INVALID, BodyMode::UNTIL_CLOSE, -1,
     ""},
    {"minus one is negative too", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", HeadState::INVALID,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"minus zero is zero", "HTTP/1.1 200 OK\r\nContent-Length: -0\r\n\r\n", HeadState::COMPLETE, BodyMode::LENGTH, 0,
     ""},
    {"two different lengths", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", HeadState::INVALID,
     BodyMode::LENGTH, 5, ""},
    {"the same length twice", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 05\r\n\r\n",
     HeadState::COMPLETE, BodyMode::LENGTH, 5, ""},
    {"CR alone ends lines", "HTTP/1.1 200 OK\rContent-Length: 2\r\rhi", HeadState::COMPLETE, BodyMode::LENGTH, 2,
     "hi"},
    {"one LF after the last CR belongs to it", "HTTP/1.1 200 OK\r\n\r\n\nX", HeadState::COMPLETE,
     BodyMode::UNTIL_CLOSE, -1, "\nX"},
    {"a bare LF ends no line", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc", HeadState::INVALID, BodyMode::UNTIL_CLOSE,
     -1, ""},
    {"bare LF inside a header line", "HTTP/1.1 200 OK\r\nX: a\nContent-Length: 3\r\n\r\n", HeadState::COMPLETE,
     BodyMode::UNTIL_CLOSE, -1, ""},
    {"input ends after the empty line's CR", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r", HeadState::COMPLETE,
     BodyMode::LENGTH, 0, ""},
    {"input ends inside the head", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", HeadState::INVALID, BodyMode::LENGTH, 5,
     ""},
    {"no bytes at all", "", HeadState::INVALID, BodyMode::UNTIL_CLOSE, -1, ""},
};

TEST(ResponseHead, TableInEverySplit) {
  for (const HeadCase& c : head_cases) {
    for (const Split& split : splits_of(c.input)) {
      const Outcome outcome = feed(split.pieces);
      const std::string where = std::string(c.what) + " / " + split.name;
      EXPECT_EQ(outcome.head.state, c.state) << where;
      if (c.state == HeadState::REFUSED) continue;
      EXPECT_EQ(outcome.head.content_length, c.length) << where;
      if (c.state != HeadState::COMPLETE) continue;
      EXPECT_EQ(body_mode(outcome.head), c.mode) << where;
      EXPECT_EQ(outcome.body, c.body) << where;
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
}

TEST(ResponseHead, SettledStateTakesNothingMore) {
  ResponseHead head;
  EXPECT_EQ(parse_response_head(head, "HTTP/1.1 500 x\r\n").state, HeadState::REFUSED);
  const HeadStep again = parse_response_head(head, "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(again.state, HeadState::REFUSED);
  EXPECT_EQ(again.consumed, 0u);
}

}  // namespace
