#pragma once
// Where a download ended. download_to_file reports only success or failure
// to its callers; the stages below travel up to it, so that its tests can
// tell which one failed.
#include <cstdint>

#include "net/tls.h"
#include "net/wait_hook.h"

enum class DownloadOutcome : uint8_t {
  COMPLETE,         // the body is whole and stands under the destination's name
  BAD_URL,          // no URL, no host, a port that is none, a control byte
  REFUSED_SCHEME,   // a scheme other than http before "://"
  BAD_DESTINATION,  // empty, ending in a separator, or an existing folder
  CONNECT,          // the name did not resolve or the connect failed
  NO_MEMORY,        // the buffer or a copy of a URL part
  SEND,             // the request did not leave in time
  STATUS,           // a status other than 200
  HEAD,             // a head that breaks a rule, ends early or takes too long
  TEMPORARY_FILE,   // no temporary file could be created beside the destination
  BODY_CUT_SHORT,   // the stream ended, broke or fell silent before the body did
  BODY_FRAMING,     // the chunked framing was refused
  WRITE,            // a write to the temporary file failed
  COMMIT,           // the file could not be flushed, closed, or put in place
  TLS_HANDSHAKE,    // https: no TLS 1.2 or later with the server (see DownloadDetail::tls)
  CERTIFICATE,      // https: the server's certificate was refused (see DownloadDetail::tls)
};

// What the outcome alone does not say, for the words that tell the user why.
struct DownloadDetail {
  // For https: the TLS failure behind TLS_HANDSHAKE and CERTIFICATE, and
  // behind a HEAD or BODY_CUT_SHORT that TLS caused (a connection cut
  // without close_notify, a record that does not decrypt, a renegotiation
  // refused); otherwise NONE, with the version agreed once the handshake
  // is done.
  TlsResult tls;
};

// detail, when given, is filled whatever the outcome.
DownloadOutcome download_with_outcome(const char* url, const char* destination, WaitHook between_waits = {},
                                      DownloadDetail* detail = nullptr);
