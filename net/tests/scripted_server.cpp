#include "scripted_server.h"

#include <winsock.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr uint32_t ACCEPT_BOUND_MS = 30000;
constexpr uint32_t READ_REQUEST_BOUND_MS = 15000;
constexpr uint32_t SEND_BOUND_MS = 60000;
constexpr long SLICE_MS = 20;

uint64_t now_ms() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// True when the socket became ready for the direction within one slice.
bool ready(SOCKET handle, bool for_write) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(handle, &set);
  timeval limit{0, SLICE_MS * 1000};
  const int n = for_write ? select(0, nullptr, &set, nullptr, &limit) : select(0, &set, nullptr, nullptr, &limit);
  return n > 0;
}

}  // namespace

namespace script {
ScriptStep read_request() { return {ScriptStep::Kind::READ_REQUEST, {}, 0, 0}; }
ScriptStep read_some() { return {ScriptStep::Kind::READ_SOME, {}, 0, 0}; }
ScriptStep send(std::string bytes) { return {ScriptStep::Kind::SEND, std::move(bytes), 0, 0}; }
ScriptStep send_pattern(uint64_t count) { return {ScriptStep::Kind::SEND_PATTERN, {}, count, 0}; }
ScriptStep pause(uint32_t milliseconds) { return {ScriptStep::Kind::PAUSE, {}, 0, milliseconds}; }
ScriptStep hold_until_peer_closes(uint32_t milliseconds) {
  return {ScriptStep::Kind::HOLD_UNTIL_PEER_CLOSES, {}, 0, milliseconds};
}
std::vector<ScriptStep> trickle(const std::string& bytes, uint32_t pause_milliseconds) {
  std::vector<ScriptStep> steps;
  for (char c : bytes) {
    steps.push_back(send(std::string(1, c)));
    steps.push_back(pause(pause_milliseconds));
  }
  return steps;
}
}  // namespace script

char pattern_byte(uint64_t index) { return static_cast<char>((index * 131 + index / 1021) & 0xFF); }

std::string pattern_bytes(uint64_t offset, uint64_t count) {
  std::string bytes(count, '\0');
  for (uint64_t i = 0; i < count; ++i) bytes[i] = pattern_byte(offset + i);
  return bytes;
}

ScriptedServer::ScriptedServer(std::vector<ScriptStep> script) : script_(std::move(script)) {
  WSADATA data;
  WSAStartup(0x0101, &data);  // counted: balanced in the destructor
  SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  listener_ = handle;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  address.sin_port = 0;
  int length = sizeof address;
  if (handle == INVALID_SOCKET || bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(handle, 4) != 0 || getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    finished_ = true;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  WSACleanup();
}

std::string ScriptedServer::url(const std::string& rest) const {
  return "http://127.0.0.1:" + std::to_string(port_) + rest;
}

std::string ScriptedServer::request() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_;
}

bool ScriptedServer::wait_finished(uint32_t milliseconds) const {
  const uint64_t end = now_ms() + milliseconds;
  while (!finished_) {
    if (now_ms() >= end) return false;
    Sleep(5);
  }
  return true;
}

void ScriptedServer::run() {
  const uint64_t end = now_ms() + ACCEPT_BOUND_MS;
  while (!stop_ && now_ms() < end) {
    if (!ready(listener_, false)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    ++connections_;
    u_long non_blocking = 1;
    ioctlsocket(client, FIONBIO, &non_blocking);
    play(client);
    // An orderly close: FIN after the last byte, then drain what the client
    // still sends so that closesocket never turns into a reset.
    shutdown(client, 1);
    const uint64_t drain_end = now_ms() + 2000;
    char sink[4096];
    while (!stop_ && now_ms() < drain_end) {
      const int n = recv(client, sink, sizeof sink, 0);
      if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) break;
      if (n < 0) ready(client, false);
    }
    closesocket(client);
    break;
  }
  finished_ = true;
}

void ScriptedServer::play(uintptr_t client_value) {
  const SOCKET client = client_value;
  auto send_all = [&](const char* data, size_t length) {
    const uint64_t end = now_ms() + SEND_BOUND_MS;
    while (length > 0 && !stop_ && now_ms() < end) {
      const int n = ::send(client, data, static_cast<int>(std::min<size_t>(length, 65536)), 0);
      if (n > 0) {
        data += n;
        length -= static_cast<size_t>(n);
      } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
        ready(client, true);
      } else {
        return false;
      }
    }
    return length == 0;
  };
  for (const ScriptStep& step : script_) {
    if (stop_) return;
    switch (step.kind) {
      case ScriptStep::Kind::READ_REQUEST: {
        const uint64_t end = now_ms() + READ_REQUEST_BOUND_MS;
        std::string received;
        bool ended = false;
        while (!stop_ && !ended && now_ms() < end) {
          char piece[4096];
          const int n = recv(client, piece, sizeof piece, 0);
          if (n > 0) {
            // Only the new bytes and the three before them can complete the
            // empty line, so a long request costs no rescanning.
            const size_t from = received.size() < 3 ? 0 : received.size() - 3;
            received.append(piece, static_cast<size_t>(n));
            ended = received.find("\r\n\r\n", from) != std::string::npos;
          } else if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
            break;
          } else {
            ready(client, false);
          }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        request_ = received;
        break;
      }
      case ScriptStep::Kind::READ_SOME: {
        const uint64_t end = now_ms() + READ_REQUEST_BOUND_MS;
        char piece[4096];
        int n = -1;
        while (!stop_ && now_ms() < end) {
          n = recv(client, piece, sizeof piece, 0);
          if (n >= 0 || WSAGetLastError() != WSAEWOULDBLOCK) break;
          ready(client, false);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        request_.assign(piece, static_cast<size_t>(std::max(n, 0)));
        break;
      }
      case ScriptStep::Kind::SEND:
        if (!send_all(step.bytes.data(), step.bytes.size())) return;
        break;
      case ScriptStep::Kind::SEND_PATTERN: {
        uint64_t sent = 0;
        while (sent < step.count) {
          const uint64_t piece = std::min<uint64_t>(step.count - sent, 65536);
          const std::string bytes = pattern_bytes(sent, piece);
          if (!send_all(bytes.data(), bytes.size())) return;
          sent += piece;
        }
        break;
      }
      case ScriptStep::Kind::PAUSE: {
        const uint64_t end = now_ms() + step.milliseconds;
        while (!stop_ && now_ms() < end) Sleep(5);
        break;
      }
      case ScriptStep::Kind::HOLD_UNTIL_PEER_CLOSES: {
        const uint64_t end = now_ms() + step.milliseconds;
        char sink[256];
        while (!stop_ && now_ms() < end) {
          const int n = recv(client, sink, sizeof sink, 0);
          if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) return;
          if (n < 0) ready(client, false);
        }
        break;
      }
    }
  }
}
