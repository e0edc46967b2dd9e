// The chunk decoder on any bytes: every run of data lies inside the input,
// no count goes negative, and whole and in pieces give the same data.
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/pieces.h"
#include "http/chunked_decoder.h"

namespace {

struct Decoded {
  ChunkedDecoder decoder;
  std::string data;
};

Decoded decode(const std::vector<std::string_view>& pieces) {
  Decoded out;
  for (std::string_view piece : pieces) {
    while (!piece.empty() && !chunked_finished(out.decoder)) {
      const ChunkStep step = decode_chunked(out.decoder, piece);
      if (step.consumed > piece.size() || step.data_offset + step.data_length > step.consumed) std::abort();
      if (out.decoder.remaining < 0) std::abort();
      out.data.append(piece.substr(step.data_offset, step.data_length));
      if (step.consumed == 0) std::abort();  // no progress on a live decoder
      piece.remove_prefix(step.consumed);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Decoded whole = decode({input});
  const Decoded split = decode(pieces_of(input, seed_of(input)));
  if (whole.decoder.state != split.decoder.state || whole.data != split.data) std::abort();
  if (whole.decoder.rule != split.decoder.rule) std::abort();
  if ((whole.decoder.state == ChunkState::INVALID) != (whole.decoder.rule != ChunkRule::NONE)) std::abort();
  if (whole.data.size() > size) std::abort();
  return 0;
}
