#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "net/tls_record.h"
#include "tls_bytes.h"

namespace {

TEST(TlsRecordHeader, TellsAtTheFirstWrongByte) {
  const struct {
    const char* what;
    std::string bytes;
    RecordState state;
    RecordRule rule;
    size_t size;
  } cases[] = {
      {"nothing yet", "", RecordState::NEED_MORE, RecordRule::NONE, 0},
      {"a handshake's type alone", "\x16", RecordState::NEED_MORE, RecordRule::NONE, 0},
      {"plain HTTP", "H", RecordState::INVALID, RecordRule::TYPE, 0},
      {"below change_cipher_spec", "\x13", RecordState::INVALID, RecordRule::TYPE, 0},
      {"above application_data", "\x18", RecordState::INVALID, RecordRule::TYPE, 0},
      {"an SSL 2 version", raw("\x16\x02"), RecordState::INVALID, RecordRule::VERSION, 0},
      {"version, no length", "\x16\x03\x01", RecordState::NEED_MORE, RecordRule::NONE, 0},
      {"half a length", "\x17\x03\x03\x00", RecordState::NEED_MORE, RecordRule::NONE, 0},
      {"an empty application-data record", raw("\x17\x03\x03\x00\x00"), RecordState::COMPLETE,
       RecordRule::NONE, 5},
      {"the longest record, not yet whole", raw("\x17\x03\x03\x48\x00"), RecordState::NEED_MORE,
       RecordRule::NONE, TLS_RECORD_LIMIT},
      {"one byte longer than any", raw("\x17\x03\x03\x48\x01"), RecordState::INVALID, RecordRule::LENGTH,
       0},
      {"a whole alert and more", record(TLS_ALERT, TLS_1_2, raw("\x01\x00")) + "\x17", RecordState::COMPLETE,
       RecordRule::NONE, 7},
  };
  for (const auto& c : cases) {
    const RecordHeader header = read_record_header(c.bytes);
    EXPECT_EQ(header.state, c.state) << c.what;
    EXPECT_EQ(header.rule, c.rule) << c.what;
    if (c.state != RecordState::INVALID && c.bytes.size() >= TLS_RECORD_HEADER) {
      EXPECT_EQ(header.size, c.size) << c.what;
    }
  }
  EXPECT_EQ(read_record_header("\x15\x03\x01").version, TLS_1_0);
  EXPECT_EQ(read_record_header("\x15").type, TLS_ALERT);
}

// The scan is a function of the bytes so far: every prefix of a stream is
// what a connection holds after some split of its receives, so checking
// each prefix covers every way the stream can arrive.
TEST(TlsRecordScan, EveryPrefixOfAStream) {
  const std::string first = record(TLS_HANDSHAKE, TLS_1_2, std::string(300, 'h'));
  const std::string second = record(TLS_APPLICATION_DATA, TLS_1_2, "");
  const std::string third = record(TLS_APPLICATION_DATA, TLS_1_2, std::string(5000, 'a'));
  const std::string stream = first + second + third;
  for (size_t length = 0; length <= stream.size(); ++length) {
    const RecordScan scan = scan_records(std::string_view(stream).substr(0, length));
    size_t whole = 0;
    size_t records = 0;
    for (const std::string* r : {&first, &second, &third}) {
      if (whole + r->size() > length) break;
      whole += r->size();
      ++records;
    }
    ASSERT_EQ(scan.whole_bytes, whole) << length;
    ASSERT_EQ(scan.records, records) << length;
    ASSERT_EQ(scan.state, RecordState::NEED_MORE) << length;
  }
  // A wrong header after whole records: the whole ones still count, and
  // the rest can never become a record.
  const RecordScan broken = scan_records(first + "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(broken.state, RecordState::INVALID);
  EXPECT_EQ(broken.rule, RecordRule::TYPE);
  EXPECT_EQ(broken.whole_bytes, first.size());
  EXPECT_EQ(broken.records, 1u);
}

TEST(TlsServerHello, VersionOfferedInTheClear) {
  const struct {
    const char* what;
    std::string record;
    uint16_t version;
  } cases[] = {
      {"TLS 1.0", server_hello(TLS_1_0), TLS_1_0},
      {"TLS 1.2 (also what a TLS 1.3 server writes here)", server_hello(TLS_1_2), TLS_1_2},
      {"a ClientHello", record(TLS_HANDSHAKE, TLS_1_0, raw("\x01\x00\x00\x26\x03\x03") + std::string(38, 'c')), 0},
      {"a message too short for a version", record(TLS_HANDSHAKE, TLS_1_2, raw("\x02\x00\x00\x26\x03")), 0},
      {"an alert", record(TLS_ALERT, TLS_1_0, "\x02\x46"), 0},
      {"a record not yet whole", server_hello(TLS_1_0).substr(0, 20), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(server_hello_version(c.record), c.version) << c.what;
}

TEST(TlsAlert, DescriptionOnlyOfAnAlertInTheClear) {
  EXPECT_EQ(plain_alert_description(record(TLS_ALERT, TLS_1_0, "\x02\x46")), TLS_ALERT_PROTOCOL_VERSION);
  EXPECT_EQ(plain_alert_description(record(TLS_ALERT, TLS_1_2, "\x02\x28")), 40);
  // An encrypted alert is longer than two bytes and says nothing here.
  EXPECT_EQ(plain_alert_description(record(TLS_ALERT, TLS_1_2, std::string(26, 'e'))), -1);
  EXPECT_EQ(plain_alert_description(record(TLS_HANDSHAKE, TLS_1_2, "\x02\x28")), -1);
  EXPECT_EQ(plain_alert_description(record(TLS_ALERT, TLS_1_2, "\x02\x28").substr(0, 6)), -1);
}

}  // namespace
