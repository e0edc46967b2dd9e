#pragma once
// The names of a download's outcomes and of TLS failures, as the tests
// print them.
#include <cstddef>

#include "http/download_outcome.h"
#include "net/tls.h"

inline const char* outcome_name(DownloadOutcome outcome) {
  static const char* const names[] = {"COMPLETE",       "BAD_URL",        "REFUSED_SCHEME", "BAD_DESTINATION",
                                      "CONNECT",        "NO_MEMORY",      "SEND",           "STATUS",
                                      "HEAD",           "TEMPORARY_FILE", "BODY_CUT_SHORT", "BODY_FRAMING",
                                      "WRITE",          "COMMIT",         "STOPPED",        "TLS_HANDSHAKE",
                                      "CERTIFICATE"};
  const auto index = static_cast<size_t>(outcome);
  return index < sizeof names / sizeof names[0] ? names[index] : "?";
}

inline const char* tls_failure_name(TlsFailure failure) {
  static const char* const names[] = {
      "NONE",           "NO_PLATFORM",   "CREDENTIALS",      "HANDSHAKE_FAILED",
      "HANDSHAKE_REFUSED", "NOT_TLS",    "BAD_RECORD",       "PROTOCOL_TOO_OLD",
      "HANDSHAKE_CLOSED", "TIMED_OUT",   "STOPPED",          "CONNECTION_FAILED", "UNTRUSTED",
      "PARTIAL_CHAIN",  "EXPIRED",       "NOT_YET_VALID",    "WRONG_NAME",
      "WRONG_USAGE",    "REVOKED",       "CERTIFICATE_INVALID", "RENEGOTIATION_REFUSED",
      "DECRYPT",        "TRUNCATED",     "NO_MEMORY"};
  const auto index = static_cast<size_t>(failure);
  return index < sizeof names / sizeof names[0] ? names[index] : "?";
}
