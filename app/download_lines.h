#pragma once
// The log's line about how a download ended, written just before "Download
// complete!" or "Download failed!": what was saved, or why it failed, in
// plain words and specific enough to act on. Server text goes in only as
// printable ASCII (the report keeps no more than 64 characters of it), and
// a line is at most LOG_LINE_LIMIT characters: a long host or path is cut
// in its middle.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/download_outcome.h"

constexpr size_t LOG_LINE_LIMIT = 200;

struct LogLine {
  char text[LOG_LINE_LIMIT + 1];
  size_t length;
  std::string_view view() const { return {text, length}; }
};

// "Saved 4,305,702,915 bytes in 33.8 s."; a download quicker than 0.05 s
// took "less than 0.1 s". A file that came from another URL than the one
// typed says which: "... in 0.4 s from https://example.org/files/a.zip."
LogLine success_line(const DownloadReport& report, uint64_t milliseconds);

// Why the download failed; destination is the "Save as:" text it was given.
// After a redirect, a failure of the request it led to names that request's
// URL.
LogLine failure_line(const DownloadReport& report, std::string_view destination);
