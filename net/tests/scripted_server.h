#pragma once
// A one-connection server on 127.0.0.1 for tests: it listens on a port of the
// system's choosing and plays a script of exact bytes, pauses and closes to
// the first client, on a thread of its own. Every wait is bounded, and the
// destructor stops the thread and closes every socket, so a test that fails
// half-way leaves nothing running.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptStep {
  enum class Kind { READ_REQUEST, READ_SOME, SEND, SEND_PATTERN, PAUSE, HOLD_UNTIL_PEER_CLOSES };
  Kind kind;
  std::string bytes;        // SEND
  uint64_t count = 0;       // SEND_PATTERN: bytes of pattern_bytes to send
  uint32_t milliseconds = 0;  // PAUSE, HOLD_UNTIL_PEER_CLOSES: the bound
};

namespace script {
// Reads the client's bytes up to and including the empty line of its head.
ScriptStep read_request();
// Reads whatever the client sends first (one receive, kept as the request):
// a TLS ClientHello, say, which has no empty line to wait for.
ScriptStep read_some();
ScriptStep send(std::string bytes);
// count bytes of pattern_bytes, from offset 0, as fast as the client reads.
ScriptStep send_pattern(uint64_t count);
ScriptStep pause(uint32_t milliseconds);
// Waits, sending nothing, until the client closes (or the bound ends).
ScriptStep hold_until_peer_closes(uint32_t milliseconds);
// Every byte of bytes as a send of its own, with a pause after each.
std::vector<ScriptStep> trickle(const std::string& bytes, uint32_t pause_milliseconds);
}  // namespace script

// The deterministic body of SEND_PATTERN: byte i of the stream.
char pattern_byte(uint64_t index);
std::string pattern_bytes(uint64_t offset, uint64_t count);

class ScriptedServer {
 public:
  // After the script the connection is closed in order (FIN, not reset).
  explicit ScriptedServer(std::vector<ScriptStep> script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by rest.
  std::string url(const std::string& rest = "/") const;
  // The bytes the client sent, as far as read_request read them.
  std::string request() const;
  // Number of connections accepted (0 or 1).
  int connections() const { return connections_.load(); }
  // Waits (bounded) until the script has run to its end.
  bool wait_finished(uint32_t milliseconds) const;

 private:
  void run();
  void play(uintptr_t client);

  std::vector<ScriptStep> script_;
  uintptr_t listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::string request_;
  std::thread thread_;
};
