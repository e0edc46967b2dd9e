#pragma once
// Where a redirect leads, and whether it may be followed: its Location
// resolved against the URL of the request that got it, never to a weaker
// place (https to http) or to another scheme.
#include <string_view>

#include "http/download_outcome.h"

// The URL a request goes to, as every request of a download writes it (no
// user information, no fragment, the bytes a request line cannot carry
// escaped): a URL typed by the user, read as the download reads it.
// Null, with the report's url_fault set, when it cannot be written; the
// caller frees it with free_memory.
char* request_url(std::string_view typed, DownloadReport& report);

// The next URL of a redirect from current (as request_url wrote it) with
// location (the head's, empty when none came), or null with the report
// saying why it is not followed. The caller frees it with free_memory.
char* follow_redirect(std::string_view current, std::string_view location, DownloadReport& report);

// Copies url into the report's url, cut in its middle when it is longer.
void keep_report_url(DownloadReport& report, std::string_view url);
