#include "http/chunked_decoder.h"

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

void refuse(ChunkedDecoder& d, ChunkRule rule) {
  d.state = ChunkState::INVALID;
  d.rule = rule;
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

// After the hex digits and any blanks: the line ends, an extension starts,
// or the byte is refused.
void take_size_end_byte(ChunkedDecoder& d, char c) {
  if (c == '\r') {
    end_size_line(d);
  } else if (c == ';') {
    d.state = ChunkState::SIZE_REST;
  } else if (is_blank(c)) {
    d.state = ChunkState::SIZE_BLANKS;
  } else {
    refuse(d, ChunkRule::STRAY_BYTE);
  }
}

// One framing byte (any state but DATA and the terminal ones).
void take_framing_byte(ChunkedDecoder& d, char c) {
  if (d.state == ChunkState::DATA_CR) {
    if (c == '\r') {
      d.state = ChunkState::DATA_LF;
    } else {
      refuse(d, ChunkRule::DATA_NOT_ENDED);
    }
    return;
  }
  // Every other framing byte belongs to a size line, its CR included.
  if (++d.line_length > CHUNK_SIZE_LINE_LIMIT) {
    refuse(d, ChunkRule::LINE_TOO_LONG);
    return;
  }
  const int digit = hex_value(c);
  switch (d.state) {
    case ChunkState::SIZE_START:
      if (is_blank(c)) return;
      if (digit < 0) {
        refuse(d, c == '\r' || c == ';' ? ChunkRule::NO_DIGITS : ChunkRule::STRAY_BYTE);
        return;
      }
      d.size = digit;
      d.state = ChunkState::SIZE_DIGITS;
      return;
    case ChunkState::SIZE_DIGITS:
      if (digit < 0) {
        take_size_end_byte(d, c);
      } else if (d.size > (INT64_MAX - digit) / 16) {
        refuse(d, ChunkRule::SIZE_TOO_LARGE);
      } else {
        d.size = d.size * 16 + digit;
      }
      return;
    case ChunkState::SIZE_BLANKS:
      take_size_end_byte(d, c);
      return;
    case ChunkState::SIZE_REST:
      if (c == '\r') end_size_line(d);
      return;
    default:
      return;
  }
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
