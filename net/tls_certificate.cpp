// The check of a server's certificate, done by this code every time: the
// chain to a root the system trusts, each certificate valid now and for
// server authentication, not revoked where revocation can be learnt, and
// the leaf for the host that was asked for. The system's certificate store
// decides which roots are trusted.
#include "net/tls_channel.h"  // first: it sets what the platform headers declare

#include <algorithm>
#include <cstring>

#include "base/heap.h"
#include "net/clock.h"
#include "net/socket_wait.h"

namespace {

// Issuers and revocation lists may be fetched over the network while the
// chain is built: a wait that cannot be sliced, whose own limit would be
// 20 s in all. Its share of the time-out is capped, for all fetches
// together.
constexpr uint64_t RETRIEVAL_LIMIT_MS = 5000;

// Revocation that cannot be learnt (no address in the certificate, or the
// address cannot be reached) lets the download go on, as browsers do; a
// certificate found revoked does not.
constexpr DWORD REVOCATION_UNKNOWN = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// The SSL policy's own word on revocation is not asked for: the chain's
// status has decided it already (a revoked certificate failed there, an
// unknown status went on). Wine's policy refuses an unknown status even
// with CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS, which Windows
// honours; this flag (the value wininet.h names
// SECURITY_FLAG_IGNORE_REVOCATION, a header this library does not include)
// makes both agree.
constexpr DWORD POLICY_LEAVES_REVOCATION = 0x00000080;

TlsResult failed(TlsFailure failure, uint32_t status) {
  TlsResult result;
  result.failure = failure;
  result.status = status;
  return result;
}

// Wine reports a certificate that is not valid yet as expired; the dates
// tell the two apart. The first certificate of the chain outside its dates
// decides.
TlsFailure time_failure(PCCERT_CHAIN_CONTEXT chain) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  if (chain->cChain == 0) return TlsFailure::EXPIRED;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  for (DWORD i = 0; i < simple->cElement; ++i) {
    const CERT_INFO* info = simple->rgpElement[i]->pCertContext->pCertInfo;
    if (CompareFileTime(&now, &info->NotBefore) < 0) return TlsFailure::NOT_YET_VALID;
    if (CompareFileTime(&now, &info->NotAfter) > 0) return TlsFailure::EXPIRED;
  }
  return TlsFailure::EXPIRED;
}

// Any fault of the chain fails it, revocation that cannot be learnt aside.
// The SSL policy alone would pass a chain that reaches no root at all when
// the server sends only its leaf (under Wine), so the chain's own status is
// read first.
TlsFailure chain_failure(PCCERT_CHAIN_CONTEXT chain, DWORD faults) {
  if (faults & CERT_TRUST_IS_REVOKED) return TlsFailure::REVOKED;
  if (faults & CERT_TRUST_IS_PARTIAL_CHAIN) return TlsFailure::PARTIAL_CHAIN;
  if (faults & CERT_TRUST_IS_UNTRUSTED_ROOT) return TlsFailure::UNTRUSTED;
  if (faults & CERT_TRUST_IS_NOT_TIME_VALID) return time_failure(chain);
  if (faults & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return TlsFailure::WRONG_USAGE;
  return TlsFailure::CERTIFICATE_INVALID;
}

TlsFailure policy_failure(PCCERT_CHAIN_CONTEXT chain, DWORD error) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return TlsFailure::WRONG_NAME;
    case static_cast<DWORD>(CERT_E_EXPIRED):
      return time_failure(chain);
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
      return TlsFailure::UNTRUSTED;
    case static_cast<DWORD>(CERT_E_CHAINING):
      return TlsFailure::PARTIAL_CHAIN;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
      return TlsFailure::WRONG_USAGE;
    case static_cast<DWORD>(CRYPT_E_REVOKED):
      return TlsFailure::REVOKED;
    default:
      return TlsFailure::CERTIFICATE_INVALID;
  }
}

// The SSL policy: the leaf names host (a DNS name, or an IP address entry
// for an address), among the rest.
TlsResult check_policy(const TlsPlatform& platform, PCCERT_CHAIN_CONTEXT chain, const char* host) {
  const int wide_length = MultiByteToWideChar(CP_ACP, 0, host, -1, nullptr, 0);
  if (wide_length <= 0) return failed(TlsFailure::WRONG_NAME, GetLastError());
  auto* name = static_cast<WCHAR*>(allocate_memory(static_cast<size_t>(wide_length) * sizeof(WCHAR), false));
  if (!name) return failed(TlsFailure::NO_MEMORY, 0);
  MultiByteToWideChar(CP_ACP, 0, host, -1, name, wide_length);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
  server.cbSize = sizeof server;
  server.dwAuthType = AUTHTYPE_SERVER;
  server.fdwChecks = POLICY_LEAVES_REVOCATION;
  server.pwszServerName = name;
  CERT_CHAIN_POLICY_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  parameters.pvExtraPolicyPara = &server;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  const BOOL verified = platform.verify_chain_policy(CERT_CHAIN_POLICY_SSL, chain, &parameters, &status);
  free_memory(name);
  if (!verified) return failed(TlsFailure::CERTIFICATE_INVALID, GetLastError());
  if (status.dwError != 0) return failed(policy_failure(chain, status.dwError), status.dwError);
  return {};
}

}  // namespace

TlsResult check_server_certificate(const TlsPlatform& platform, ConnectionRecord* connection,
                                   PCCERT_CONTEXT certificate, const char* host, uint64_t deadline) {
  const uint64_t now = monotonic_milliseconds();
  if (now >= deadline) return failed(TlsFailure::TIMED_OUT, 0);
  LPSTR server_authentication = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
  CERT_CHAIN_PARA parameters{};
  // Windows honours the retrieval limit in the full structure. Wine 8 reads
  // it only from the shorter one without the strong-signature fields, and
  // there a fetch that runs out of time crashes the process at once (its
  // worker calls back into freed memory): with the full size Wine waits for
  // a silent server's list as long as that server holds on, but lives.
  parameters.cbSize = sizeof parameters;
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &server_authentication;
  parameters.dwUrlRetrievalTimeout = static_cast<DWORD>(std::min(RETRIEVAL_LIMIT_MS, deadline - now));
  const DWORD flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
  // As before a name lookup: what the caller has to show is shown before a
  // wait it cannot break into, and a stop asked for already acts now.
  if (!run_hook_now(connection)) return failed(TlsFailure::STOPPED, 0);
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  // The certificates the server sent come along as the extra store: they
  // are the way to the root, never a root themselves.
  if (!platform.get_chain(nullptr, certificate, nullptr, certificate->hCertStore, &parameters, flags, nullptr,
                          &chain)) {
    return failed(TlsFailure::CERTIFICATE_INVALID, GetLastError());
  }
  // A stop asked for during the chain's wait acts the moment it ends.
  if (!run_hook_now(connection)) {
    platform.free_chain(chain);
    return failed(TlsFailure::STOPPED, 0);
  }
  const DWORD faults = chain->TrustStatus.dwErrorStatus & ~REVOCATION_UNKNOWN;
  const TlsResult result = faults ? failed(chain_failure(chain, faults), faults) : check_policy(platform, chain, host);
  platform.free_chain(chain);
  return result;
}
