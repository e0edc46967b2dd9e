#include "net/tls_platform.h"

#include "base/system_library.h"

namespace {

template <class Call>
bool find_call(HMODULE library, const char* name, Call* call) {
  *call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *call != nullptr;
}

struct LoadedPlatform {
  TlsPlatform calls{};
  bool complete = false;
};

LoadedPlatform load_platform() {
  LoadedPlatform loaded;
  const HMODULE secur32 = load_system_library("SECUR32.DLL");
  const HMODULE crypt32 = load_system_library("CRYPT32.DLL");
  if (!secur32 || !crypt32) return loaded;
  INIT_SECURITY_INTERFACE_A init_interface = nullptr;
  if (!find_call(secur32, "InitSecurityInterfaceA", &init_interface)) return loaded;
  loaded.calls.sspi = init_interface();
  const SecurityFunctionTableA* sspi = loaded.calls.sspi;
  if (!sspi || !sspi->AcquireCredentialsHandleA || !sspi->FreeCredentialsHandle ||
      !sspi->InitializeSecurityContextA || !sspi->DeleteSecurityContext || !sspi->QueryContextAttributesA ||
      !sspi->EncryptMessage || !sspi->DecryptMessage || !sspi->FreeContextBuffer) {
    return loaded;
  }
  loaded.complete = find_call(crypt32, "CertGetCertificateChain", &loaded.calls.get_chain) &&
                    find_call(crypt32, "CertVerifyCertificateChainPolicy", &loaded.calls.verify_chain_policy) &&
                    find_call(crypt32, "CertFreeCertificateChain", &loaded.calls.free_chain) &&
                    find_call(crypt32, "CertFreeCertificateContext", &loaded.calls.free_certificate);
  return loaded;
}

}  // namespace

const TlsPlatform* tls_platform() {
  // The libraries stay loaded until the process ends: a second download
  // finds them ready, and nothing of theirs outlives an unload.
  static const LoadedPlatform loaded = load_platform();
  return loaded.complete ? &loaded.calls : nullptr;
}
