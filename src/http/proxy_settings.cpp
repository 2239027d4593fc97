#include "http/proxy_settings.h"

#include <optional>

#include "base/text.h"

namespace kalvane {
namespace {

constexpr std::string_view kSeparators = "; \t\r\n";

// The pieces of `text` between any of `separators`, empty ones left out.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(separators);
    if (end != 0) pieces.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return pieces;
}

bool IsSpace(char ch) { return IsBlank(ch) || ch == '\r' || ch == '\n'; }

bool IsHostCharacter(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
         ch == '.' || ch == '-' || ch == '_';
}

bool IsPlainHost(std::string_view host, bool address_v6) {
  if (host.empty() || host.size() > 255) return false;
  for (const char ch : host) {
    if (!IsHostCharacter(ch) && !(address_v6 && ch == ':')) return false;
  }
  return true;
}

// "host", "host:port", "[v6]:port", with an optional "http://" in front and "/" behind. Nothing
// for a host with any character a host name or address cannot hold, or a port out of range.
std::optional<ProxyServer> ParseServer(std::string_view text) {
  if (const std::size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    if (!EqualsAsciiNoCase(text.substr(0, scheme), std::string_view("http"))) return std::nullopt;
    text.remove_prefix(scheme + 3);
  }
  if (!text.empty() && text.back() == '/') text.remove_suffix(1);
  std::string_view host = text;
  std::string_view port;
  bool v6 = false;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
    v6 = true;
  } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (!IsPlainHost(host, v6)) return std::nullopt;
  ProxyServer server{std::string(host), 80};
  if (!port.empty()) {
    const std::optional<std::uint64_t> number = ParseDecimal(port);
    if (!number || *number == 0 || *number > 65535) return std::nullopt;
    server.port = static_cast<std::uint16_t>(*number);
  }
  return server;
}

void Add(std::vector<ProxyServer>& proxies, std::string_view text) {
  if (proxies.size() >= kMaxProxiesTried) return;
  if (std::optional<ProxyServer> server = ParseServer(text)) proxies.push_back(std::move(*server));
}

// '*' any run of characters, '?' any one; ASCII letter case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0;
  std::optional<std::size_t> star_p, star_t;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = p++;
      star_t = t;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(text[t]))) {
      ++p;
      ++t;
    } else if (star_p) {
      p = *star_p + 1;
      t = ++*star_t;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string ProxyServer::Text() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::vector<ProxyServer> HttpProxiesOf(std::string_view proxy_server) {
  std::vector<ProxyServer> proxies;
  for (const std::string_view item : Split(proxy_server, ";")) {
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      // "host:port host:port": entries for every scheme, parted by blanks.
      for (const std::string_view entry : Split(item, kSeparators)) Add(proxies, entry);
      continue;
    }
    const std::string_view scheme = TrimIf(item.substr(0, equals), IsSpace);
    if (EqualsAsciiNoCase(scheme, std::string_view("http"))) {
      Add(proxies, TrimIf(item.substr(equals + 1), IsSpace));
    }
  }
  return proxies;
}

std::vector<ProxyServer> ProxiesOfScriptList(std::string_view list) {
  std::vector<ProxyServer> proxies;
  for (std::string_view entry : Split(list, ";")) {
    entry = TrimIf(entry, IsSpace);
    if (entry.empty()) continue;
    if (EqualsAsciiNoCase(entry, std::string_view("DIRECT"))) break;
    const std::size_t blank = entry.find_first_of(" \t");
    if (blank == std::string_view::npos) {
      Add(proxies, entry);
      continue;
    }
    const std::string_view kind = entry.substr(0, blank);
    if (EqualsAsciiNoCase(kind, std::string_view("PROXY")) ||
        EqualsAsciiNoCase(kind, std::string_view("HTTP"))) {
      Add(proxies, TrimBlanks(entry.substr(blank)));
    }
  }
  return proxies;
}

bool Bypassed(std::string_view host, std::string_view bypass) {
  const std::string with_port = std::string(host) + ":80";
  for (std::string_view entry : Split(bypass, "; \t,\r\n")) {
    if (EqualsAsciiNoCase(entry, std::string_view("<local>"))) {
      if (host.find('.') == std::string_view::npos) return true;
      continue;
    }
    if (const std::size_t scheme = entry.find("://"); scheme != std::string_view::npos) {
      if (!EqualsAsciiNoCase(entry.substr(0, scheme), std::string_view("http"))) continue;
      entry.remove_prefix(scheme + 3);
    }
    if (WildcardMatch(entry, host) || WildcardMatch(entry, with_port)) return true;
  }
  return false;
}

std::vector<ProxyServer> ChooseProxies(const ProxySettings& settings, std::string_view host,
                                       std::string_view script_list) {
  if (settings.UsesScript() && !script_list.empty()) return ProxiesOfScriptList(script_list);
  if (Bypassed(host, settings.bypass)) return {};
  return HttpProxiesOf(settings.proxy_server);
}

}  // namespace kalvane
