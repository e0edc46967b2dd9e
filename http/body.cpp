#include "http/body.h"

#include <algorithm>

#include "http/chunked_decoder.h"
#include "http/temporary_file.h"
#include "net/clock.h"
#include "net/connection.h"

namespace {

ReceiveResult receive_piece(const BodyReader& reader, int32_t size) {
  return receive_before(reader.connection, reader.buffer, size, monotonic_milliseconds() + BODY_PIECE_TIMEOUT_MS);
}

// Feeds bytes through the decoder, writing each run of data.
DownloadOutcome write_chunk_data(ChunkedDecoder& decoder, std::string_view bytes, TemporaryFile& file) {
  while (!bytes.empty() && !chunked_finished(decoder)) {
    const ChunkStep step = decode_chunked(decoder, bytes);
    if (step.data_length > 0 && !file.write(bytes.data() + step.data_offset, step.data_length)) {
      return DownloadOutcome::WRITE;
    }
    bytes.remove_prefix(step.consumed);
  }
  return decoder.state == ChunkState::INVALID ? DownloadOutcome::BODY_FRAMING : DownloadOutcome::COMPLETE;
}

}  // namespace

DownloadOutcome read_length_body(const BodyReader& reader, std::string_view first, int64_t length) {
  const size_t in_hand = static_cast<size_t>(std::min<uint64_t>(first.size(), static_cast<uint64_t>(length)));
  if (!reader.file.write(first.data(), in_hand)) return DownloadOutcome::WRITE;
  int64_t remaining = length - static_cast<int64_t>(in_hand);
  while (remaining > 0) {
    const auto size = static_cast<int32_t>(std::min<int64_t>(remaining, reader.buffer_size));
    const ReceiveResult piece = receive_piece(reader, size);
    if (piece.outcome != ReceiveOutcome::DATA) return DownloadOutcome::BODY_CUT_SHORT;
    if (!reader.file.write(reader.buffer, static_cast<size_t>(piece.count))) return DownloadOutcome::WRITE;
    remaining -= piece.count;
  }
  return DownloadOutcome::COMPLETE;
}

DownloadOutcome read_chunked_body(const BodyReader& reader, std::string_view first) {
  ChunkedDecoder decoder;
  DownloadOutcome outcome = write_chunk_data(decoder, first, reader.file);
  while (outcome == DownloadOutcome::COMPLETE && decoder.state != ChunkState::DONE) {
    const ReceiveResult piece = receive_piece(reader, reader.buffer_size);
    if (piece.outcome != ReceiveOutcome::DATA) return DownloadOutcome::BODY_CUT_SHORT;  // before the last chunk
    outcome = write_chunk_data(decoder, {reader.buffer, static_cast<size_t>(piece.count)}, reader.file);
  }
  return outcome;
}

DownloadOutcome read_body_until_close(const BodyReader& reader, std::string_view first) {
  if (!reader.file.write(first.data(), first.size())) return DownloadOutcome::WRITE;
  for (;;) {
    const ReceiveResult piece = receive_piece(reader, reader.buffer_size);
    switch (piece.outcome) {
      case ReceiveOutcome::DATA:
        if (!reader.file.write(reader.buffer, static_cast<size_t>(piece.count))) return DownloadOutcome::WRITE;
        break;
      case ReceiveOutcome::CLOSED:
        return DownloadOutcome::COMPLETE;  // the body's only end (over TLS, its close_notify)
      case ReceiveOutcome::TRUNCATED:
      case ReceiveOutcome::TIMED_OUT:
      case ReceiveOutcome::FAILED:
        return DownloadOutcome::BODY_CUT_SHORT;
    }
  }
}
