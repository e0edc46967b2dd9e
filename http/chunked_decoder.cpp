#include "http/chunked_decoder.h"

namespace {

void refuse(ChunkedDecoder& d, ChunkRule rule) {
  d.state = ChunkState::INVALID;
  d.rule = rule;
}

void start_size_line(ChunkedDecoder& d) {
  d.state = ChunkState::SIZE;
  d.size = {};
  d.line_length = 0;
}

// The size line has ended at its CR.
void end_size_line(ChunkedDecoder& d) {
  if (d.size.value == 0) {
    d.state = ChunkState::DONE;  // trailers are not read
    return;
  }
  d.remaining = d.size.value;
  d.state = ChunkState::SIZE_LF;
}

// A byte of the size itself: the number's, or the line end or ";" after
// it, or a byte that refuses the line.
void take_size_byte(ChunkedDecoder& d, char c, LineByte kind) {
  switch (take_number_byte(d.size, c, 16)) {
    case NumberByte::TAKEN:
      return;
    case NumberByte::TOO_LARGE:
      refuse(d, ChunkRule::SIZE_TOO_LARGE);
      return;
    case NumberByte::NOT_TAKEN:
      break;
  }
  const bool delimiter = kind == LineByte::END || c == ';';
  if (!delimiter) {
    refuse(d, ChunkRule::STRAY_BYTE);
  } else if (!has_digits(d.size)) {
    refuse(d, ChunkRule::NO_DIGITS);
  } else if (kind == LineByte::END) {
    end_size_line(d);
  } else {
    d.state = ChunkState::SIZE_REST;
  }
}

// One framing byte (any state but DATA and the terminal ones).
void take_framing_byte(ChunkedDecoder& d, char c) {
  const LineByte kind = take_line_end_byte(d.line_end, c);
  if (d.state == ChunkState::DATA_CR) {
    if (kind == LineByte::END) {
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
  if (d.state == ChunkState::SIZE) {
    take_size_byte(d, c, kind);
  } else if (kind == LineByte::END) {  // SIZE_REST: the extension runs to the line end
    end_size_line(d);
  }
}

// The byte after a line's CR: taken when it is the LF of that line end,
// otherwise left for the state that follows.
bool take_lf_after_cr(ChunkedDecoder& d, char c) { return take_line_end_byte(d.line_end, c) == LineByte::END_LF; }

}  // namespace

ChunkStep decode_chunked(ChunkedDecoder& d, std::string_view input) {
  size_t i = 0;
  while (i < input.size() && !chunked_finished(d)) {
    const char c = input[i];
    switch (d.state) {
      case ChunkState::SIZE_LF:
        d.state = ChunkState::DATA;
        if (take_lf_after_cr(d, c)) ++i;
        continue;
      case ChunkState::DATA_LF:
        start_size_line(d);
        if (take_lf_after_cr(d, c)) ++i;
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
