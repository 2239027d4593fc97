#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sync/domain_list.h"

namespace kalvane {

// The line that starts our section of the hosts file. Everything above its first occurrence
// belongs to the user; it and everything below it belong to us.
inline constexpr std::string_view kSectionMarker = "#BEGIN";

// Reads the hosts file's bytes line by line the way the text-file reader does: a line ends at
// CR LF or at a lone CR; the line end is not part of the line; a lone LF stays inside the line.
// The returned views point into the bytes given to the constructor.
class HostsLineReader {
 public:
  explicit HostsLineReader(std::string_view bytes) : rest_(bytes) {}

  std::optional<std::string_view> Next();

 private:
  std::string_view rest_;
};

// False for content we must not rewrite line by line: UTF-16 (a FF FE or FE FF start) or any NUL
// byte. Such a hosts file is left as it is.
bool IsPlainTextHosts(std::string_view content);

// A mapping goes into the hosts file only when neither its host name nor its address holds a
// control character (0x00-0x1F, 0x7F): one of those could end the line early or smuggle in
// further lines. Everything else is written exactly as the service sent it.
bool IsWritableMapping(const DomainMapping& mapping);

// The user's lines: every line above the first "#BEGIN" line (all lines when there is none),
// byte for byte, each ended by CR LF.
std::string ComposeUserLines(std::string_view old_content);

// The user's lines, then "#BEGIN", then "address host" for each writable mapping in list order,
// every line ended by CR LF.
std::string ComposeHostsWithSection(std::string_view old_content, const DomainList& mappings);

}  // namespace kalvane
