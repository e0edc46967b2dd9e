#pragma once
// The three ways a response body is read. Each takes the body bytes that came
// with the head (first), reads the rest in pieces of at most the buffer's
// size, writes every byte in order to the file, counts them in the report,
// and tells whether the body arrived whole: true, or false with the
// report's outcome set.
#include <cstdint>
#include <string_view>

#include "http/download_outcome.h"

class TemporaryFile;
struct ConnectionRecord;

// Silence for this long ends a body in failure, whatever its framing.
constexpr uint64_t BODY_PIECE_TIMEOUT_MS = 10000;

struct BodyReader {
  ConnectionRecord* connection;
  char* buffer;
  int32_t buffer_size;
  TemporaryFile& file;
  DownloadReport& report;
};

// Exactly length bytes.
bool read_length_body(const BodyReader& reader, std::string_view first, int64_t length);
// Chunks up to the last (size 0) chunk, which must arrive.
bool read_chunked_body(const BodyReader& reader, std::string_view first);
// Everything until the peer closes the connection, as the request asked it
// to; a pause is no end. Over TLS only the server's close_notify is that
// close: a connection cut without it fails the body.
bool read_body_until_close(const BodyReader& reader, std::string_view first);
