#pragma once
#include <cstdint>

#include "net/wait_hook.h"

// Fetches url with one HTTP/1.1 GET into the file destination: 1 on success,
// 0 on failure. Blocks the calling thread for the whole transfer, except that
// between_waits runs at least every WAIT_HOOK_PERIOD_MS while it waits
// (name resolution aside) and between the pieces of a long body; when it
// answers false the download stops at once and fails.
int32_t download_to_file(const char* url, const char* destination, WaitHook between_waits = {});
