#pragma once
// TLS records as they arrive from a server, read from their headers alone:
// where each record ends, whether the bytes can be TLS at all, and the few
// facts of the handshake that the platform's TLS does not tell (the version
// a server offered, the alert it answered with). Plain C++, no platform
// header.
//
//   record  = type version length body     ; length: bytes of body
//   type    = 20 / 21 / 22 / 23            ; change_cipher_spec, alert, handshake, application_data
//   version = %x03 any-byte                ; SSL 3.0 and every TLS
//   length  = 2 bytes, big-endian, at most TLS_RECORD_BODY_LIMIT
//
// The connection buffers received bytes until a record is whole and hands
// the platform whole records only; these functions say where they end.
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr uint8_t TLS_CHANGE_CIPHER_SPEC = 20;
constexpr uint8_t TLS_ALERT = 21;
constexpr uint8_t TLS_HANDSHAKE = 22;
constexpr uint8_t TLS_APPLICATION_DATA = 23;

constexpr size_t TLS_RECORD_HEADER = 5;
// 2^14 bytes of plaintext plus the 2,048 bytes of expansion TLS 1.2 allows
// an encrypted record (TLS 1.3 allows less).
constexpr size_t TLS_RECORD_BODY_LIMIT = 16384 + 2048;
constexpr size_t TLS_RECORD_LIMIT = TLS_RECORD_HEADER + TLS_RECORD_BODY_LIMIT;

// Protocol versions as they stand on the wire.
constexpr uint16_t TLS_1_0 = 0x0301;
constexpr uint16_t TLS_1_2 = 0x0303;
constexpr uint16_t TLS_1_3 = 0x0304;

// The alert a server sends when it speaks no version the client offered.
constexpr uint8_t TLS_ALERT_PROTOCOL_VERSION = 70;

enum class RecordState : uint8_t {
  NEED_MORE,  // every byte so far can start a record; it is not whole yet
  COMPLETE,   // a whole record lies at the start
  INVALID,    // a byte already seen is one no TLS peer sends there
};

// Which field made a record INVALID.
enum class RecordRule : uint8_t { NONE, TYPE, VERSION, LENGTH };

struct RecordHeader {
  RecordState state;
  RecordRule rule;
  uint8_t type;      // once the first byte is in
  uint16_t version;  // once the third byte is in
  size_t size;       // the whole record, header included, once the header is in
};

// The record that starts at the first byte of bytes. A server that answers
// a ClientHello in plain text (an HTTP server on the TLS port) is INVALID at
// its first byte, without waiting for more.
RecordHeader read_record_header(std::string_view bytes);

struct RecordScan {
  RecordState state;  // of the first record not whole: NEED_MORE, or INVALID
  RecordRule rule;
  size_t whole_bytes;  // bytes at the start that form whole records
  size_t records;      // how many whole records they are
};

// Walks the records from the start of bytes as far as they are whole.
RecordScan scan_records(std::string_view bytes);

// The version a ServerHello offers, when record is a whole handshake record
// whose first message is a ServerHello with its version in the record;
// 0 otherwise. A TLS 1.3 server offers TLS 1.2 here (and 1.3 in an
// extension), so a value below TLS_1_2 is an offer below TLS 1.2.
uint16_t server_hello_version(std::string_view record);

// The description of an alert sent in the clear (a whole alert record of
// two bytes); -1 when record is none.
int32_t plain_alert_description(std::string_view record);
