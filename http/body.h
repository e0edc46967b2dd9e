#pragma once
// The three ways a response body is read. Each takes the body bytes that came
// with the head (first), reads the rest in pieces of at most PIECE_SIZE bytes
// into buffer, writes every byte in order to the file, and tells whether the
// body arrived whole.
#include <cstdint>
#include <string_view>

class PartFile;
struct ConnectionRecord;

constexpr int32_t PIECE_SIZE = 1024;
constexpr uint64_t BODY_PIECE_TIMEOUT_MS = 10000;
constexpr uint64_t SILENCE_TIMEOUT_MS = 1000;

// Exactly length bytes; a stream that ends or falls silent for the piece
// time-out before them is a failure.
bool read_length_body(ConnectionRecord* connection, char* buffer, std::string_view first, int64_t length,
                      PartFile& file);
// Chunks up to the last (size 0) chunk, which must arrive.
bool read_chunked_body(ConnectionRecord* connection, char* buffer, std::string_view first, PartFile& file);
// Everything until the peer closes or falls silent for SILENCE_TIMEOUT_MS;
// a broken connection is a failure.
bool read_body_until_close(ConnectionRecord* connection, char* buffer, std::string_view first, PartFile& file);
