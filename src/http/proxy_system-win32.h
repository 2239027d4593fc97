#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "http/proxy_router.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

// The user's proxy settings and the configuration script's (or detection's) answer, from WinHTTP.
// winhttp.dll is loaded from the system folder and its functions looked up at run time: without
// them there are no settings, and requests go direct. The user's settings are a registry read;
// the script look-up, which may download and run a script or search the network, runs on a thread
// of its own and posts `message` to the window given to Attach when it is done. A look-up that is
// abandoned (a newer one, or the end of the program) keeps its own state and reference to the DLL
// and ends by itself without touching anything else.
class WinHttpProxySystem final : public ProxySystem {
 public:
  explicit WinHttpProxySystem(UINT message);
  ~WinHttpProxySystem() override;
  WinHttpProxySystem(const WinHttpProxySystem&) = delete;
  WinHttpProxySystem& operator=(const WinHttpProxySystem&) = delete;

  void Attach(HWND window, ProxyRouter* router) {
    window_ = window;
    router_ = router;
  }

  std::optional<ProxySettings> UserSettings() override;
  void StartScriptLookup(const ProxySettings& settings, const std::string& url,
                         std::chrono::milliseconds limit) override;

  // True when the message was ours (a look-up's answer, handed to the router, or a stale one).
  bool HandleMessage(UINT message, WPARAM wparam);

  // What a look-up shares with its thread.
  struct Lookup;

 private:
  UINT message_;
  HWND window_ = nullptr;
  ProxyRouter* router_ = nullptr;
  UniqueModule winhttp_;
  std::wstring script_url_;  // as the settings hold it, for the look-up
  std::shared_ptr<Lookup> lookup_;
  WPARAM lookup_count_ = 0;
};

}  // namespace kalvane
