#pragma once

#include <windows.h>

#include <memory>

#include "http/proxy_auth.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

// Negotiate and NTLM handshakes for the logged-on user through SSPI: credentials are acquired
// with no explicit identity, so the system uses the user's own logon and no password passes
// through the program. secur32.dll is loaded from the system folder at the first handshake and
// its functions looked up at run time; without them a handshake fails and the proxy is passed
// over.
class SspiPackages final : public SecurityPackages {
 public:
  SspiPackages();
  ~SspiPackages();
  SspiPackages(const SspiPackages&) = delete;
  SspiPackages& operator=(const SspiPackages&) = delete;

  std::unique_ptr<SecurityContext> Begin(std::string_view scheme,
                                         std::string_view proxy_host) override;

  // The SSPI calls a handshake makes.
  struct Functions;

 private:
  UniqueModule secur32_;
  std::unique_ptr<Functions> functions_;
};

}  // namespace kalvane
