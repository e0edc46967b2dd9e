// The TLS handshake against servers that do not complete it: each is told
// apart, at once when the server's bytes already say so, at the deadline
// when it falls silent, and every wait gives the hook its turns. Handshakes
// that complete, with real servers and certificates, are the end-to-end
// suite's (tests/e2e/test_tls.py).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/tests/runtime_fixture.h"
#include "net/clock.h"
#include "net/connection.h"
#include "net/tls.h"
#include "hook_log.h"
#include "network_environment.h"
#include "scripted_server.h"
#include "tests/time_scale.h"
#include "tls_bytes.h"

namespace {

struct HandshakeCase {
  const char* what;
  std::vector<ScriptStep> script;  // after the ClientHello has been read
  TlsFailure failure;
  uint16_t version = 0;
  int16_t alert = -1;
};

TEST(StartTls, ServersThatEndTheHandshakeAreToldApartAtOnce) {
  const ScriptStep stay = script::hold_until_peer_closes(20000);
  const HandshakeCase cases[] = {
      {"an HTTP server's answer", {script::send("HTTP/1.1 400 Bad Request\r\n\r\n"), stay}, TlsFailure::NOT_TLS},
      {"a header no server sends", {script::send(raw("\x16\x03\x03\xff\xff")), stay}, TlsFailure::NOT_TLS},
      {"a close after the ClientHello", {}, TlsFailure::HANDSHAKE_CLOSED},
      {"no version in common",
       {script::send(record(TLS_ALERT, TLS_1_0, raw("\x02\x46"))), stay},
       TlsFailure::PROTOCOL_TOO_OLD,
       0,
       TLS_ALERT_PROTOCOL_VERSION},
      {"a TLS 1.0 ServerHello", {script::send(server_hello(TLS_1_0)), stay}, TlsFailure::PROTOCOL_TOO_OLD, TLS_1_0},
      {"a handshake_failure alert",
       {script::send(record(TLS_ALERT, TLS_1_2, raw("\x02\x28"))), stay},
       TlsFailure::HANDSHAKE_REFUSED,
       0,
       40},
      {"a record, then a header no server sends",
       {script::send(record(TLS_HANDSHAKE, TLS_1_2, raw("\x02")) + "HTTP"), stay},
       TlsFailure::BAD_RECORD},
  };
  for (const HandshakeCase& c : cases) {
    std::vector<ScriptStep> script{script::read_some()};
    script.insert(script.end(), c.script.begin(), c.script.end());
    ScriptedServer server(script);
    ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
    ASSERT_NE(connection, nullptr) << c.what;
    const uint64_t start = monotonic_milliseconds();
    const TlsResult result = start_tls(connection, "localhost", start + 10000);
    EXPECT_EQ(result.failure, c.failure) << c.what;
    EXPECT_EQ(result.version, c.version) << c.what;
    EXPECT_EQ(result.alert, c.alert) << c.what;
    EXPECT_LT(monotonic_milliseconds() - start, scaled_ms(2000)) << c.what;
    // What the server read was a ClientHello: a handshake record.
    EXPECT_EQ(server.request().substr(0, 1), "\x16") << c.what;
    // The connection stays failed: nothing goes out over it, nothing comes in.
    char buffer[16];
    EXPECT_EQ(send_with_timeout(connection, "GET", 3, 1), 0) << c.what;
    EXPECT_NE(receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 100).outcome,
              ReceiveOutcome::DATA)
        << c.what;
    EXPECT_EQ(tls_failure(connection).failure, c.failure) << c.what;
    close_connection(connection);
  }
}

// A server that reads the ClientHello and says nothing: the handshake ends
// at its deadline, and the hook has its turns all the while.
TEST(StartTls, SilentServerEndsAtTheDeadlineWithTheHookTurning) {
  ScriptedServer server({script::read_some(), script::hold_until_peer_closes(20000)});
  HookLog log;
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port(), log.hook());
  ASSERT_NE(connection, nullptr);
  const uint64_t start = monotonic_milliseconds();
  const uint64_t wait_ms = 1500;
  const TlsResult result = start_tls(connection, "localhost", start + wait_ms);
  const uint64_t end = monotonic_milliseconds();
  EXPECT_EQ(result.failure, TlsFailure::TIMED_OUT);
  EXPECT_GE(end - start, wait_ms);
  EXPECT_LT(end - start, wait_ms + scaled_ms(1000));
  EXPECT_GE(log.times.size(), (end - start) / hook_gap_budget_ms());
  EXPECT_LT(log.longest_gap(start, end), hook_gap_budget_ms());
  close_connection(connection);
}

// A plain connection's orderly end is CLOSED, never TRUNCATED, and it has
// no TLS failure to tell.
TEST(TlsFailure, NoneForAPlainConnection) {
  ScriptedServer server({});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  char buffer[8];
  EXPECT_EQ(receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 5000).outcome,
            ReceiveOutcome::CLOSED);
  EXPECT_EQ(tls_failure(connection).failure, TlsFailure::NONE);
  close_connection(connection);
  EXPECT_EQ(tls_failure(nullptr).failure, TlsFailure::NONE);
}

}  // namespace
