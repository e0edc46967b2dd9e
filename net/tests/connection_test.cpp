#include <winsock.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/tests/runtime_fixture.h"
#include "net/clock.h"
#include "net/connection.h"
#include "net/connection_record.h"
#include "hook_log.h"
#include "network_environment.h"
#include "scripted_server.h"
#include "tests/time_scale.h"

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

// A socket listening on 127.0.0.1, on a port of the system's choosing, with
// room for backlog connections in its queue; INVALID_SOCKET when it cannot
// be made.
SOCKET loopback_listener(int backlog, sockaddr_in* address) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  *address = {};
  address->sin_family = AF_INET;
  address->sin_addr.s_addr = inet_addr("127.0.0.1");
  int length = sizeof *address;
  if (bind(listener, reinterpret_cast<sockaddr*>(address), sizeof *address) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(address), &length) != 0 || listen(listener, backlog) != 0) {
    closesocket(listener);
    return INVALID_SOCKET;
  }
  return listener;
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

// Each failure says what it was, and none waits for a time-out.
TEST(OpenConnection, FailuresGiveNullAndTheirReason) {
  EXPECT_EQ(open_connection(nullptr, 80), nullptr);
  const struct {
    const char* host;
    uint16_t port;
    ConnectFailure failure;
  } cases[] = {
      {"127.0.0.1", closed_port(), ConnectFailure::REFUSED},
      {"localhost", closed_port(), ConnectFailure::REFUSED},
      {"gx-nowhere.invalid", 80, ConnectFailure::NO_SUCH_HOST},
  };
  for (const auto& c : cases) {
    Stopwatch watch;
    const ConnectResult result = connect_to_host(c.host, c.port);
    EXPECT_EQ(result.connection, nullptr) << c.host;
    EXPECT_EQ(result.failure, c.failure) << c.host;
    EXPECT_NE(result.error, 0) << c.host;
    EXPECT_LT(watch.elapsed(), scaled_ms(5000)) << c.host;
  }
}

TEST(Receive, WakesWhenBytesArriveNotAtTheNextTick) {
  ScriptedServer server({script::pause(300), script::send("abc")});
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port());
  ASSERT_NE(connection, nullptr);
  Stopwatch watch;
  char buffer[16];
  EXPECT_EQ(receive_with_timeout(connection, buffer, sizeof buffer, 5), 3);
  EXPECT_GE(watch.elapsed(), 250u);
  EXPECT_LT(watch.elapsed(), scaled_ms(700));
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
  EXPECT_LT(watch.elapsed(), scaled_ms(1000));
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
  EXPECT_LT(watch.elapsed(), 1000 + scaled_ms(400));
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
    EXPECT_LT(watch.elapsed(), scaled_ms(500));
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
  EXPECT_LT(watch.elapsed(), scaled_ms(1000));
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
  EXPECT_LT(watch.elapsed(), 1000 + scaled_ms(1000));
  close_connection(connection);
}

// The waits below last a second and more without turns of the hook, which
// its budget (hook_log.h) tells apart; under emulation the receive's
// silence stretches with the budget, the other waits are the 64-bit run's
// to judge.
TEST(WaitHook, RunsWhileAReceiveWaits) {
  // Longer than the budget under emulation too.
  const uint32_t silence_ms = static_cast<uint32_t>(scaled_ms(1200));
  ScriptedServer server({script::pause(silence_ms), script::send("late")});
  HookLog log;
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port(), log.hook());
  ASSERT_NE(connection, nullptr);
  char buffer[16];
  const uint64_t start = monotonic_milliseconds();
  const ReceiveResult result = receive_before(connection, buffer, sizeof buffer, start + silence_ms + 5000);
  const uint64_t end = monotonic_milliseconds();
  EXPECT_EQ(result.outcome, ReceiveOutcome::DATA);
  EXPECT_GE(end - start, 1000u);
  EXPECT_GE(log.times.size(), (end - start) / hook_gap_budget_ms());
  EXPECT_LT(log.longest_gap(start, end), hook_gap_budget_ms());
  close_connection(connection);
}

// A name lookup cannot be sliced, so the hook runs just before it and just
// after it (a stop asked for meanwhile acts at once); a dotted address
// needs no lookup, and such an open owes the hook no turn before its
// connect. Each turn notes whether the connect has been made, which the
// listener shows at once on loopback (the connection waits in its queue,
// never accepted), however slow the machine.
TEST(WaitHook, RunsBeforeANameLookupAndNotForADottedAddress) {
  struct Case {
    const char* host;
    bool looked_up;
  };
  for (const Case& c : {Case{"localhost", true}, Case{"127.0.0.1", false}}) {
    sockaddr_in address;
    SOCKET listener = loopback_listener(4, &address);
    ASSERT_NE(listener, INVALID_SOCKET);
    HookLog log;
    int turns_before_connect = 0;
    log.each_turn = [&] {
      fd_set pending;
      FD_ZERO(&pending);
      FD_SET(listener, &pending);
      timeval now{0, 0};
      if (select(0, &pending, nullptr, nullptr, &now) == 0) ++turns_before_connect;
    };
    ConnectionRecord* connection = open_connection(c.host, ntohs(address.sin_port), log.hook());
    ASSERT_NE(connection, nullptr) << c.host;
    EXPECT_EQ(turns_before_connect, c.looked_up ? 2 : 0) << c.host;
    close_connection(connection);
    closesocket(listener);
  }
}

// A listening socket whose queue is full drops the next SYN, so the connect
// really waits, on loopback too, until the client sends its SYN again (one
// second later). The hook frees a place in the queue after a while; the
// connect then succeeds with its next SYN.
TEST(WaitHook, RunsWhileAConnectWaits) {
  sockaddr_in address;
  SOCKET listener = loopback_listener(1, &address);
  ASSERT_NE(listener, INVALID_SOCKET);
  // Fill the queue: connects that complete until one does not.
  std::vector<SOCKET> queued;
  for (bool full = false; !full;) {
    ASSERT_LT(queued.size(), 16u);
    SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
    u_long non_blocking = 1;
    ioctlsocket(filler, FIONBIO, &non_blocking);
    connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(filler, &writable);
    timeval limit{0, 500000};
    full = select(0, nullptr, &writable, nullptr, &limit) == 0;
    if (full) {
      closesocket(filler);  // its SYN must not take the place freed below
    } else {
      queued.push_back(filler);
    }
  }
  HookLog log;
  const uint64_t start = monotonic_milliseconds();
  bool freed = false;
  log.each_turn = [&] {
    if (freed || monotonic_milliseconds() - start < 500) return;
    SOCKET accepted = accept(listener, nullptr, nullptr);
    if (accepted != INVALID_SOCKET) closesocket(accepted);
    freed = true;
  };
  ConnectionRecord* connection = open_connection("127.0.0.1", ntohs(address.sin_port), log.hook());
  const uint64_t end = monotonic_milliseconds();
  EXPECT_NE(connection, nullptr);
  EXPECT_TRUE(freed);
  EXPECT_GE(end - start, 800u);  // it did wait for a second SYN
  EXPECT_LT(end - start, scaled_ms(10000));
  EXPECT_GE(log.times.size(), (end - start) / hook_gap_budget_ms());
  EXPECT_LT(log.longest_gap(start, end), hook_gap_budget_ms());
  close_connection(connection);
  for (SOCKET s : queued) closesocket(s);
  closesocket(listener);
}

// A receive that finds bytes waiting never waits, yet the hook still gets
// its turn between pieces: here the bytes are all there from the start and
// each piece takes the reader a while, as a slow disk would.
TEST(WaitHook, RunsBetweenPiecesThatNeverWait) {
  const uint32_t pieces = 48;
  ScriptedServer server({script::send(pattern_bytes(0, pieces * 1024)), script::hold_until_peer_closes(20000)});
  HookLog log;
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port(), log.hook());
  ASSERT_NE(connection, nullptr);
  // Wait (bounded) until every byte is in the socket's buffer.
  const uint64_t until = monotonic_milliseconds() + 5000;
  u_long waiting = 0;
  while (waiting < pieces * 1024 && monotonic_milliseconds() < until) {
    ioctlsocket(connection->socket, FIONREAD, &waiting);
    Sleep(5);
  }
  ASSERT_EQ(waiting, pieces * 1024);
  log.times.clear();
  const uint64_t start = monotonic_milliseconds();
  char buffer[1024];
  for (uint32_t i = 0; i < pieces; ++i) {
    ASSERT_EQ(receive_before(connection, buffer, sizeof buffer, monotonic_milliseconds() + 5000).count, 1024);
    Sleep(25);
  }
  const uint64_t end = monotonic_milliseconds();
  EXPECT_GE(log.times.size(), (end - start) / hook_gap_budget_ms());
  EXPECT_LT(log.longest_gap(start, end), hook_gap_budget_ms());
  close_connection(connection);
}

// A stop ends the wait it interrupts at the hook's next turn, and every
// later wait on that connection at once; a stop during a name lookup acts
// as the lookup returns, before any connect.
TEST(WaitHook, StopEndsEveryWaitOfTheConnection) {
  ScriptedServer server({script::hold_until_peer_closes(10000)});
  HookLog log;
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port(), log.hook());
  ASSERT_NE(connection, nullptr);
  const uint64_t start = monotonic_milliseconds();
  log.each_turn = [&] { log.go_on = monotonic_milliseconds() - start < 300; };
  char buffer[16];
  const ReceiveResult stopped = receive_before(connection, buffer, sizeof buffer, start + 5000);
  EXPECT_EQ(stopped.outcome, ReceiveOutcome::STOPPED);
  EXPECT_LT(monotonic_milliseconds() - start, 300 + hook_gap_budget_ms());
  const size_t turns = log.times.size();
  EXPECT_EQ(receive_before(connection, buffer, sizeof buffer, start + 5000).outcome, ReceiveOutcome::STOPPED);
  EXPECT_EQ(send_before(connection, "x", 1, start + 5000).outcome, SendOutcome::STOPPED);
  EXPECT_EQ(log.times.size(), turns);  // nothing waited, nothing asked again
  close_connection(connection);

  HookLog at_once;
  at_once.go_on = false;
  const ConnectResult looked_up = connect_to_host("localhost", server.port(), at_once.hook());
  EXPECT_EQ(looked_up.connection, nullptr);
  EXPECT_EQ(looked_up.failure, ConnectFailure::STOPPED);
  EXPECT_EQ(server.connections(), 1);
}

TEST(WaitHook, RunsWhileASendWaits) {
  const std::string payload(64 << 20, 'z');
  ScriptedServer server({script::pause(5000)});
  HookLog log;
  ConnectionRecord* connection = open_connection("127.0.0.1", server.port(), log.hook());
  ASSERT_NE(connection, nullptr);
  const uint64_t start = monotonic_milliseconds();
  EXPECT_EQ(send_with_timeout(connection, payload.data(), static_cast<int32_t>(payload.size()), 1), 0);
  const uint64_t end = monotonic_milliseconds();
  EXPECT_LT(log.longest_gap(start, end), hook_gap_budget_ms());
  close_connection(connection);
}

}  // namespace
