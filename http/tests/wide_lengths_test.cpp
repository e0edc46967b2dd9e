// Body lengths and chunk sizes past 4 GiB, through the whole download. The
// product is a 32-bit program, where size_t and pointers are 32 bits wide: a
// length that passed through one on its way from the head to the body's
// reader would lose its high bits, so that 4 GiB + 5 read as 5 and a
// download that got five bytes of a 4 GiB body would end as complete. (The
// parsers' own tables hold such lengths as well.) Every case here passes at
// 64 bits whatever the code does with size_t; the 32-bit build is the one
// that can fail them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/tests/runtime_fixture.h"
#include "http/download.h"
#include "network_environment.h"
#include "scripted_server.h"

namespace {

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
  }
}

}  // namespace
