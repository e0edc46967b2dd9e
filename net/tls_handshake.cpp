// The TLS handshake over an open connection: credentials, the exchange of
// handshake records with InitializeSecurityContext, the protocol agreed,
// and the certificate check, all before a byte of the request is sent.
#include "net/tls_channel.h"  // first: it sets what the platform headers declare

#include <winsock.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "net/clock.h"
#include "net/connection_record.h"
#include "net/tls_record.h"

namespace {

// Every protocol below TLS 1.2, both sides' flags.
constexpr DWORD OLD_PROTOCOLS = SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1;

// No client certificate is ever offered; the certificate is checked here,
// not by the platform (Wine's own check passes expired and untrusted
// servers); and the weak ciphers stay off.
constexpr DWORD CREDENTIAL_FLAGS = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;

SECURITY_STATUS acquire_credentials(const TlsPlatform& platform, CredHandle* credentials) {
  TimeStamp expiry;
  // SCH_CREDENTIALS names what to leave out, so the platform offers the
  // best it has: the only form through which Windows offers TLS 1.3.
  // Without it Wine's TLS would also agree TLS 1.0 with a server that
  // offers it.
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols = OLD_PROTOCOLS;
  SCH_CREDENTIALS best{};
  best.dwVersion = SCH_CREDENTIALS_VERSION;
  best.dwFlags = CREDENTIAL_FLAGS;
  best.cTlsParameters = 1;
  best.pTlsParameters = &parameters;
  const SECURITY_STATUS status =
      platform.sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                               nullptr, &best, nullptr, nullptr, credentials, &expiry);
  if (status == SEC_E_OK) return status;
  // Systems older than SCH_CREDENTIALS refuse it: TLS 1.2 alone, named in
  // the older form.
  SCHANNEL_CRED older{};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  older.dwFlags = CREDENTIAL_FLAGS;
  return platform.sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                                  nullptr, &older, nullptr, nullptr, credentials, &expiry);
}

uint16_t wire_version(DWORD protocol) {
  if (protocol & SP_PROT_TLS1_3_CLIENT) return TLS_1_3;
  if (protocol & SP_PROT_TLS1_2_CLIENT) return TLS_1_2;
  if (protocol & SP_PROT_TLS1_1_CLIENT) return 0x0302;
  if (protocol & SP_PROT_TLS1_0_CLIENT) return TLS_1_0;
  if (protocol & SP_PROT_SSL3_CLIENT) return 0x0300;
  return 0;
}

// A host given as an IPv4 address, read as open_connection reads it.
bool is_address(const char* host) {
  return inet_addr(host) != INADDR_NONE || std::strcmp(host, "255.255.255.255") == 0;
}

TlsResult result_of(TlsFailure failure, uint32_t status = 0) {
  TlsResult result;
  result.failure = failure;
  result.status = status;
  return result;
}

class Handshake {
 public:
  Handshake(ConnectionRecord* connection, const TlsPlatform& platform, const char* host, uint64_t deadline)
      : connection_(connection), channel_(connection->tls), platform_(platform), host_(host), deadline_(deadline) {}

  TlsResult run();

 private:
  TlsResult exchange();
  TlsResult send(SecBuffer& token);
  TlsResult receive_records(size_t at_least);
  void note_records(std::string_view records);
  TlsResult refused(SECURITY_STATUS status) const;
  TlsResult finish();

  std::string_view cipher() const {
    return {channel_->store + channel_->cipher_begin, channel_->cipher_end - channel_->cipher_begin};
  }

  ConnectionRecord* connection_;
  TlsChannel* channel_;
  const TlsPlatform& platform_;
  const char* host_;
  uint64_t deadline_;
  bool received_any_ = false;
  uint16_t offered_version_ = 0;  // the server's ServerHello, when read in the clear
  int16_t alert_ = -1;             // the server's alert, when read in the clear
};

TlsResult Handshake::run() {
  const SECURITY_STATUS acquired = acquire_credentials(platform_, &channel_->credentials);
  if (acquired != SEC_E_OK) return result_of(TlsFailure::CREDENTIALS, static_cast<uint32_t>(acquired));
  channel_->has_credentials = true;
  const TlsResult exchanged = exchange();
  if (exchanged.failure != TlsFailure::NONE) return exchanged;
  return finish();
}

// The records go to the platform whole, never in parts: each is checked
// here first (what a server sends before its first record tells at once
// whether it speaks TLS at all), and the platform is asked again only when
// a record more has come.
TlsResult Handshake::exchange() {
  // SNI carries the host's name; an address is sent as no name at all.
  char* target = is_address(host_) ? nullptr : const_cast<char*>(host_);
  size_t records_given = 0;  // records the platform has and wants more after
  int certificate_requests = 0;
  bool first = true;
  for (;;) {
    if (!first) {
      const TlsResult received = receive_records(records_given + 1);
      if (received.failure != TlsFailure::NONE) return received;
    }
    const RecordScan scan = scan_records(cipher());
    const std::string_view given = cipher().substr(0, scan.whole_bytes);
    note_records(given);
    // A server that offers less than TLS 1.2 is refused here, whatever the
    // platform would make of its offer (it may wait for more of the flight).
    if (offered_version_ && offered_version_ < TLS_1_2) return refused(SEC_E_OK);
    SecBuffer in[2] = {{static_cast<ULONG>(given.size()), SECBUFFER_TOKEN, const_cast<char*>(given.data())},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_description{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc out_description{SECBUFFER_VERSION, 1, out};
    ULONG attributes = 0;
    const SECURITY_STATUS status = platform_.sspi->InitializeSecurityContextA(
        &channel_->credentials, first ? nullptr : &channel_->context, target, TLS_CONTEXT_REQUEST, 0, 0,
        first ? nullptr : &in_description, 0, &channel_->context, &out_description, &attributes, nullptr);
    if (first && !FAILED(status)) channel_->has_context = true;
    first = false;
    const bool has_output = out[0].pvBuffer && out[0].cbBuffer > 0;
    // On a failure the token is the alert that tells the server why: sent
    // if it can be, but the failure is what counts.
    const TlsResult sent = send(out[0]);
    if (FAILED(status) && status != SEC_E_INCOMPLETE_MESSAGE) return refused(status);
    if (sent.failure != TlsFailure::NONE) return sent;
    const size_t unused = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    const size_t used = given.size() - std::min(unused, given.size());
    switch (status) {
      case SEC_E_OK:
        channel_->cipher_begin += used;
        return {};
      case SEC_I_CONTINUE_NEEDED:
        channel_->cipher_begin += used;
        // Nothing taken and nothing to say: it waits for the next record.
        records_given = used == 0 && !has_output ? scan.records : 0;
        break;
      case SEC_E_INCOMPLETE_MESSAGE:
        records_given = scan.records;  // a message runs on into a record still to come
        break;
      case SEC_I_INCOMPLETE_CREDENTIALS:
        // The server asks for a client certificate: there is none to give,
        // and the next call goes on without one (once).
        if (++certificate_requests > 1) return result_of(TlsFailure::HANDSHAKE_FAILED, static_cast<uint32_t>(status));
        records_given = 0;
        break;
      default:
        return result_of(TlsFailure::HANDSHAKE_FAILED, static_cast<uint32_t>(status));
    }
  }
}

TlsResult Handshake::send(SecBuffer& token) {
  switch (send_token(connection_, token, deadline_)) {
    case SendOutcome::SENT:
      return {};
    case SendOutcome::TIMED_OUT:
      return result_of(TlsFailure::TIMED_OUT);
    case SendOutcome::STOPPED:
      return result_of(TlsFailure::STOPPED);
    case SendOutcome::FAILED:
      break;
  }
  return result_of(TlsFailure::CONNECTION_FAILED);
}

// Receives until at least at_least whole records are in hand, checking
// every record header as its bytes arrive.
TlsResult Handshake::receive_records(size_t at_least) {
  for (;;) {
    const RecordScan scan = scan_records(cipher());
    if (scan.state == RecordState::INVALID) {
      // Bytes that cannot open a record, from a server that has sent no
      // record before: it speaks something else (plain HTTP sent to the
      // TLS port answers with "HTTP/1.1 400"). Without this check the
      // platform would wait for the rest of a record that never comes.
      return result_of(received_any_ || scan.whole_bytes > 0 ? TlsFailure::BAD_RECORD : TlsFailure::NOT_TLS);
    }
    if (scan.records >= at_least) return {};
    if (channel_->cipher_end == channel_->capacity) {
      if (channel_->cipher_begin == 0) return result_of(TlsFailure::HANDSHAKE_FAILED);  // a flight past the store
      std::memmove(channel_->store, channel_->store + channel_->cipher_begin, cipher().size());
      channel_->cipher_end -= channel_->cipher_begin;
      channel_->cipher_begin = 0;
    }
    const auto room = static_cast<int32_t>(channel_->capacity - channel_->cipher_end);
    const ReceiveResult received =
        receive_from_socket(connection_, channel_->store + channel_->cipher_end, room, deadline_);
    switch (received.outcome) {
      case ReceiveOutcome::DATA:
        channel_->cipher_end += static_cast<size_t>(received.count);
        break;
      case ReceiveOutcome::CLOSED:
        note_records(cipher().substr(0, scan.whole_bytes));
        return alert_ >= 0 ? refused(SEC_E_OK) : result_of(TlsFailure::HANDSHAKE_CLOSED);
      case ReceiveOutcome::TIMED_OUT:
        return result_of(TlsFailure::TIMED_OUT);
      case ReceiveOutcome::STOPPED:
        return result_of(TlsFailure::STOPPED);
      case ReceiveOutcome::TRUNCATED:
      case ReceiveOutcome::FAILED:
        return result_of(TlsFailure::CONNECTION_FAILED);
    }
  }
}

// What the platform's failure codes do not say: the version a server
// offered and the alert it sent, both readable in the clear.
void Handshake::note_records(std::string_view records) {
  while (!records.empty()) {
    received_any_ = true;
    const RecordHeader header = read_record_header(records);
    const std::string_view record = records.substr(0, header.size);
    if (const uint16_t version = server_hello_version(record)) offered_version_ = version;
    if (const int32_t alert = plain_alert_description(record); alert >= 0) alert_ = static_cast<int16_t>(alert);
    records.remove_prefix(header.size);
  }
}

TlsResult Handshake::refused(SECURITY_STATUS status) const {
  TlsResult result = result_of(TlsFailure::HANDSHAKE_FAILED, static_cast<uint32_t>(status));
  result.alert = alert_;
  if (alert_ == TLS_ALERT_PROTOCOL_VERSION || (offered_version_ && offered_version_ < TLS_1_2)) {
    result.failure = TlsFailure::PROTOCOL_TOO_OLD;
    result.version = offered_version_;
  } else if (alert_ >= 0) {
    result.failure = TlsFailure::HANDSHAKE_REFUSED;
  }
  return result;
}

// The handshake is done: the protocol agreed and the certificate decide
// whether anything is sent over it.
TlsResult Handshake::finish() {
  SecPkgContext_ConnectionInfo info{};
  SECURITY_STATUS status =
      platform_.sspi->QueryContextAttributesA(&channel_->context, SECPKG_ATTR_CONNECTION_INFO, &info);
  if (status != SEC_E_OK) return result_of(TlsFailure::HANDSHAKE_FAILED, static_cast<uint32_t>(status));
  TlsResult result;
  result.version = wire_version(info.dwProtocol);
  if (result.version < TLS_1_2) {
    result.failure = TlsFailure::PROTOCOL_TOO_OLD;
    return result;
  }
  status = platform_.sspi->QueryContextAttributesA(&channel_->context, SECPKG_ATTR_STREAM_SIZES, &channel_->sizes);
  if (status != SEC_E_OK) return result_of(TlsFailure::HANDSHAKE_FAILED, static_cast<uint32_t>(status));
  PCCERT_CONTEXT certificate = nullptr;
  status = platform_.sspi->QueryContextAttributesA(&channel_->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
  if (status != SEC_E_OK || !certificate) {
    return result_of(TlsFailure::CERTIFICATE_INVALID, static_cast<uint32_t>(status));
  }
  const TlsResult checked = check_server_certificate(platform_, connection_, certificate, host_, deadline_);
  platform_.free_certificate(certificate);
  if (checked.failure != TlsFailure::NONE) return checked;
  channel_->version = result.version;
  return result;
}

}  // namespace

TlsResult start_tls(ConnectionRecord* connection, const char* host, uint64_t deadline) {
  if (!connection || !host || connection->tls) return result_of(TlsFailure::HANDSHAKE_FAILED);
  const TlsPlatform* platform = tls_platform();
  if (!platform) return result_of(TlsFailure::NO_PLATFORM);
  connection->tls = create_tls_channel();
  if (!connection->tls) return result_of(TlsFailure::NO_MEMORY);
  TlsResult result = Handshake(connection, *platform, host, deadline).run();
  // A failed start leaves the channel in place, failed: nothing can be sent
  // or received over the connection any more.
  if (result.failure != TlsFailure::NONE) connection->tls->failure = result;
  return result;
}

TlsResult tls_failure(const ConnectionRecord* connection) {
  if (!connection || !connection->tls) return {};
  return connection->tls->failure;
}
