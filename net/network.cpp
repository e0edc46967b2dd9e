// Start and end of the socket library for the whole process.
#include <winsock.h>

#include "base/library_state.h"
#include "net/connection.h"

namespace {

struct NetworkState {
  int16_t started;  // 1 while WSAStartup has succeeded and WSACleanup is owed
};

NetworkState* network_state = nullptr;

}  // namespace

int32_t init_network() {
  if (!network_state) network_state = allocate_library_state<NetworkState>();
  if (!network_state) return 0;
  if (network_state->started) return 1;  // one start owes one clean-up, no more
  WSADATA data;
  network_state->started = WSAStartup(0x0101, &data) == 0 ? 1 : 0;
  return network_state->started;
}

void end_network() {
  if (!network_state || network_state->started != 1) return;
  WSACleanup();
  network_state->started = 0;
}
