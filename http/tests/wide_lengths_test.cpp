// Body lengths and chunk sizes past 4 GiB. The product is a 32-bit program,
// where size_t and pointers are 32 bits wide: a length that passed through
// one would lose its high bits, so that 4 GiB + 5 read as 5 and a download
// that got five bytes of a 4 GiB body would end as complete. Every case here
// passes at 64 bits whatever the code does with size_t; the 32-bit build is
// the one that can fail them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/tests/runtime_fixture.h"
#include "http/chunked_decoder.h"
#include "http/download.h"
#include "http/response_head.h"
#include "network_environment.h"
#include "scripted_server.h"

namespace {

constexpr int64_t FOUR_GIB = int64_t{1} << 32;

// The head fed one byte at a time, then as one piece: the parser keeps the
// value across calls either way.
TEST(WideLengths, ContentLengthsPastFourGibKeepEveryBit) {
  const struct {
    const char* text;
    int64_t value;
  } cases[] = {
      {"4294967295", FOUR_GIB - 1},
      {"4294967296", FOUR_GIB},
      {"4294967301", FOUR_GIB + 5},
      {"8589934592", 2 * FOUR_GIB},
      {"9223372036854775807", INT64_MAX},
  };
  for (const auto& c : cases) {
    const std::string head = std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + c.text + "\r\n\r\nbody";
    for (const bool bytewise : {true, false}) {
      ResponseHead parsed;
      size_t taken = 0;
      HeadStep step{HeadState::NEED_MORE, 0};
      while (step.state == HeadState::NEED_MORE && taken < head.size()) {
        step = parse_response_head(parsed, std::string_view(head).substr(taken, bytewise ? 1 : std::string::npos));
        taken += step.consumed;
      }
      ASSERT_EQ(step.state, HeadState::COMPLETE) << c.text;
      EXPECT_EQ(parsed.content_length, c.value) << c.text;
      EXPECT_EQ(body_mode(parsed), BodyMode::LENGTH) << c.text;
      EXPECT_EQ(head.substr(taken), "body") << c.text;
    }
  }
}

TEST(WideLengths, ChunkSizesPastFourGibLeaveTheRestOfTheChunkDue) {
  const struct {
    const char* line;
    int64_t size;
  } cases[] = {
      {"100000000\r\n", FOUR_GIB},
      {"100000005;name=value\r\n", FOUR_GIB + 5},
      {"  1FFFFFFFF\r\n", 2 * FOUR_GIB - 1},
      {"7fffffffffffffff\r\n", INT64_MAX},
  };
  for (const auto& c : cases) {
    ChunkedDecoder decoder;
    const std::string input = std::string(c.line) + "hello\r\n0\r\n\r\n";
    const ChunkStep step = decode_chunked(decoder, input);
    // Everything after the size line is data of this chunk, the "0" line
    // included: far from its end, nothing may end the body.
    EXPECT_EQ(step.data_offset, std::string_view(c.line).size()) << c.line;
    EXPECT_EQ(step.data_length, input.size() - step.data_offset) << c.line;
    EXPECT_EQ(decoder.state, ChunkState::DATA) << c.line;
    EXPECT_EQ(decoder.remaining, c.size - static_cast<int64_t>(step.data_length)) << c.line;
  }
}

std::string read_file(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(no file)";
  std::string content;
  char piece[4096];
  DWORD got = 0;
  while (ReadFile(file, piece, sizeof piece, &got, nullptr) && got > 0) content.append(piece, got);
  CloseHandle(file);
  return content;
}

// A server that announces more than 4 GiB, sends a few bytes and closes:
// the body is cut short, so the download fails and the file the user had
// stays as it was.
TEST(WideLengths, DownloadOfACutShortWideBodyFails) {
  const std::string OK = "HTTP/1.1 200 OK\r\n";
  const struct {
    const char* what;
    std::string response;
  } cases[] = {
      {"length 4 GiB, no body", OK + "Content-Length: 4294967296\r\n\r\n"},
      {"length 4 GiB + 5, five bytes", OK + "Content-Length: 4294967301\r\n\r\nhello"},
      {"chunk of 4 GiB + 5, five bytes, then a last chunk",
       OK + "Transfer-Encoding: chunked\r\n\r\n100000005\r\nhello\r\n0\r\n\r\n"},
  };
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
  const std::string destination =
      std::string(temp) + "gx_wide_" + std::to_string(GetCurrentProcessId()) + ".bin";
  for (const auto& c : cases) {
    HANDLE file = CreateFileA(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "kept", 4, &written, nullptr);
    CloseHandle(file);

    ScriptedServer server({script::read_request(), script::send(c.response)});
    EXPECT_EQ(download_to_file(server.url("/big").c_str(), destination.c_str()), 0) << c.what;
    EXPECT_EQ(read_file(destination), "kept") << c.what;
    DeleteFileA(destination.c_str());
    DeleteFileA((destination + ".part").c_str());
  }
}

}  // namespace
