#pragma once
// The chunked framing of a response body, decoded as a small state machine:
// bytes in, runs of body data out, whatever the split of sizes, data and line
// ends across receives. Plain C++, no platform header.
//
//   body        = *chunk last-chunk
//   chunk       = size-line data data-end       ; data: exactly size bytes
//   last-chunk  = size-line                     ; size 0; nothing after it is read
//   size-line   = *BLANK 1*HEXDIG *(any byte but CR) CR [LF]
//   data-end    = CR [LF]
//   BLANK       = SP / HTAB
//
// What follows the hex digits on a size line (a chunk extension) is ignored.
// Only a CR ends a line, as in the head; the LF after it is optional.
//
// Terminal states: DONE (the last chunk's size line has ended) and INVALID
// (a size line without hex digits, a size that does not fit 63 bits, a size
// line longer than CHUNK_SIZE_LINE_LIMIT, or data not followed by CR).
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t CHUNK_SIZE_LINE_LIMIT = 4096;

enum class ChunkState : uint8_t {
  SIZE_START,   // blanks before the first hex digit
  SIZE_DIGITS,  // inside the hex digits
  SIZE_REST,    // extension up to the CR
  SIZE_LF,      // after the size line's CR
  DATA,         // remaining bytes of the chunk's data
  DATA_CR,      // the CR after the data
  DATA_LF,      // after that CR
  DONE,
  INVALID,
};

struct ChunkedDecoder {
  ChunkState state = ChunkState::SIZE_START;
  int64_t size = 0;       // the size being read
  int64_t remaining = 0;  // data bytes still due in the current chunk
  size_t line_length = 0;
};

struct ChunkStep {
  size_t consumed;     // bytes of the input used, data included
  size_t data_offset;  // where this step's run of body data starts in the input
  size_t data_length;  // its length (0: none)
};

// Decodes from the start of input up to the end of one run of data, the end
// of the input or a terminal state; call again with the rest of the input.
ChunkStep decode_chunked(ChunkedDecoder& decoder, std::string_view input);

inline bool chunked_finished(const ChunkedDecoder& decoder) {
  return decoder.state == ChunkState::DONE || decoder.state == ChunkState::INVALID;
}
