#include "http/sspi_packages-win32.h"

#define SECURITY_WIN32
#include <security.h>
#include <sspi.h>

#include <string>

#include "platform/known_folders-win32.h"
#include "platform/system_function-win32.h"

namespace kalvane {

struct SspiPackages::Functions {
  explicit Functions(HMODULE module)
      : acquire(FunctionIn<ACQUIRE_CREDENTIALS_HANDLE_FN_W>(module, "AcquireCredentialsHandleW")),
        initialize(
            FunctionIn<INITIALIZE_SECURITY_CONTEXT_FN_W>(module, "InitializeSecurityContextW")),
        delete_context(FunctionIn<DELETE_SECURITY_CONTEXT_FN>(module, "DeleteSecurityContext")),
        free_credentials(FunctionIn<FREE_CREDENTIALS_HANDLE_FN>(module, "FreeCredentialsHandle")),
        free_buffer(FunctionIn<FREE_CONTEXT_BUFFER_FN>(module, "FreeContextBuffer")) {}
  bool Complete() const {
    return acquire && initialize && delete_context && free_credentials && free_buffer;
  }
  ACQUIRE_CREDENTIALS_HANDLE_FN_W acquire;
  INITIALIZE_SECURITY_CONTEXT_FN_W initialize;
  DELETE_SECURITY_CONTEXT_FN delete_context;
  FREE_CREDENTIALS_HANDLE_FN free_credentials;
  FREE_CONTEXT_BUFFER_FN free_buffer;
};

namespace {

std::wstring Wide(std::string_view text) { return {text.begin(), text.end()}; }

// One handshake: the user's credentials for the package and the context built on them.
class SspiContext final : public SecurityContext {
 public:
  SspiContext(const SspiPackages::Functions& functions, std::string_view scheme,
              std::string_view proxy_host)
      : functions_(functions), package_(Wide(scheme)), target_(L"HTTP/" + Wide(proxy_host)) {}
  ~SspiContext() override {
    if (has_context_) functions_.delete_context(&context_);
    if (has_credentials_) functions_.free_credentials(&credentials_);
  }
  SspiContext(const SspiContext&) = delete;
  SspiContext& operator=(const SspiContext&) = delete;

  Result<std::string> Next(std::string_view proxy_token) override {
    TimeStamp expiry{};
    if (!has_credentials_) {
      // No identity given: the logged-on user's own.
      const SECURITY_STATUS acquired =
          functions_.acquire(nullptr, package_.data(), SECPKG_CRED_OUTBOUND, nullptr, nullptr,
                             nullptr, nullptr, &credentials_, &expiry);
      if (acquired != SEC_E_OK) return Failure(acquired);
      has_credentials_ = true;
    }
    std::string in_token(proxy_token);
    SecBuffer in{static_cast<unsigned long>(in_token.size()), SECBUFFER_TOKEN, in_token.data()};
    SecBufferDesc in_description{SECBUFFER_VERSION, 1, &in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_description{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    const SECURITY_STATUS status = functions_.initialize(
        &credentials_, has_context_ ? &context_ : nullptr, target_.data(), ISC_REQ_ALLOCATE_MEMORY,
        0, SECURITY_NATIVE_DREP, in_token.empty() ? nullptr : &in_description, 0, &context_,
        &out_description, &attributes, &expiry);
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) has_context_ = true;
    std::string token;
    if (out.pvBuffer != nullptr) {
      token.assign(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
      functions_.free_buffer(out.pvBuffer);
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return Failure(status);
    return token;
  }

 private:
  static Status Failure(SECURITY_STATUS status) {
    return Status::Failure(StatusKind::kFailed, static_cast<std::uint32_t>(status));
  }

  const SspiPackages::Functions& functions_;
  std::wstring package_;
  std::wstring target_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool has_credentials_ = false;
  bool has_context_ = false;
};

}  // namespace

SspiPackages::SspiPackages() = default;
SspiPackages::~SspiPackages() = default;

std::unique_ptr<SecurityContext> SspiPackages::Begin(std::string_view scheme,
                                                     std::string_view proxy_host) {
  if (!secur32_) {
    if (const Result<std::wstring> folder = SystemDirectory()) {
      secur32_.reset(LoadLibraryExW((*folder + L"\\secur32.dll").c_str(), nullptr, 0));
    }
  }
  if (!functions_) functions_ = std::make_unique<Functions>(secur32_.get());
  if (!functions_->Complete()) return nullptr;
  return std::make_unique<SspiContext>(*functions_, scheme, proxy_host);
}

}  // namespace kalvane
