// The record scan on any bytes, as a connection meets them arriving in
// pieces: every prefix says no more than the whole (whole records only
// grow, a refusal stays), records never reach past the bytes, and the
// handshake facts are read only from whole records.
#include <cstdlib>
#include <string_view>

#include "fuzz/pieces.h"
#include "net/tls_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const RecordScan whole = scan_records(input);
  if (whole.whole_bytes > size || (whole.records == 0) != (whole.whole_bytes == 0)) std::abort();
  if ((whole.state == RecordState::INVALID) != (whole.rule != RecordRule::NONE)) std::abort();
  if (whole.state == RecordState::COMPLETE) std::abort();  // the scan ends at a record not whole
  size_t seen = 0;
  RecordScan last{RecordState::NEED_MORE, RecordRule::NONE, 0, 0};
  for (std::string_view piece : pieces_of(input, seed_of(input))) {
    seen += piece.size();
    const RecordScan now = scan_records(input.substr(0, seen));
    if (now.whole_bytes < last.whole_bytes || now.records < last.records) std::abort();
    if (last.state == RecordState::INVALID && now.state != RecordState::INVALID) std::abort();
    last = now;
  }
  if (last.whole_bytes != whole.whole_bytes || last.state != whole.state || last.rule != whole.rule) std::abort();
  // Each whole record, on its own, reads as exactly one.
  for (std::string_view rest = input.substr(0, whole.whole_bytes); !rest.empty();) {
    const RecordHeader header = read_record_header(rest);
    if (header.state != RecordState::COMPLETE || header.size < TLS_RECORD_HEADER || header.size > rest.size()) {
      std::abort();
    }
    const std::string_view record = rest.substr(0, header.size);
    const uint16_t version = server_hello_version(record);
    if (version && header.type != TLS_HANDSHAKE) std::abort();
    const int32_t alert = plain_alert_description(record);
    if (alert >= 0 && (header.type != TLS_ALERT || header.size != TLS_RECORD_HEADER + 2)) std::abort();
    rest.remove_prefix(header.size);
  }
  return 0;
}
