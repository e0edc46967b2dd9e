#include "net/tls_record.h"

namespace {

constexpr uint8_t SERVER_HELLO = 2;

uint8_t byte_at(std::string_view bytes, size_t index) { return static_cast<uint8_t>(bytes[index]); }

uint16_t number_at(std::string_view bytes, size_t index) {
  return static_cast<uint16_t>(byte_at(bytes, index) << 8 | byte_at(bytes, index + 1));
}

RecordHeader refused(RecordRule rule, uint8_t type, uint16_t version) {
  return {RecordState::INVALID, rule, type, version, 0};
}

}  // namespace

RecordHeader read_record_header(std::string_view bytes) {
  RecordHeader header{RecordState::NEED_MORE, RecordRule::NONE, 0, 0, 0};
  if (bytes.empty()) return header;
  header.type = byte_at(bytes, 0);
  if (header.type < TLS_CHANGE_CIPHER_SPEC || header.type > TLS_APPLICATION_DATA) {
    return refused(RecordRule::TYPE, header.type, 0);
  }
  if (bytes.size() < 2) return header;
  if (byte_at(bytes, 1) != 3) return refused(RecordRule::VERSION, header.type, 0);
  if (bytes.size() < 3) return header;
  header.version = number_at(bytes, 1);
  if (bytes.size() < TLS_RECORD_HEADER) return header;
  const size_t length = number_at(bytes, 3);
  if (length > TLS_RECORD_BODY_LIMIT) return refused(RecordRule::LENGTH, header.type, header.version);
  header.size = TLS_RECORD_HEADER + length;
  if (bytes.size() >= header.size) header.state = RecordState::COMPLETE;
  return header;
}

RecordScan scan_records(std::string_view bytes) {
  RecordScan scan{RecordState::NEED_MORE, RecordRule::NONE, 0, 0};
  for (;;) {
    const RecordHeader header = read_record_header(bytes.substr(scan.whole_bytes));
    if (header.state != RecordState::COMPLETE) {
      scan.state = header.state;
      scan.rule = header.rule;
      return scan;
    }
    scan.whole_bytes += header.size;
    ++scan.records;
  }
}

uint16_t server_hello_version(std::string_view record) {
  const RecordHeader header = read_record_header(record);
  if (header.state != RecordState::COMPLETE || header.type != TLS_HANDSHAKE) return 0;
  // Message type (1 byte), its length (3 bytes), then the version.
  const std::string_view body = record.substr(TLS_RECORD_HEADER, header.size - TLS_RECORD_HEADER);
  if (body.size() < 6 || byte_at(body, 0) != SERVER_HELLO) return 0;
  return number_at(body, 4);
}

int32_t plain_alert_description(std::string_view record) {
  const RecordHeader header = read_record_header(record);
  if (header.state != RecordState::COMPLETE || header.type != TLS_ALERT) return -1;
  if (header.size != TLS_RECORD_HEADER + 2) return -1;
  return byte_at(record, TLS_RECORD_HEADER + 1);
}
