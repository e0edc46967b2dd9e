#pragma once
#include <cstdint>

// Fetches url with one HTTP/1.1 GET into the file destination: 1 on success,
// 0 on failure. Blocks the calling thread for the whole transfer.
int32_t download_to_file(const char* url, const char* destination);
