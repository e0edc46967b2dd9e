// The platform's floor for Gatherly's download design: the least a program
// can do to move a response body from a loopback server into a file with
// Winsock 1.1 — one blocking recv of at most the program's piece size and
// one WriteFile per piece into a new file beside the destination, then what
// the program does before it calls a download complete: the flush, and the
// rename that puts the new file in the destination's place (a download never
// overwrites the old file in place); nothing else. The benchmark compares
// the real program with it.
//
//   floor.exe [--piece BYTES] [--no-flush] HOST PORT PATH DESTINATION [REPEAT]
//
// --piece asks for pieces of another size (1024: the floor of the design
// before its pieces grew); --no-flush leaves the file to the cache, so that
// the benchmark can tell what the flush costs. Sends the program's own
// request text (http/request_text, built in with this file), skips the response head (the first "\r\n\r\n"), writes
// the rest into DESTINATION.new, renames that to DESTINATION and prints one
// line per download: "<microseconds> <body bytes>", timed from just before
// connect to the file in place, so Wine's start-up is not counted.
#include <winsock.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "http/piece_size.h"
#include "http/request_text.h"
#include "stopwatch.h"

namespace {

int piece_size = PIECE_SIZE;
bool flush = true;
char* piece = nullptr;

// Returns the body bytes written, or -1 when the download could not start.
long long fetch_once(const char* host, unsigned short port, const char* path, const char* destination,
                     double* elapsed_us) {
  const PortSuffix suffix = port_suffix(port);
  std::string request(request_length(path, host, suffix) + 1, '\0');
  const int length = static_cast<int>(write_request(request.data(), request.size(), path, host, suffix));
  if (length <= 0) return -1;

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = inet_addr(host);

  double start = now_us();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return -1;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR ||
      send(s, request.data(), length, 0) != length) {
    closesocket(s);
    return -1;
  }
  char fresh[MAX_PATH + 8];
  if (std::snprintf(fresh, sizeof fresh, "%s.new", destination) >= static_cast<int>(sizeof fresh)) {
    closesocket(s);
    return -1;
  }
  HANDLE file = CreateFileA(fresh, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    closesocket(s);
    return -1;
  }

  // The head normally arrives whole in the first piece; matching its end
  // across pieces costs a few comparisons per byte of head only.
  const char* const head_end = "\r\n\r\n";
  int matched = 0;
  bool in_body = false;
  long long body = 0;
  for (;;) {
    int n = recv(s, piece, piece_size, 0);
    if (n <= 0) break;
    int from = 0;
    if (!in_body) {
      while (from < n && matched < 4) {
        matched = (piece[from] == head_end[matched]) ? matched + 1 : (piece[from] == '\r' ? 1 : 0);
        ++from;
      }
      if (matched < 4) continue;
      in_body = true;
    }
    DWORD written = 0;
    WriteFile(file, piece + from, static_cast<DWORD>(n - from), &written, nullptr);
    body += written;
  }
  if (flush) FlushFileBuffers(file);
  CloseHandle(file);
  closesocket(s);
  const bool placed = MoveFileExA(fresh, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  *elapsed_us = now_us() - start;
  if (!placed) return -1;
  return body;
}

}  // namespace

int main(int argc, char** argv) {
  for (;;) {
    if (argc > 2 && std::strcmp(argv[1], "--piece") == 0) {
      piece_size = std::atoi(argv[2]);
      argc -= 2;
      argv += 2;
    } else if (argc > 1 && std::strcmp(argv[1], "--no-flush") == 0) {
      flush = false;
      argc -= 1;
      argv += 1;
    } else {
      break;
    }
  }
  if (argc < 5 || piece_size <= 0) {
    std::fprintf(stderr, "usage: floor [--piece BYTES] [--no-flush] HOST PORT PATH DESTINATION [REPEAT]\n");
    return 2;
  }
  // One buffer for the whole run, as the program has one per download.
  piece = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(piece_size)));
  if (!piece) return 1;
  int repeat = argc > 5 ? std::atoi(argv[5]) : 1;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return 1;
  int rc = 0;
  for (int i = 0; i < repeat; ++i) {
    double elapsed = 0;
    long long body = fetch_once(argv[1], static_cast<unsigned short>(std::atoi(argv[2])), argv[3], argv[4], &elapsed);
    if (body < 0) {
      std::printf("error\n");
      rc = 1;
    } else {
      std::printf("%.0f %lld\n", elapsed, body);
    }
    std::fflush(stdout);
  }
  WSACleanup();
  return rc;
}
