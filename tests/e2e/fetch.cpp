// One download through the program's own download code, without the
// window, for the tests that must know why a download failed (the window
// says only that it did):
//   fetch URL DESTINATION
// prints one line: the outcome, the TLS failure, the platform's status,
// the TLS version and the server's alert (hexadecimal where the platform's
// are), and the milliseconds it took.
#include <cinttypes>
#include <cstdio>

#include "base/heap.h"
#include "http/download_outcome.h"
#include "net/clock.h"
#include "net/connection.h"
#include "tests/outcome_names.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fetch URL DESTINATION\n");
    return 2;
  }
  if (!create_program_heap() || !init_network()) return 1;
  DownloadReport detail;
  const uint64_t start = monotonic_milliseconds();
  const DownloadOutcome outcome = download_with_report(argv[1], argv[2], {}, detail);
  std::printf("%s %s 0x%08" PRIx32 " 0x%04x %d %" PRIu64 "\n", outcome_name(outcome),
              tls_failure_name(detail.tls.failure), detail.tls.status, static_cast<unsigned>(detail.tls.version),
              static_cast<int>(detail.tls.alert), monotonic_milliseconds() - start);
  end_network();
  return 0;
}
