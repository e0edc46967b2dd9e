// Application data over an established TLS session: requests encrypted
// into records, records decrypted one at a time (the platform decrypts one
// record per call) into the caller's buffer.
#include "net/tls_channel.h"  // first: it sets what the platform headers declare

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "base/heap.h"
#include "net/connection_record.h"
#include "net/socket_wait.h"
#include "net/tls_record.h"

namespace {

// A failure already met is met again: the session cannot go on past it.
ReceiveResult repeat(const TlsChannel* channel) {
  return {channel->failure.failure == TlsFailure::TRUNCATED ? ReceiveOutcome::TRUNCATED : ReceiveOutcome::FAILED, 0};
}

ReceiveResult fail(TlsChannel* channel, TlsFailure failure, uint32_t status = 0) {
  channel->failure.failure = failure;
  channel->failure.status = status;
  channel->failure.version = channel->version;
  return repeat(channel);
}

ReceiveResult hand_out_plaintext(ConnectionRecord* connection, char* buffer, int32_t size) {
  TlsChannel* channel = connection->tls;
  const size_t count = std::min(channel->plain_end - channel->plain_begin, static_cast<size_t>(size));
  std::memcpy(buffer, channel->store + channel->plain_begin, count);
  channel->plain_begin += count;
  if (channel->plain_begin == channel->plain_end) channel->plain_begin = channel->plain_end = 0;
  run_hook_if_due(connection);
  return {ReceiveOutcome::DATA, static_cast<int32_t>(count)};
}

// Where the records are received and decrypted: the caller's buffer when it
// can hold the store's bytes and a whole record, else the store.
struct Work {
  char* bytes;
  size_t capacity;
  size_t plain_end;     // plaintext gathered at the front
  size_t cipher_begin;  // undecrypted bytes after it
  size_t cipher_end;
};

// A TLS 1.3 server's messages after the handshake (session tickets, key
// updates) come back from DecryptMessage as SEC_I_RENEGOTIATE; the platform
// takes them through InitializeSecurityContext and the stream goes on.
// Under TLS 1.2 the same return is a renegotiation, refused before this.
bool take_post_handshake_message(ConnectionRecord* connection, SecBuffer* extra, uint64_t deadline,
                                 SECURITY_STATUS* status) {
  TlsChannel* channel = connection->tls;
  const TlsPlatform& platform = *tls_platform();
  SecBuffer in[2] = {{extra ? extra->cbBuffer : 0, SECBUFFER_TOKEN, extra ? extra->pvBuffer : nullptr},
                     {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
  SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
  ULONG attributes = 0;
  *status = platform.sspi->InitializeSecurityContextA(
      &channel->credentials, &channel->context, nullptr, TLS_CONTEXT_REQUEST, 0, 0, &in_desc, 0, nullptr, &out_desc,
      &attributes, nullptr);
  const SendOutcome sent = send_token(connection, out[0], deadline);
  return sent == SendOutcome::SENT && *status == SEC_E_OK;
}

enum class Decrypted : uint8_t { GOING_ON, CLOSED, FAILED };

// Decrypts the whole record at the start of the work's undecrypted bytes
// and appends its plaintext to the work's plaintext.
Decrypted decrypt_record(ConnectionRecord* connection, Work& work, const RecordHeader& header, uint64_t deadline) {
  TlsChannel* channel = connection->tls;
  const TlsPlatform& platform = *tls_platform();
  char* record = work.bytes + work.cipher_begin;
  // A handshake record after the handshake is a TLS 1.2 renegotiation
  // (TLS 1.3 sends its later messages inside application data): refused,
  // without asking the platform, which answers it differently on each
  // system. A renegotiation could hand the connection to another
  // certificate that nobody checks.
  if (header.type == TLS_HANDSHAKE && channel->version < TLS_1_3) {
    fail(channel, TlsFailure::RENEGOTIATION_REFUSED);
    return Decrypted::FAILED;
  }
  SecBuffer buffers[4] = {{static_cast<ULONG>(header.size), SECBUFFER_DATA, record},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = platform.sspi->DecryptMessage(&channel->context, &description, 0, nullptr);
  work.cipher_begin += header.size;
  SecBuffer* data = nullptr;
  SecBuffer* extra = nullptr;
  for (SecBuffer& buffer : buffers) {
    if (buffer.BufferType == SECBUFFER_DATA) data = &buffer;
    if (buffer.BufferType == SECBUFFER_EXTRA) extra = &buffer;
  }
  switch (status) {
    case SEC_E_OK:
      break;
    case SEC_I_CONTEXT_EXPIRED:  // the close_notify as Windows reports it
      return Decrypted::CLOSED;
    case SEC_I_RENEGOTIATE: {
      SECURITY_STATUS taken = SEC_E_OK;
      if (channel->version < TLS_1_3) {
        fail(channel, TlsFailure::RENEGOTIATION_REFUSED, static_cast<uint32_t>(status));
        return Decrypted::FAILED;
      }
      if (!take_post_handshake_message(connection, extra, deadline, &taken)) {
        fail(channel, TlsFailure::DECRYPT, static_cast<uint32_t>(taken));
        return Decrypted::FAILED;
      }
      break;
    }
    default:
      fail(channel, TlsFailure::DECRYPT, static_cast<uint32_t>(status));
      return Decrypted::FAILED;
  }
  const size_t length = data && data->pvBuffer ? data->cbBuffer : 0;
  // Wine reports the close_notify as a record that decrypts to nothing. So
  // may an empty application-data record, which is legal: only an alert's
  // record without data is the close.
  if (length == 0) return header.type == TLS_ALERT && status == SEC_E_OK ? Decrypted::CLOSED : Decrypted::GOING_ON;
  std::memmove(work.bytes + work.plain_end, data->pvBuffer, length);
  work.plain_end += length;
  return Decrypted::GOING_ON;
}

// Decrypts every whole record at the start of the work's undecrypted bytes,
// up to a close_notify or a failure.
void decrypt_records(ConnectionRecord* connection, Work& work, uint64_t deadline) {
  TlsChannel* channel = connection->tls;
  for (;;) {
    const std::string_view undecrypted(work.bytes + work.cipher_begin, work.cipher_end - work.cipher_begin);
    const RecordHeader header = read_record_header(undecrypted);
    if (header.state == RecordState::INVALID) {
      fail(channel, TlsFailure::BAD_RECORD);
      return;
    }
    if (header.state == RecordState::NEED_MORE) return;
    const Decrypted decrypted = decrypt_record(connection, work, header, deadline);
    if (decrypted == Decrypted::FAILED) return;
    if (decrypted == Decrypted::CLOSED) {
      // Whatever follows the close_notify is no part of the stream.
      channel->peer_closed = true;
      work.cipher_begin = work.cipher_end;
      return;
    }
  }
}

// Decrypts what is in hand, then receives more while no plaintext has come.
// Plaintext decrypted before a failure or the close_notify is handed out
// first; the next receive meets the end.
ReceiveResult fill_work(ConnectionRecord* connection, Work& work, uint64_t deadline) {
  TlsChannel* channel = connection->tls;
  for (;;) {
    decrypt_records(connection, work, deadline);
    if (work.plain_end > 0) return {ReceiveOutcome::DATA, static_cast<int32_t>(work.plain_end)};
    if (channel->failure.failure != TlsFailure::NONE) return repeat(channel);
    if (channel->peer_closed) return {ReceiveOutcome::CLOSED, 0};
    // No plaintext yet: the part of a record in hand goes to the front, and
    // the rest of it is received behind it.
    std::memmove(work.bytes, work.bytes + work.cipher_begin, work.cipher_end - work.cipher_begin);
    work.cipher_end -= work.cipher_begin;
    work.cipher_begin = 0;
    const auto room = static_cast<int32_t>(std::min<size_t>(work.capacity - work.cipher_end, INT32_MAX));
    const ReceiveResult received = receive_from_socket(connection, work.bytes + work.cipher_end, room, deadline);
    switch (received.outcome) {
      case ReceiveOutcome::DATA:
        work.cipher_end += static_cast<size_t>(received.count);
        break;
      case ReceiveOutcome::CLOSED:
        return fail(channel, TlsFailure::TRUNCATED);
      case ReceiveOutcome::TIMED_OUT:
      case ReceiveOutcome::STOPPED:
        return received;  // the caller may wait again, or has stopped
      case ReceiveOutcome::TRUNCATED:
      case ReceiveOutcome::FAILED:
        return fail(channel, TlsFailure::CONNECTION_FAILED);
    }
  }
}

}  // namespace

SendOutcome send_token(ConnectionRecord* connection, SecBuffer& token, uint64_t deadline) {
  if (!token.pvBuffer) return SendOutcome::SENT;
  const SendOutcome sent =
      token.cbBuffer == 0 ? SendOutcome::SENT
                          : send_to_socket(connection, static_cast<const char*>(token.pvBuffer),
                                           static_cast<int32_t>(token.cbBuffer), deadline)
                                .outcome;
  tls_platform()->sspi->FreeContextBuffer(token.pvBuffer);
  token.pvBuffer = nullptr;
  return sent;
}

TlsChannel* create_tls_channel() {
  void* block = allocate_memory(sizeof(TlsChannel));
  if (!block) return nullptr;
  auto* channel = new (block) TlsChannel;
  channel->store = static_cast<char*>(allocate_memory(TLS_STORE_CAPACITY, false));
  if (!channel->store) {
    free_memory(block);
    return nullptr;
  }
  channel->capacity = TLS_STORE_CAPACITY;
  return channel;
}

void free_tls_channel(TlsChannel* channel) {
  if (!channel) return;
  const TlsPlatform* platform = tls_platform();
  if (platform && channel->has_context) platform->sspi->DeleteSecurityContext(&channel->context);
  if (platform && channel->has_credentials) platform->sspi->FreeCredentialsHandle(&channel->credentials);
  free_memory(channel->store);
  free_memory(channel);
}

SendResult tls_send(ConnectionRecord* connection, const char* data, int32_t length, uint64_t deadline) {
  TlsChannel* channel = connection->tls;
  if (channel->failure.failure != TlsFailure::NONE || !channel->has_context) return {SendOutcome::FAILED, 0};
  const TlsPlatform& platform = *tls_platform();
  const SecPkgContext_StreamSizes& sizes = channel->sizes;
  const size_t most = std::min<size_t>(static_cast<size_t>(std::max(length, 0)), sizes.cbMaximumMessage);
  char* message = static_cast<char*>(allocate_memory(sizes.cbHeader + most + sizes.cbTrailer, false));
  if (!message) return {SendOutcome::FAILED, 0};
  SendResult outcome{SendOutcome::SENT, 0};
  while (length > 0 && outcome.outcome == SendOutcome::SENT) {
    const auto piece = static_cast<ULONG>(std::min<size_t>(static_cast<size_t>(length), most));
    std::memcpy(message + sizes.cbHeader, data, piece);
    SecBuffer buffers[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, message},
                            {piece, SECBUFFER_DATA, message + sizes.cbHeader},
                            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, message + sizes.cbHeader + piece},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (platform.sspi->EncryptMessage(&channel->context, 0, &description, 0) != SEC_E_OK) {
      outcome = {SendOutcome::FAILED, 0};
      break;
    }
    const ULONG total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    outcome = send_to_socket(connection, message, static_cast<int32_t>(total), deadline);
    data += piece;
    length -= static_cast<int32_t>(piece);
  }
  free_memory(message);
  return outcome;
}

ReceiveResult tls_receive(ConnectionRecord* connection, char* buffer, int32_t size, uint64_t deadline) {
  TlsChannel* channel = connection->tls;
  if (channel->plain_end > channel->plain_begin) return hand_out_plaintext(connection, buffer, size);
  if (channel->failure.failure != TlsFailure::NONE || !channel->has_context) return repeat(channel);
  if (channel->peer_closed) return {ReceiveOutcome::CLOSED, 0};

  const size_t cipher = channel->cipher_end - channel->cipher_begin;
  if (static_cast<size_t>(size) >= channel->capacity) {
    // Large pieces (a body's) are received and decrypted where the caller
    // wants them; only a record's unfinished tail is kept back.
    std::memcpy(buffer, channel->store + channel->cipher_begin, cipher);
    Work work{buffer, static_cast<size_t>(size), 0, 0, cipher};
    const ReceiveResult result = fill_work(connection, work, deadline);
    // Short of a failure (which ends the stream) the tail is less than a
    // record, so it fits the store.
    const size_t tail = channel->failure.failure == TlsFailure::NONE ? work.cipher_end - work.cipher_begin : 0;
    std::memcpy(channel->store, buffer + work.cipher_begin, tail);
    channel->cipher_begin = 0;
    channel->cipher_end = tail;
    return result;
  }
  // Small pieces (the end of a length body) go through the store; what does
  // not fit the caller's buffer waits there for the next receive.
  std::memmove(channel->store, channel->store + channel->cipher_begin, cipher);
  Work work{channel->store, channel->capacity, 0, 0, cipher};
  const ReceiveResult result = fill_work(connection, work, deadline);
  channel->cipher_begin = work.cipher_begin;
  channel->cipher_end = work.cipher_end;
  if (result.outcome != ReceiveOutcome::DATA) return result;
  channel->plain_begin = 0;
  channel->plain_end = work.plain_end;
  return hand_out_plaintext(connection, buffer, size);
}
