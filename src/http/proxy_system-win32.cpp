#include "http/proxy_system-win32.h"

#include <winhttp.h>

#include <utility>

#include "platform/known_folders-win32.h"
#include "platform/last_error-win32.h"
#include "platform/system_function-win32.h"

namespace kalvane {

struct WinHttpProxySystem::Lookup {
  // Keeps the answer and tells the window, unless the window's side has given the look-up up.
  void Finish(Result<std::string> list) {
    AcquireSRWLockExclusive(&lock);
    if (!abandoned) {
      answer.emplace(std::move(list));
      PostMessageW(window, message, id, 0);
    }
    ReleaseSRWLockExclusive(&lock);
  }
  void Abandon() {
    AcquireSRWLockExclusive(&lock);
    abandoned = true;
    ReleaseSRWLockExclusive(&lock);
  }
  std::optional<Result<std::string>> Take() {
    AcquireSRWLockExclusive(&lock);
    std::optional<Result<std::string>> taken = std::exchange(answer, std::nullopt);
    ReleaseSRWLockExclusive(&lock);
    return taken;
  }

  HWND window = nullptr;
  UINT message = 0;
  WPARAM id = 0;
  std::wstring url;
  std::wstring script_url;  // empty: detection
  bool detect = false;
  DWORD limit_ms = 0;
  SRWLOCK lock = SRWLOCK_INIT;
  bool abandoned = false;
  std::optional<Result<std::string>> answer;
};

namespace {

using GetIEProxyConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using OpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using SetTimeoutsFunction = BOOL(WINAPI*)(HINTERNET, int, int, int, int);
using GetProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*,
                                             WINHTTP_PROXY_INFO*);
using CloseHandleFunction = BOOL(WINAPI*)(HINTERNET);

// winhttp.dll from the system folder, never from anywhere else.
HMODULE LoadWinHttp() {
  const Result<std::wstring> folder = SystemDirectory();
  if (!folder) return nullptr;
  return LoadLibraryExW((*folder + L"\\winhttp.dll").c_str(), nullptr, 0);
}

// Settings text is ASCII where it means anything (host names, ports, wildcards); any other
// character becomes DEL, which no host name holds and no wildcard matches.
std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; text != nullptr && *text != L'\0'; ++text) {
    narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '\x7f');
  }
  return narrow;
}

// Frees WinHTTP's strings (GlobalAlloc'd) on every way out.
struct GlobalText {
  ~GlobalText() {
    if (text != nullptr) GlobalFree(text);
  }
  LPWSTR text = nullptr;
};

Result<std::string> AskWinHttp(HMODULE winhttp, const WinHttpProxySystem::Lookup& lookup) {
  const auto open = FunctionIn<OpenFunction>(winhttp, "WinHttpOpen");
  const auto set_timeouts = FunctionIn<SetTimeoutsFunction>(winhttp, "WinHttpSetTimeouts");
  const auto get_proxy = FunctionIn<GetProxyForUrlFunction>(winhttp, "WinHttpGetProxyForUrl");
  const auto close = FunctionIn<CloseHandleFunction>(winhttp, "WinHttpCloseHandle");
  if (open == nullptr || set_timeouts == nullptr || get_proxy == nullptr || close == nullptr) {
    return Status::Failure(StatusKind::kNotFound);
  }
  HINTERNET session = open(L"Kalvane", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0);
  if (session == nullptr) return LastErrorStatus();
  const int limit = static_cast<int>(lookup.limit_ms);
  set_timeouts(session, limit, limit, limit, limit);  // the script's download
  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.fAutoLogonIfChallenged = TRUE;
  if (lookup.detect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (!lookup.script_url.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = lookup.script_url.c_str();
  }
  WINHTTP_PROXY_INFO info{};
  const BOOL found = get_proxy(session, lookup.url.c_str(), &options, &info);
  const DWORD error = LastError();
  const GlobalText proxy{info.lpszProxy}, bypass{info.lpszProxyBypass};
  close(session);
  if (!found) return Status::Failure(StatusKind::kNotFound, error);
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY || proxy.text == nullptr) {
    return std::string("DIRECT");
  }
  return Narrow(proxy.text);
}

DWORD WINAPI RunLookup(void* parameter) {
  const std::unique_ptr<std::shared_ptr<WinHttpProxySystem::Lookup>> handed(
      static_cast<std::shared_ptr<WinHttpProxySystem::Lookup>*>(parameter));
  WinHttpProxySystem::Lookup& lookup = **handed;
  // The thread's own reference: the DLL stays while the thread is inside it.
  const UniqueModule winhttp(LoadWinHttp());
  lookup.Finish(winhttp ? AskWinHttp(winhttp.get(), lookup)
                        : Result<std::string>(Status::Failure(StatusKind::kNotFound)));
  return 0;
}

}  // namespace

WinHttpProxySystem::WinHttpProxySystem(UINT message) : message_(message) {}

WinHttpProxySystem::~WinHttpProxySystem() {
  if (lookup_) lookup_->Abandon();
}

std::optional<ProxySettings> WinHttpProxySystem::UserSettings() {
  if (!winhttp_) winhttp_.reset(LoadWinHttp());
  const auto get_config =
      FunctionIn<GetIEProxyConfigFunction>(winhttp_.get(), "WinHttpGetIEProxyConfigForCurrentUser");
  if (get_config == nullptr) return std::nullopt;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (!get_config(&config)) return std::nullopt;
  const GlobalText script{config.lpszAutoConfigUrl}, proxy{config.lpszProxy},
      bypass{config.lpszProxyBypass};
  script_url_ = script.text != nullptr ? script.text : L"";
  return ProxySettings{config.fAutoDetect != FALSE, Narrow(script.text), Narrow(proxy.text),
                       Narrow(bypass.text)};
}

void WinHttpProxySystem::StartScriptLookup(const ProxySettings& settings, const std::string& url,
                                           std::chrono::milliseconds limit) {
  if (lookup_) lookup_->Abandon();
  auto lookup = std::make_shared<Lookup>();
  lookup->window = window_;
  lookup->message = message_;
  lookup->id = ++lookup_count_;
  lookup->url.assign(url.begin(), url.end());
  lookup->script_url = settings.script_url.empty() ? L"" : script_url_;
  lookup->detect = settings.auto_detect;
  lookup->limit_ms = static_cast<DWORD>(limit.count());
  lookup_ = lookup;
  auto handed = std::make_unique<std::shared_ptr<Lookup>>(std::move(lookup));
  const UniqueKernelObject thread(CreateThread(nullptr, 0, &RunLookup, handed.get(), 0, nullptr));
  if (thread) {
    handed.release();  // the thread's; it ends by itself, its handle is not needed
  } else {
    lookup_->Finish(LastErrorStatus());
  }
}

bool WinHttpProxySystem::HandleMessage(UINT message, WPARAM wparam) {
  if (message != message_) return false;
  if (!lookup_ || lookup_->id != wparam) return true;  // of a look-up given up
  std::optional<Result<std::string>> answer = lookup_->Take();
  lookup_.reset();
  if (answer && router_ != nullptr) router_->OnScriptAnswer(*answer);
  return true;
}

}  // namespace kalvane
