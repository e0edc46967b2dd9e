#pragma once
// The chunked framing of a response body, decoded as a small state machine:
// bytes in, runs of body data out, whatever the split of sizes, data and line
// ends across receives. Plain C++, no platform header.
//
//   body        = *chunk last-chunk
//   chunk       = size-line data data-end       ; data: exactly size bytes
//   last-chunk  = size-line                     ; size 0; nothing after it is read
//   size-line   = *BLANK 1*HEXDIG *BLANK [";" *(any byte but CR)] CR [LF]
//   data-end    = CR [LF]
//   BLANK       = SP / HTAB
//
// The extension after ";" is ignored. The size is a hexadecimal number
// token (http/number_token.h): anything else on a size line ("0x1A",
// "5zz", "5 6") is refused rather than read as far as it looks like a
// number, since a size read short would end the body early and still look
// whole. Lines end as in the head (http/line_end.h): the LF after the CR is
// optional.
//
// Terminal states: DONE (the last chunk's size line has ended) and INVALID,
// with the rule that refused the input in ChunkedDecoder::rule.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/line_end.h"
#include "http/number_token.h"

constexpr size_t CHUNK_SIZE_LINE_LIMIT = 4096;

enum class ChunkState : uint8_t {
  SIZE,         // the size: blanks, hex digits, blanks
  SIZE_REST,    // extension up to the CR
  SIZE_LF,      // after the size line's CR
  DATA,         // remaining bytes of the chunk's data
  DATA_CR,      // the CR after the data
  DATA_LF,      // after that CR
  DONE,
  INVALID,
};

// Why the decoder refused its input.
enum class ChunkRule : uint8_t {
  NONE,
  NO_DIGITS,        // a size line without a hex digit
  STRAY_BYTE,       // a size line byte that is no hex digit, blank, ";" or CR
  SIZE_TOO_LARGE,   // a size that does not fit 63 bits
  LINE_TOO_LONG,    // a size line longer than CHUNK_SIZE_LINE_LIMIT
  DATA_NOT_ENDED,   // a chunk's data not followed by CR
};

struct ChunkedDecoder {
  ChunkState state = ChunkState::SIZE;
  ChunkRule rule = ChunkRule::NONE;
  NumberToken size;       // the size line's number
  int64_t remaining = 0;  // data bytes still due in the current chunk
  size_t line_length = 0;
  LineEnd line_end;
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
