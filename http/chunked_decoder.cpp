#include "http/chunked_decoder.h"

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The size line has ended at its CR.
void end_size_line(ChunkedDecoder& d) {
  if (d.size == 0) {
    d.state = ChunkState::DONE;  // trailers are not read
    return;
  }
  d.remaining = d.size;
  d.state = ChunkState::SIZE_LF;
}

// One framing byte (any state but DATA and the terminal ones).
void take_framing_byte(ChunkedDecoder& d, char c) {
  switch (d.state) {
    case ChunkState::SIZE_START:
      if (c == ' ' || c == '\t') break;
      if (hex_value(c) < 0) {
        d.state = ChunkState::INVALID;
        return;
      }
      d.size = hex_value(c);
      d.state = ChunkState::SIZE_DIGITS;
      break;
    case ChunkState::SIZE_DIGITS: {
      const int digit = hex_value(c);
      if (digit >= 0) {
        if (d.size > (INT64_MAX - digit) / 16) {
          d.state = ChunkState::INVALID;
          return;
        }
        d.size = d.size * 16 + digit;
      } else if (c == '\r') {
        end_size_line(d);
        return;
      } else {
        d.state = ChunkState::SIZE_REST;
      }
      break;
    }
    case ChunkState::SIZE_REST:
      if (c == '\r') {
        end_size_line(d);
        return;
      }
      break;
    case ChunkState::DATA_CR:
      d.state = c == '\r' ? ChunkState::DATA_LF : ChunkState::INVALID;
      return;
    default:
      return;
  }
  if (++d.line_length > CHUNK_SIZE_LINE_LIMIT) d.state = ChunkState::INVALID;
}

}  // namespace

ChunkStep decode_chunked(ChunkedDecoder& d, std::string_view input) {
  size_t i = 0;
  while (i < input.size() && !chunked_finished(d)) {
    const char c = input[i];
    switch (d.state) {
      case ChunkState::SIZE_LF:
        d.state = ChunkState::DATA;
        if (c == '\n') ++i;
        continue;
      case ChunkState::DATA_LF:
        d.state = ChunkState::SIZE_START;
        d.size = 0;
        d.line_length = 0;
        if (c == '\n') ++i;
        continue;
      case ChunkState::DATA: {
        const size_t available = input.size() - i;
        const size_t run = static_cast<uint64_t>(d.remaining) < available ? static_cast<size_t>(d.remaining) : available;
        d.remaining -= static_cast<int64_t>(run);
        if (d.remaining == 0) d.state = ChunkState::DATA_CR;
        return {i + run, i, run};
      }
      default:
        take_framing_byte(d, c);
        ++i;
        continue;
    }
  }
  return {i, i, 0};
}
