#include "http/body.h"

#include <algorithm>

#include "http/chunked_decoder.h"
#include "http/part_file.h"
#include "net/clock.h"
#include "net/connection.h"

namespace {

ReceiveResult receive_piece(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t timeout) {
  return receive_before(connection, buffer, size, monotonic_milliseconds() + timeout);
}

// Feeds bytes through the decoder, writing each run of data.
bool write_chunk_data(ChunkedDecoder& decoder, std::string_view bytes, PartFile& file) {
  while (!bytes.empty() && !chunked_finished(decoder)) {
    const ChunkStep step = decode_chunked(decoder, bytes);
    if (step.data_length > 0 && !file.write(bytes.data() + step.data_offset, step.data_length)) return false;
    bytes.remove_prefix(step.consumed);
  }
  return true;
}

}  // namespace

bool read_length_body(ConnectionRecord* connection, char* buffer, std::string_view first, int64_t length,
                      PartFile& file) {
  const size_t in_hand = static_cast<size_t>(std::min<uint64_t>(first.size(), static_cast<uint64_t>(length)));
  if (!file.write(first.data(), in_hand)) return false;
  int64_t remaining = length - static_cast<int64_t>(in_hand);
  while (remaining > 0) {
    const auto size = static_cast<int32_t>(std::min<int64_t>(remaining, PIECE_SIZE));
    const ReceiveResult piece = receive_piece(connection, buffer, size, BODY_PIECE_TIMEOUT_MS);
    if (piece.outcome != ReceiveOutcome::DATA) return false;  // cut short
    if (!file.write(buffer, static_cast<size_t>(piece.count))) return false;
    remaining -= piece.count;
  }
  return true;
}

bool read_chunked_body(ConnectionRecord* connection, char* buffer, std::string_view first, PartFile& file) {
  ChunkedDecoder decoder;
  if (!write_chunk_data(decoder, first, file)) return false;
  while (!chunked_finished(decoder)) {
    const ReceiveResult piece = receive_piece(connection, buffer, PIECE_SIZE, BODY_PIECE_TIMEOUT_MS);
    if (piece.outcome != ReceiveOutcome::DATA) return false;  // ended before the last chunk
    if (!write_chunk_data(decoder, {buffer, static_cast<size_t>(piece.count)}, file)) return false;
  }
  return decoder.state == ChunkState::DONE;
}

bool read_body_until_close(ConnectionRecord* connection, char* buffer, std::string_view first, PartFile& file) {
  if (!file.write(first.data(), first.size())) return false;
  for (;;) {
    const ReceiveResult piece = receive_piece(connection, buffer, PIECE_SIZE, SILENCE_TIMEOUT_MS);
    switch (piece.outcome) {
      case ReceiveOutcome::DATA:
        if (!file.write(buffer, static_cast<size_t>(piece.count))) return false;
        break;
      case ReceiveOutcome::CLOSED:
      case ReceiveOutcome::TIMED_OUT:
        return true;  // the body's normal end
      case ReceiveOutcome::FAILED:
        return false;
    }
  }
}
