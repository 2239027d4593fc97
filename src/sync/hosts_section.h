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

// True when the hosts line names `host` as one of its fields (fields are parted by spaces and
// tabs, as the resolver reads them): in any letter case, either name with or without one trailing
// dot. An empty `host` is named by no line.
bool LineNamesHost(std::string_view line, std::string_view host);

// A mapping goes into the hosts file only when
// - neither its host name nor its address holds a control character other than TAB (CR, LF, NUL
//   and the rest of 0x00-0x1F, 0x7F): one of those could end the line early or smuggle in
//   further lines; a TAB parts fields as a space does;
// - its line would not name `service_host`: a row that sent the service's own name elsewhere
//   would hand every later request, and so every later answer, to whoever wrote it.
// Everything else is written exactly as the service sent it.
bool IsWritableMapping(const DomainMapping& mapping, std::string_view service_host);

// The mappings of `mappings` that IsWritableMapping lets through.
std::size_t CountWritableMappings(const DomainList& mappings, std::string_view service_host);

// True when `content` has a "#BEGIN" line, that is a section of ours.
bool HasSection(std::string_view content);

// The user's lines: every line above the first "#BEGIN" line (all lines when there is none),
// byte for byte, each ended by CR LF.
std::string ComposeUserLines(std::string_view old_content);

// The user's lines, then "#BEGIN", then "address host" for each writable mapping in list order,
// every line ended by CR LF.
std::string ComposeHostsWithSection(std::string_view old_content, const DomainList& mappings,
                                    std::string_view service_host);

}  // namespace kalvane
