#pragma once
// TCP client connections over Windows Sockets 1.1, with time-outs.
#include <cstdint>

struct ConnectionRecord;

int32_t init_network();
void end_network();

ConnectionRecord* open_connection(const char* host, uint16_t port);
void close_connection(ConnectionRecord* connection);
// 1 when every byte was handed to the platform within the time-out, else 0.
int32_t send_with_timeout(ConnectionRecord* connection, const char* data, int32_t length, int32_t seconds);
// Bytes received (1 to size), or 0 on time-out, failure or end of stream.
int32_t receive_with_timeout(ConnectionRecord* connection, char* buffer, int32_t size, int32_t seconds);
