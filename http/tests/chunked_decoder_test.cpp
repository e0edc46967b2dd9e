#include <gtest/gtest.h>

#include <string>

#include "http/chunked_decoder.h"
#include "pieces.h"

namespace {

struct Decoded {
  ChunkedDecoder decoder;
  std::string data;
};

Decoded decode(const std::vector<std::string_view>& pieces) {
  Decoded out;
  for (std::string_view piece : pieces) {
    while (!piece.empty() && !chunked_finished(out.decoder)) {
      const ChunkStep step = decode_chunked(out.decoder, piece);
      EXPECT_LE(step.consumed, piece.size());
      EXPECT_LE(step.data_offset + step.data_length, step.consumed);
      out.data.append(piece.substr(step.data_offset, step.data_length));
      piece.remove_prefix(step.consumed);
      if (step.consumed == 0) break;
    }
  }
  return out;
}

enum class End { DONE, INVALID, UNFINISHED };

struct ChunkCase {
  const char* what;
  std::string input;
  End end;
  ChunkRule rule;
  std::string data;
};

constexpr auto NONE = ChunkRule::NONE;

const ChunkCase chunk_cases[] = {
    {"one chunk", "5\r\nhello\r\n0\r\n\r\n", End::DONE, NONE, "hello"},
    {"extensions are ignored", "5;name=value\r\nhello\r\n6 ; x\r\n world\r\n0;last\r\n", End::DONE, NONE,
     "hello world"},
    {"blanks around the digits, upper-case hex", " \tA \t\r\n0123456789\r\n0\t;x\r\n", End::DONE, NONE,
     "0123456789"},
    {"empty body", "0\r\n\r\n", End::DONE, NONE, ""},
    {"trailers are not read", "0\r\nX-Trailer: 1\r\n\r\nrest", End::DONE, NONE, ""},
    {"CR alone ends lines", "5\rhello\r0\r", End::DONE, NONE, "hello"},
    {"data that is a line end", "2\r\n\r\n\r\n1\r\n\n\r\n0\r\n", End::DONE, NONE, "\r\n\n"},
    {"data cut short", "5\r\nhel", End::UNFINISHED, NONE, "hel"},
    {"no last chunk", "5\r\nhello\r\n", End::UNFINISHED, NONE, "hello"},
    {"last size line without its CR", "5\r\nhello\r\n0", End::UNFINISHED, NONE, "hello"},
    {"size line without digits", "\r\nhello", End::INVALID, ChunkRule::NO_DIGITS, ""},
    {"blanks only", " \t\r\n", End::INVALID, ChunkRule::NO_DIGITS, ""},
    {"extension only", ";x\r\n", End::INVALID, ChunkRule::NO_DIGITS, ""},
    {"size line of text", "zz\r\n", End::INVALID, ChunkRule::STRAY_BYTE, ""},
    // A size read only as far as it looks like a number would end the body
    // early ("0x1A" as a last chunk) and still look whole.
    {"a C-style hex prefix", "0x1A\r\n" + std::string(26, 'd') + "\r\n0\r\n", End::INVALID, ChunkRule::STRAY_BYTE,
     ""},
    {"letters after the digits", "5zz\r\nhello\r\n0\r\n", End::INVALID, ChunkRule::STRAY_BYTE, ""},
    {"two numbers", "5 6\r\nhello\r\n0\r\n", End::INVALID, ChunkRule::STRAY_BYTE, ""},
    {"a sign", "-5\r\n", End::INVALID, ChunkRule::STRAY_BYTE, ""},
    {"a bare LF ends no size line", "5\nhello\r\n0\r\n", End::INVALID, ChunkRule::STRAY_BYTE, ""},
    {"stray byte in a later size line", "3\r\nabc\r\n2x\r\nde\r\n0\r\n", End::INVALID, ChunkRule::STRAY_BYTE, "abc"},
    {"largest size", "7fffffffffffffff\r\nab", End::UNFINISHED, NONE, "ab"},
    {"size past 63 bits", "8000000000000000\r\n", End::INVALID, ChunkRule::SIZE_TOO_LARGE, ""},
    {"leading zeros fit", "00000000000000000000000000000003\r\nabc\r\n0\r\n", End::DONE, NONE, "abc"},
    {"data not followed by CR", "5\r\nhelloXX\r\n0\r\n", End::INVALID, ChunkRule::DATA_NOT_ENDED, "hello"},
    {"endless size line", "5;" + std::string(CHUNK_SIZE_LINE_LIMIT, 'e') + "\r\nhello\r\n0\r\n", End::INVALID,
     ChunkRule::LINE_TOO_LONG, ""},
};

TEST(ChunkedDecoder, TableInEverySplit) {
  for (const ChunkCase& c : chunk_cases) {
    for (const Split& split : splits_of(c.input)) {
      const Decoded out = decode(split.pieces);
      const std::string where = std::string(c.what) + " / " + split.name;
      const End end = out.decoder.state == ChunkState::DONE      ? End::DONE
                      : out.decoder.state == ChunkState::INVALID ? End::INVALID
                                                                 : End::UNFINISHED;
      EXPECT_EQ(end, c.end) << where;
      EXPECT_EQ(out.decoder.rule, c.rule) << where;
      EXPECT_EQ(out.data, c.data) << where;
    }
  }
}

// Everything after the size line is data of this chunk, a "0" line
// included: far from the chunk's end, nothing may end the body.
TEST(ChunkedDecoder, SizesPastFourGibibytesCountInSixtyFourBits) {
  for (const auto& [line, size] : {std::pair{"100000002", 0x100000002LL}, std::pair{"  1FFFFFFFF;x=y", 0x1FFFFFFFFLL}}) {
    const std::string after = "abc\r\n0\r\n\r\n";
    const Decoded out = decode({std::string(line) + "\r\n" + after});
    EXPECT_EQ(out.data, after) << line;
    EXPECT_EQ(out.decoder.state, ChunkState::DATA) << line;
    EXPECT_EQ(out.decoder.remaining, size - static_cast<int64_t>(after.size())) << line;
  }
}

// Many chunks of every size from 1 to 300 bytes, split at random: the data
// comes out whole and in order.
TEST(ChunkedDecoder, ManyChunksKeepTheirOrder) {
  std::string input, expected;
  for (int size = 1; size <= 300; ++size) {
    std::string data;
    for (int i = 0; i < size; ++i) data += static_cast<char>((size * 7 + i) & 0xFF);
    char line[16];
    std::snprintf(line, sizeof line, "%x\r\n", size);
    input += line + data + "\r\n";
    expected += data;
  }
  input += "0\r\n\r\n";
  for (const Split& split : splits_of(input)) {
    const Decoded out = decode(split.pieces);
    EXPECT_EQ(out.decoder.state, ChunkState::DONE) << split.name;
    EXPECT_TRUE(out.data == expected) << split.name;
  }
}

}  // namespace
