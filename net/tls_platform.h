#pragma once
// The platform's TLS (SSPI in SECUR32) and certificate chain engine
// (CRYPT32), for the TLS code of this library only.
//
// Neither library is imported: both are loaded at run time from the system
// folder. They are not on the system's list of known libraries, so an
// import would let a copy lying beside Gatherly.exe (where downloads land)
// be loaded in their place.
//
// Include this header before any other platform header: it asks the
// headers for the newer structures (SCH_CREDENTIALS and TLS_PARAMETERS
// stand behind SCHANNEL_USE_BLACKLISTS, CERT_CHAIN_PARA's retrieval limit
// behind CERT_CHAIN_PARA_HAS_EXTRA_FIELDS).
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#define SCHANNEL_USE_BLACKLISTS
#define SECURITY_WIN32
#include <windows.h>
// clang-format off: the order matters, each needs the one before.
#include <subauth.h>
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>
// clang-format on

struct TlsPlatform {
  const SecurityFunctionTableA* sspi;
  decltype(&CertGetCertificateChain) get_chain;
  decltype(&CertVerifyCertificateChainPolicy) verify_chain_policy;
  decltype(&CertFreeCertificateChain) free_chain;
  decltype(&CertFreeCertificateContext) free_certificate;
};

// Loaded once per process, on first use, by whichever thread comes first;
// null when a library or one of its calls is missing.
const TlsPlatform* tls_platform();
