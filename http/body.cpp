#include "http/body.h"

#include <algorithm>

#include "http/chunked_decoder.h"
#include "http/temporary_file.h"
#include "net/clock.h"
#include "net/connection.h"

namespace {

bool fail(const BodyReader& reader, DownloadOutcome outcome, uint32_t error = 0) {
  reader.report.outcome = outcome;
  reader.report.error = error;
  return false;
}

ReceiveResult receive_piece(const BodyReader& reader, int32_t size) {
  return receive_before(reader.connection, reader.buffer, size, monotonic_milliseconds() + BODY_PIECE_TIMEOUT_MS);
}

// The stream ended (piece says how) before the body did: false.
bool ended_early(const BodyReader& reader, const ReceiveResult& piece) {
  reader.report.ended = piece.outcome;
  if (piece.outcome == ReceiveOutcome::STOPPED) return fail(reader, DownloadOutcome::STOPPED);
  return fail(reader, DownloadOutcome::BODY_CUT_SHORT, static_cast<uint32_t>(piece.error));
}

bool write(const BodyReader& reader, const char* data, size_t length) {
  if (!reader.file.write(data, length)) return fail(reader, DownloadOutcome::WRITE, reader.file.error());
  reader.report.received += static_cast<int64_t>(length);
  return true;
}

// Feeds bytes through the decoder, writing each run of data.
bool write_chunk_data(const BodyReader& reader, ChunkedDecoder& decoder, std::string_view bytes) {
  while (!bytes.empty() && !chunked_finished(decoder)) {
    const ChunkStep step = decode_chunked(decoder, bytes);
    if (step.data_length > 0 && !write(reader, bytes.data() + step.data_offset, step.data_length)) return false;
    bytes.remove_prefix(step.consumed);
  }
  return decoder.state == ChunkState::INVALID ? fail(reader, DownloadOutcome::BODY_FRAMING) : true;
}

}  // namespace

bool read_length_body(const BodyReader& reader, std::string_view first, int64_t length) {
  const size_t in_hand = static_cast<size_t>(std::min<uint64_t>(first.size(), static_cast<uint64_t>(length)));
  if (!write(reader, first.data(), in_hand)) return false;
  int64_t remaining = length - static_cast<int64_t>(in_hand);
  while (remaining > 0) {
    const auto size = static_cast<int32_t>(std::min<int64_t>(remaining, reader.buffer_size));
    const ReceiveResult piece = receive_piece(reader, size);
    if (piece.outcome != ReceiveOutcome::DATA) return ended_early(reader, piece);
    if (!write(reader, reader.buffer, static_cast<size_t>(piece.count))) return false;
    remaining -= piece.count;
  }
  return true;
}

bool read_chunked_body(const BodyReader& reader, std::string_view first) {
  ChunkedDecoder decoder;
  if (!write_chunk_data(reader, decoder, first)) return false;
  while (decoder.state != ChunkState::DONE) {
    const ReceiveResult piece = receive_piece(reader, reader.buffer_size);
    if (piece.outcome != ReceiveOutcome::DATA) return ended_early(reader, piece);  // before the last chunk
    if (!write_chunk_data(reader, decoder, {reader.buffer, static_cast<size_t>(piece.count)})) return false;
  }
  return true;
}

bool read_body_until_close(const BodyReader& reader, std::string_view first) {
  if (!write(reader, first.data(), first.size())) return false;
  for (;;) {
    const ReceiveResult piece = receive_piece(reader, reader.buffer_size);
    if (piece.outcome == ReceiveOutcome::CLOSED) return true;  // the body's only end
    if (piece.outcome != ReceiveOutcome::DATA) return ended_early(reader, piece);
    if (!write(reader, reader.buffer, static_cast<size_t>(piece.count))) return false;
  }
}
