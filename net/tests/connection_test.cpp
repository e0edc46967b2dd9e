#include <winsock.h>

#include <gtest/gtest.h>

#include <string>

#include "base/tests/runtime_fixture.h"
#include "net/clock.h"
#include "net/connection.h"
#include "net/connection_record.h"
#include "network_environment.h"
#include "scripted_server.h"

namespace {

struct Stopwatch {
  uint64_t start = monotonic_milliseconds();
  uint64_t elapsed() const { return monotonic_milliseconds() - start; }
};

// A port on 127.0.0.1 that nothing listens on.
uint16_t closed_port() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  int length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(s);
  return ntohs(address.sin_port);
}

TEST(Network, StartsAgainAfterItsEnd) {
  end_network();
  end_network();  // a second end owes nothing
  EXPECT_EQ(init_network(), 1);
  EXPECT_EQ(init_network(), 1);
}

TEST(OpenConnection, DottedAddressAndNameBothConnect) {
  for (const char* host : {"127.0.0.1", "localhost"}) {
    ScriptedServer server({script::send("hi")});
    ConnectionRecord* connection = open_connection(host, server.port());
    ASSERT_NE(connection, nullptr) << host;
    EXPECT_EQ(connection->kind, CONNECTION_STREAM);
    char buffer[8];
    EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), 2) << host;
    EXPECT_EQ(std::string(buffer, 2), "hi");
    close_connection(connection);
    EXPECT_EQ(server.connections(), 1);
  }
}

TEST(OpenConnection, FailuresGiveNull) {
  EXPECT_EQ(open_connection(nullptr, 80), nullptr);
  Stopwatch watch;
  EXPECT_EQ(open_connection("127.0.0.1", closed_port()), nullptr);
  EXPECT_LT(watch.elapsed(), 5000u);
}

TEST(Receive, WakesWhenBytesArriveNotAtTheNextTick) {
  ScriptedServer server({script::pause(300), script::send("abc")});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  Stopwatch watch;
  char buffer[16];
  EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), 3);
  EXPECT_GE(watch.elapsed(), 250u);
  EXPECT_LT(watch.elapsed(), 700u);
  close_connection(connection);
}

TEST(Receive, EndOfStreamReturnsAtOnce) {
  ScriptedServer server({script::send("xy")});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  char buffer[16];
  ASSERT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), 2);
  Stopwatch watch;
  EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), 0);
  EXPECT_LT(watch.elapsed(), 1000u);
  const ReceiveResult again = receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 5000);
  EXPECT_EQ(again.outcome, ReceiveOutcome::CLOSED);
  close_connection(connection);
}

TEST(Receive, SilenceLastsTheWholeTimeOut) {
  ScriptedServer server({script::hold_until_peer_closes(10000)});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  char buffer[16];
  Stopwatch watch;
  EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 1), 0);
  EXPECT_GE(watch.elapsed(), 1000u);
  EXPECT_LT(watch.elapsed(), 1400u);
  const ReceiveResult result = receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 150);
  EXPECT_EQ(result.outcome, ReceiveOutcome::TIMED_OUT);
  close_connection(connection);
}

// A file-transfer message is a poll's business only: a receive takes those
// bytes like any others.
TEST(PollConnection, ReportsWhatIsWaitingAndNeverHoldsBackTheBytes) {
  struct Case {
    std::string bytes;
    int32_t poll;
  } cases[] = {
      {"GXMGSFLE and more", POLL_FILE_TRANSFER},
      {"GXMGSFLE", POLL_FILE_TRANSFER},
      {"GXMG", POLL_DATA},
      {"ordinary data", POLL_DATA},
  };
  for (const Case& c : cases) {
    ScriptedServer server({script::send(c.bytes), script::hold_until_peer_closes(5000)});
    ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
    ASSERT_NE(connection, nullptr);
    // All the bytes come in one send; wait (bounded) until they are all there.
    const uint64_t end = monotonic_milliseconds() + 5000;
    u_long waiting = 0;
    while (monotonic_milliseconds() < end) {
      ioctlsocket(connection->socket, FIONREAD, &waiting);
      if (waiting >= c.bytes.size()) break;
      Sleep(5);
    }
    EXPECT_EQ(poll_connection(connection), c.poll) << c.bytes;
    char buffer[64];
    Stopwatch watch;
    EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(std::string(buffer, c.bytes.size()), c.bytes);
    EXPECT_LT(watch.elapsed(), 500u);
    EXPECT_EQ(poll_connection(connection), POLL_NOTHING);
    close_connection(connection);
  }
}

TEST(PollConnection, FailedQueryReportsDataAndTheReadFailsAtOnce) {
  ScriptedServer server({script::hold_until_peer_closes(5000)});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  closesocket(connection->socket);  // the handle is no socket any more
  EXPECT_EQ(poll_connection(connection), POLL_DATA);
  char buffer[16];
  Stopwatch watch;
  EXPECT_EQ(receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 3000).outcome,
            ReceiveOutcome::FAILED);
  EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 3), 0);
  EXPECT_LT(watch.elapsed(), 1000u);
  connection->socket = INVALID_SOCKET;
  close_connection(connection);
}

TEST(Send, HandsOverEveryByte) {
  const std::string payload = pattern_bytes(0, 3 << 20) + "\r\n\r\n";
  ScriptedServer server({script::read_request()});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(send_with_timeout(connection, payload.data(), static_cast<int32_t>(payload.size()), 10), 1);
  ASSERT_TRUE(server.wait_finished(10000));
  EXPECT_TRUE(server.request() == payload);  // no 3 MiB diff on failure
  close_connection(connection);
}

TEST(Send, PeerThatNeverReadsTimesOut) {
  const std::string payload(64 << 20, 'z');
  ScriptedServer server({script::pause(5000)});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  Stopwatch watch;
  EXPECT_EQ(send_with_timeout(connection, payload.data(), static_cast<int32_t>(payload.size()), 1), 0);
  EXPECT_GE(watch.elapsed(), 1000u);
  EXPECT_LT(watch.elapsed(), 2000u);
  close_connection(connection);
}

}  // namespace
