#pragma once

// Answering a proxy's "407 Proxy Authentication Required" with the logged-on user's own
// credentials, as browsers do: the Negotiate and NTLM schemes, whose tokens a security package
// makes (sspi_context-win32.h). A password is never asked for, kept or sent: Basic, which would
// need one, is not answered.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/status.h"

namespace kalvane {

// How many 407 answers one exchange with a proxy answers: Negotiate needs one round, NTLM two; a
// proxy that keeps asking after that is refused.
inline constexpr int kMaxAuthRounds = 3;

// One handshake of a security package with a proxy, for the logged-on user.
class SecurityContext {
 public:
  virtual ~SecurityContext() = default;
  // The next token to send, given the proxy's token (empty in the first round); kFailed with the
  // system's code when the package refuses.
  virtual Result<std::string> Next(std::string_view proxy_token) = 0;
};

// Starts handshakes: `scheme` is "Negotiate" or "NTLM", `proxy_host` the proxy's name.
class SecurityPackages {
 public:
  virtual std::unique_ptr<SecurityContext> Begin(std::string_view scheme,
                                                 std::string_view proxy_host) = 0;

 protected:
  ~SecurityPackages() = default;
};

// The answers to one proxy's 407 responses over one exchange: a scheme is chosen in the first
// round (Negotiate before NTLM) and kept.
class ProxyAuthentication {
 public:
  ProxyAuthentication(SecurityPackages& packages, std::string proxy_host)
      : packages_(packages), proxy_host_(std::move(proxy_host)) {}

  // The header line (with its CR LF) that answers the complete 407 `response`, or kRejected when
  // it cannot be answered: no Negotiate or NTLM challenge (Basic only, or none), a token that is
  // no base64, a proxy still asking after kMaxAuthRounds, or one that rejects the credentials it
  // had asked for; kFailed when the security package refuses.
  Result<std::string> Answer(std::string_view response);

 private:
  SecurityPackages& packages_;
  std::string proxy_host_;
  std::string scheme_;  // chosen in the first round
  std::unique_ptr<SecurityContext> context_;
  int rounds_ = 0;
};

std::string Base64Encode(std::string_view bytes);
// kRejected for a character outside the alphabet or padding out of place.
Result<std::string> Base64Decode(std::string_view text);

}  // namespace kalvane
