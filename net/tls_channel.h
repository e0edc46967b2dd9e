#pragma once
// The TLS side of a connection, for this library only: the session's
// handles, and the bytes received but not yet handed out.
//
// The store holds, in this order, plaintext decrypted but not yet asked
// for, then bytes received but not yet decrypted. A receive into a buffer
// at least as large as the store works in the caller's buffer itself: it
// receives there, decrypts each record in place and moves the plaintext to
// the front, so a large piece costs no copy beyond that move, and only the
// unfinished tail of a record waits in the store. A smaller receive works
// in the store and takes what fits.
#include "net/tls_platform.h"  // first: it sets what the platform headers declare

#include <cstddef>

#include "net/tls.h"
#include "net/tls_stream.h"

struct TlsChannel {
  CredHandle credentials{};
  CtxtHandle context{};
  bool has_credentials = false;
  bool has_context = false;
  SecPkgContext_StreamSizes sizes{};
  uint16_t version = 0;      // agreed, on the wire's scale (0x0303: TLS 1.2)
  bool peer_closed = false;  // the server's close_notify has been read
  TlsResult failure{};       // the first failure of a receive; later ones repeat it

  char* store = nullptr;
  size_t capacity = 0;
  size_t plain_begin = 0;
  size_t plain_end = 0;
  size_t cipher_begin = 0;
  size_t cipher_end = 0;
};

// The store's size: a few records, and room for a handshake's flight.
constexpr size_t TLS_STORE_CAPACITY = 64 * 1024;

// What every call of InitializeSecurityContext asks for. The platform
// allocates the tokens it hands back; the certificate is checked by this
// code (tls_certificate.cpp), never by the platform alone.
constexpr ULONG TLS_CONTEXT_REQUEST = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                      ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                      ISC_REQ_MANUAL_CRED_VALIDATION;

TlsChannel* create_tls_channel();

// Sends a token that InitializeSecurityContext handed back, if any, and
// frees it.
SendOutcome send_token(ConnectionRecord* connection, SecBuffer& token, uint64_t deadline);

// The check of the server's certificate for host, before any byte of the
// request leaves (tls_certificate.cpp).
TlsResult check_server_certificate(const TlsPlatform& platform, ConnectionRecord* connection,
                                   PCCERT_CONTEXT certificate, const char* host, uint64_t deadline);
