// Opening and closing client connections.
#include "net/connection.h"

#include "base/heap.h"
#include "net/connection_record.h"

namespace {

// The first IPv4 address of a dotted address or a host name; INADDR_NONE
// when there is none. A literal "255.255.255.255" reads as INADDR_NONE and
// goes through name resolution like any name.
unsigned long resolve_address(const char* host) {
  const unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) return dotted;
  const hostent* entry = gethostbyname(host);
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return INADDR_NONE;
  in_addr first;
  __builtin_memcpy(&first, entry->h_addr_list[0], sizeof first);
  return first.s_addr;
}

}  // namespace

ConnectionRecord* open_connection(const char* host, uint16_t port) {
  if (!host) return nullptr;
  const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return nullptr;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = resolve_address(host);
  // The connect itself blocks for the platform's own time-out.
  if (address.sin_addr.s_addr == INADDR_NONE ||
      connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    closesocket(handle);
    return nullptr;
  }
  // From here on the socket never blocks: a receive tries its recv first and
  // waits in select only when nothing is there, so a steady stream costs one
  // socket call per piece.
  u_long non_blocking = 1;
  if (ioctlsocket(handle, FIONBIO, &non_blocking) == SOCKET_ERROR) {
    closesocket(handle);
    return nullptr;
  }
  auto* record = static_cast<ConnectionRecord*>(allocate_memory(sizeof(ConnectionRecord)));
  if (!record) {
    closesocket(handle);
    return nullptr;
  }
  record->kind = CONNECTION_STREAM;
  record->socket = handle;
  return record;
}

void close_connection(ConnectionRecord* connection) {
  if (!connection) return;
  closesocket(connection->socket);
  free_memory(connection);
}
