#include "sync/hosts_section.h"

#include <algorithm>

#include "base/text.h"

namespace kalvane {
namespace {

bool IsControlByte(char ch) {
  const auto byte = static_cast<unsigned char>(ch);
  return (byte < 0x20 && ch != '\t') || byte == 0x7F;
}

std::string_view WithoutTrailingDot(std::string_view name) {
  if (name.ends_with('.')) name.remove_suffix(1);
  return name;
}

bool SameHostName(std::string_view a, std::string_view b) {
  return EqualsAsciiNoCase(WithoutTrailingDot(a), WithoutTrailingDot(b));
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsControlByte);
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append(kLineEnd);
}

// Lines that already end in CR LF are copied in runs, as they stand; a line ended by a lone CR,
// or the last line without an end, is written with a CR LF of its own.
void AppendUserLines(std::string& out, std::string_view old_content) {
  HostsLineReader reader(old_content);
  std::size_t run_start = 0;
  std::size_t run_end = 0;
  while (auto line = reader.Next()) {
    if (*line == kSectionMarker) break;
    const auto line_end =
        static_cast<std::size_t>(line->data() - old_content.data()) + line->size();
    if (old_content.substr(line_end, kLineEnd.size()) == kLineEnd) {
      run_end = line_end + kLineEnd.size();
      continue;
    }
    out.append(old_content.substr(run_start, line_end - run_start));
    out.append(kLineEnd);
    run_start = run_end = std::min(line_end + 1, old_content.size());
  }
  out.append(old_content.substr(run_start, run_end - run_start));
}

}  // namespace

std::optional<std::string_view> HostsLineReader::Next() {
  if (rest_.empty()) return std::nullopt;
  const auto cr = rest_.find('\r');
  if (cr == std::string_view::npos) {
    const auto line = rest_;
    rest_ = {};
    return line;
  }
  const auto line = rest_.substr(0, cr);
  const bool crlf = cr + 1 < rest_.size() && rest_[cr + 1] == '\n';
  rest_.remove_prefix(cr + (crlf ? 2 : 1));
  return line;
}

bool IsPlainTextHosts(std::string_view content) {
  if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) return false;
  return content.find('\0') == std::string_view::npos;
}

bool LineNamesHost(std::string_view line, std::string_view host) {
  if (WithoutTrailingDot(host).empty()) return false;
  std::size_t pos = 0;
  while (pos < line.size()) {
    if (IsBlank(line[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    if (SameHostName(line.substr(pos, end - pos), host)) return true;
    pos = end;
  }
  return false;
}

bool IsWritableMapping(const DomainMapping& mapping, std::string_view service_host) {
  if (HasControlByte(mapping.host) || HasControlByte(mapping.address)) return false;
  // The written line is the two fields parted by a space: it names the host when either does.
  return !LineNamesHost(mapping.address, service_host) &&
         !LineNamesHost(mapping.host, service_host);
}

std::size_t CountWritableMappings(const DomainList& mappings, std::string_view service_host) {
  return static_cast<std::size_t>(std::ranges::count_if(
      mappings, [&](const DomainMapping& m) { return IsWritableMapping(m, service_host); }));
}

bool HasSection(std::string_view content) {
  HostsLineReader reader(content);
  while (auto line = reader.Next()) {
    if (*line == kSectionMarker) return true;
  }
  return false;
}

std::string ComposeUserLines(std::string_view old_content) {
  std::string out;
  out.reserve(old_content.size() + kLineEnd.size());
  AppendUserLines(out, old_content);
  return out;
}

std::string ComposeHostsWithSection(std::string_view old_content, const DomainList& mappings,
                                    std::string_view service_host) {
  std::size_t section_size = kSectionMarker.size() + kLineEnd.size();
  for (const auto& mapping : mappings) {
    section_size += mapping.address.size() + 1 + mapping.host.size() + kLineEnd.size();
  }
  std::string out;
  out.reserve(old_content.size() + kLineEnd.size() + section_size);
  AppendUserLines(out, old_content);
  AppendLine(out, kSectionMarker);
  for (const auto& mapping : mappings) {
    if (!IsWritableMapping(mapping, service_host)) continue;
    out.append(mapping.address);
    out.push_back(' ');
    AppendLine(out, mapping.host);
  }
  return out;
}

}  // namespace kalvane
