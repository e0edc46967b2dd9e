#pragma once
// Where a download ended, and what it learnt on the way there: enough for
// its caller to tell the user why it failed (the stage, the status and its
// reason phrase, the byte counts, the platform's error) and, while it runs,
// how far it has come. download_to_file reports only success or failure.
#include <cstdint>

#include "http/response_head.h"
#include "net/connection.h"
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
  STOPPED,          // the caller's wait hook said stop
  TLS_HANDSHAKE,    // https: no TLS 1.2 or later with the server (see the report's tls)
  CERTIFICATE,      // https: the server's certificate was refused (see the report's tls)
  REDIRECT,         // a redirect that is not followed (see the report's redirect)
};

// Why a redirect was not followed.
enum class RedirectFault : uint8_t {
  NONE,
  TOO_MANY,      // one more than REDIRECT_LIMIT (a loop ends here too)
  NO_LOCATION,   // no Location, or an empty one
  DOWNGRADE,     // from https to http
  SCHEME,        // to a scheme that is neither http nor https
  BAD_LOCATION,  // a Location that names no place a request can go to
};

// The most redirects one download follows, as browsers do.
constexpr int32_t REDIRECT_LIMIT = 20;

// What was wrong with a URL refused as BAD_URL.
enum class UrlFault : uint8_t { NONE, NO_URL, NO_HOST, BAD_HOST, BAD_PORT, CONTROL_BYTE, TOO_LONG };

// What was wrong with a destination refused as BAD_DESTINATION.
enum class DestinationFault : uint8_t { NONE, EMPTY, FOLDER };

// The longest scheme and host kept for the report; longer ones are cut.
constexpr uint32_t REPORT_SCHEME_LIMIT = 16;
constexpr uint32_t REPORT_HOST_LIMIT = 255;
// A URL longer than this keeps its start and end around "...": a log line
// shows no more than part of it anyway.
constexpr uint32_t REPORT_URL_LIMIT = 1024;

// Filled as the download goes; each field is meaningful from the stage that
// sets it on, and the outcome says where it ended.
struct DownloadReport {
  DownloadOutcome outcome = DownloadOutcome::COMPLETE;
  UrlFault url_fault = UrlFault::NONE;
  DestinationFault destination_fault = DestinationFault::NONE;
  char scheme[REPORT_SCHEME_LIMIT + 1] = {};  // REFUSED_SCHEME: the URL's scheme, cut
  char host[REPORT_HOST_LIMIT + 1] = {};      // from CONNECT on: the host as the URL names it, cut
  uint16_t port = 0;
  ConnectFailure connect = ConnectFailure::NONE;  // CONNECT
  SendOutcome send = SendOutcome::SENT;           // SEND
  ReceiveOutcome ended = ReceiveOutcome::DATA;    // HEAD, BODY_CUT_SHORT: how the stream ended
  HeadRule rule = HeadRule::NONE;                 // HEAD, STATUS
  int32_t status = 0;                             // STATUS
  char reason[RESPONSE_REASON_LIMIT + 1] = {};    // STATUS: the reason phrase, printable ASCII
  uint32_t error = 0;     // the platform's error code (socket or file) where one applies
  bool in_body = false;   // the head has been read; the body is under way
  int64_t received = 0;   // body bytes written so far
  int64_t length = -1;    // the announced body length; -1 while none is known
  // For https: the TLS failure behind TLS_HANDSHAKE and CERTIFICATE, and
  // behind a HEAD or BODY_CUT_SHORT that TLS caused (a connection cut
  // without close_notify, a record that does not decrypt, a renegotiation
  // refused); otherwise NONE, with the version agreed once the handshake is
  // done.
  TlsResult tls;
  RedirectFault redirect = RedirectFault::NONE;  // REDIRECT
  int32_t redirects = 0;  // redirects followed
  // Once a redirect has come: the URL at issue (of the request that
  // failed, of a redirect refused, or the file's own on success), written
  // as it was requested. Empty before.
  char url[REPORT_URL_LIMIT + 1] = {};
  bool moved = false;  // the file came from another URL than the one typed
};

// The timings behind the outcomes, for those who describe them.
constexpr uint64_t HEAD_TIMEOUT_MS = 10000;  // from the request's end to the head's
constexpr uint64_t SEND_TIMEOUT_MS = 10000;

// Runs the download, filling *report as it goes (the wait hook may read it,
// on the same thread, to show progress); returns its outcome.
DownloadOutcome download_with_report(const char* url, const char* destination, WaitHook between_waits,
                                     DownloadReport& report);
DownloadOutcome download_with_outcome(const char* url, const char* destination, WaitHook between_waits = {});
