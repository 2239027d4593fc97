#pragma once

// The user's proxy settings as Windows keeps them, read as text: which proxies a plain HTTP
// request to one host goes through. Everything here is a pure function of the settings' text;
// the settings themselves come from the system (proxy_system-win32.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvane {

// One HTTP proxy: where to connect. `host` is a name or an address (an IPv6 one without its
// brackets).
struct ProxyServer {
  std::string host;
  std::uint16_t port = 80;

  // "host:port" ("[v6]:port"), as the user's settings and the status name it.
  std::string Text() const;
  bool operator==(const ProxyServer&) const = default;
};

// The user's settings for reaching the web: a fixed proxy with its bypass list, a configuration
// script, automatic detection. Any of them may be empty or off.
struct ProxySettings {
  bool auto_detect = false;
  std::string script_url;    // the configuration script's address
  std::string proxy_server;  // "host:port", or "http=host:port;https=host:port" and the like
  std::string bypass;        // "*.corp;10.*;<local>"

  // A script or detection decides the proxy.
  bool UsesScript() const { return auto_detect || !script_url.empty(); }
};

// How many proxies one request tries before it goes direct: a list of hundreds must still cost
// no more than a few seconds.
inline constexpr std::size_t kMaxProxiesTried = 3;

// The proxies a fixed `ProxyServer` value gives plain HTTP, in order: entries without a scheme
// serve every scheme, "http=" ones serve HTTP, others ("https=", "socks=", "ftp=") are ignored.
// Entries are separated by ';' or blanks; one that names no host, or a port out of range, is
// skipped. At most kMaxProxiesTried.
std::vector<ProxyServer> HttpProxiesOf(std::string_view proxy_server);

// A configuration script's (or the system's) answer list: "PROXY host:port; DIRECT", or WinHTTP's
// "host:port;host:port" form. The proxies before the first DIRECT, at most kMaxProxiesTried;
// entries of other kinds (SOCKS, HTTPS) are skipped.
std::vector<ProxyServer> ProxiesOfScriptList(std::string_view list);

// True when `host` is on the bypass list: entries separated by ';', ',' or blanks, '*' and '?'
// as wildcards, letter case ignored, an entry's "http://" and ":port" ignored; "<local>" matches a
// host name without a dot.
bool Bypassed(std::string_view host, std::string_view bypass);

// The proxies the request to `host` goes through before it goes direct, as Windows chooses them:
// the script's (or detection's) list when one was found, otherwise the fixed proxy unless `host`
// is bypassed. `script_list` is empty when no script gave a list.
std::vector<ProxyServer> ChooseProxies(const ProxySettings& settings, std::string_view host,
                                       std::string_view script_list);

}  // namespace kalvane
