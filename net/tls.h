#pragma once
// TLS over a connection of this library, through the platform's own TLS
// (SChannel, reached through SSPI) and its certificate store. Once
// start_tls has succeeded, send_with_timeout and receive_before on that
// connection carry their bytes encrypted, and close_connection ends the
// TLS session with the connection. A download may open several
// connections, each with its own start_tls.
//
// Nothing here skips a check: the server's certificate is validated by this
// code itself, every time, before start_tls returns.
#include <cstdint>

struct ConnectionRecord;

// What ended a TLS connection early. Every failure of start_tls and every
// TLS failure met later while receiving is one of these.
enum class TlsFailure : uint8_t {
  NONE,
  NO_PLATFORM,            // the platform's TLS or certificate library could not be loaded
  CREDENTIALS,            // the platform refused to set up TLS for a client
  HANDSHAKE_FAILED,       // the platform's TLS gave up on the handshake (status)
  HANDSHAKE_REFUSED,      // the server ended the handshake with an alert (alert)
  NOT_TLS,                // the server's first byte is no TLS record: it speaks something else
  BAD_RECORD,             // a record header no TLS server sends (a type, version or length)
  PROTOCOL_TOO_OLD,       // the server offered or agreed only a version below TLS 1.2 (version)
  HANDSHAKE_CLOSED,       // the server closed the connection during the handshake
  TIMED_OUT,              // the handshake and the certificate check did not end in time
  STOPPED,                // the connection's wait hook said stop
  CONNECTION_FAILED,      // the connection broke (a socket call failed)
  UNTRUSTED,              // the chain ends in a root that the system does not trust
  PARTIAL_CHAIN,          // the chain does not reach any root (the server sent too little)
  EXPIRED,                // a certificate of the chain is past its end
  NOT_YET_VALID,          // a certificate of the chain is not valid yet
  WRONG_NAME,             // the certificate is not for the host that was asked for
  WRONG_USAGE,            // the certificate is not for server authentication
  REVOKED,                // the issuer revoked a certificate of the chain
  CERTIFICATE_INVALID,    // any other fault of the chain (a signature, a constraint)
  RENEGOTIATION_REFUSED,  // a TLS 1.2 server asked to renegotiate
  DECRYPT,                // a record that does not decrypt (status)
  TRUNCATED,              // the connection ended without the server's close_notify
  NO_MEMORY,
};

struct TlsResult {
  TlsFailure failure = TlsFailure::NONE;
  // The platform's word on it: the SECURITY_STATUS of the SSPI call that
  // failed, the chain's TrustStatus.dwErrorStatus bits for a fault of the
  // chain, or the SSL policy's error; 0 where the failure is this code's
  // own finding (NOT_TLS, BAD_RECORD, TIMED_OUT, ...).
  uint32_t status = 0;
  // The protocol version (0x0301 is TLS 1.0, 0x0303 TLS 1.2): the one
  // agreed on success, the one offered for PROTOCOL_TOO_OLD; 0 unknown.
  uint16_t version = 0;
  // The server's alert for HANDSHAKE_REFUSED; -1 when none was read.
  int16_t alert = -1;
};

// The TLS 1.2 (or later) handshake with the server at the other end of
// connection, and the check of its certificate for host (the name the user
// gave: sent as SNI unless it is an IP address, and the name the
// certificate must carry). Everything ends by deadline, a value of
// monotonic_milliseconds, and every wait runs the connection's wait hook.
TlsResult start_tls(ConnectionRecord* connection, const char* host, uint64_t deadline);

// The TLS failure that ended start_tls or a later receive on connection
// (one that reported TRUNCATED or FAILED); NONE for a plain connection, for
// a TLS one that has met none, and for an end that was no TLS failure.
TlsResult tls_failure(const ConnectionRecord* connection);
