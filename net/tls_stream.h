#pragma once
// What the connection's own calls need of the TLS code, without the
// platform's TLS headers: once start_tls has attached a channel, every send
// and receive of the connection goes through these.
#include <cstdint>

#include "net/connection.h"
#include "net/socket_transfer.h"

struct TlsChannel;

SendResult tls_send(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline);
ReceiveResult tls_receive(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline);

// Ends the session (if any) and frees everything of the channel.
void free_tls_channel(TlsChannel* channel);
