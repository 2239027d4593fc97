#include "sync/hosts_section.h"

#include <algorithm>
#include <unordered_map>

#include "base/text.h"

namespace kalvane {
namespace {

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append(kLineEnd);
}

bool EndsWithLineEnd(std::string_view bytes) {
  return bytes.ends_with('\r') || bytes.ends_with('\n');
}

// A user's line as it stands, with a CR LF of its own when it had no line end.
void AppendUserLine(std::string& out, std::string_view with_end) {
  out.append(with_end);
  if (!with_end.empty() && !EndsWithLineEnd(with_end)) out.append(kLineEnd);
}

// The line `line` of `content` from its first byte to the end of its line end.
std::string_view WholeLine(std::string_view content, const HostsLine& line) {
  const auto start = static_cast<std::size_t>(line.text.data() - content.data());
  return content.substr(start, line.text.size() + line.end.size());
}

void AppendUserLines(std::string& out, const HostsParts& parts) {
  AppendUserLine(out, parts.above);
  for (const std::string_view line : parts.foreign) AppendUserLine(out, line);
}

}  // namespace

std::optional<HostsLine> HostsLineReader::Next() {
  if (rest_.empty()) return std::nullopt;
  const auto stop = rest_.find_first_of("\r\n");
  if (stop == std::string_view::npos) {
    const HostsLine line{rest_, rest_.substr(rest_.size())};
    rest_ = {};
    return line;
  }
  const bool crlf = rest_[stop] == '\r' && stop + 1 < rest_.size() && rest_[stop + 1] == '\n';
  const HostsLine line{rest_.substr(0, stop), rest_.substr(stop, crlf ? 2 : 1)};
  rest_.remove_prefix(stop + line.end.size());
  return line;
}

bool IsPlainTextHosts(std::string_view content) {
  if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) return false;
  return content.find('\0') == std::string_view::npos;
}

std::size_t CountWritableMappings(const DomainList& mappings, const RefusedHosts& refused) {
  return static_cast<std::size_t>(std::ranges::count_if(
      mappings, [&](const DomainMapping& m) { return IsWritableMapping(m, refused); }));
}

bool HasSection(std::string_view content) {
  HostsLineReader reader(content);
  while (auto line = reader.Next()) {
    if (line->text == kSectionMarker) return true;
  }
  return false;
}

SectionRows RowLines(const DomainList& mappings, const RefusedHosts& refused) {
  SectionRows rows;
  rows.reserve(mappings.size());
  for (const auto& mapping : mappings) {
    if (!IsWritableMapping(mapping, refused)) continue;
    std::string& row = rows.emplace_back();
    row.reserve(mapping.address.size() + 1 + mapping.host.size());
    row.append(mapping.address).append(" ").append(mapping.host);
  }
  return rows;
}

std::optional<SectionRows> RowsOfWorkingCopy(std::string_view content) {
  HostsLineReader reader(content);
  std::optional<HostsLine> line;
  while ((line = reader.Next()) && line->text != kSectionMarker) {
  }
  if (!line || line->end != kLineEnd) return std::nullopt;
  SectionRows rows;
  while ((line = reader.Next())) {
    if (line->text.empty() || line->text == kSectionMarker || line->end != kLineEnd) {
      return std::nullopt;
    }
    rows.emplace_back(line->text);
  }
  if (rows.empty()) return std::nullopt;
  return rows;
}

HostsParts SplitHosts(std::string_view content, const SectionRows* record) {
  HostsParts parts;
  HostsLineReader reader(content);
  std::optional<HostsLine> line;
  while ((line = reader.Next()) && line->text != kSectionMarker) {
  }
  if (!line) {
    parts.above = content;
    return parts;
  }
  parts.above = content.substr(0, static_cast<std::size_t>(line->text.data() - content.data()));
  parts.has_section = true;
  if (record == nullptr) return parts;

  // How many copies of each row are still to be found; a copy beyond those is someone else's.
  std::unordered_map<std::string_view, std::size_t> unmatched;
  unmatched.reserve(record->size());
  for (const std::string& row : *record) ++unmatched[row];
  std::size_t next_in_order = 0;  // the record's row the next own line must be to keep the order
  bool in_order = true;
  while ((line = reader.Next())) {
    // A second marker is ours as well: moved up it would start the section early.
    if (line->text == kSectionMarker) continue;
    const auto found = unmatched.find(line->text);
    if (found == unmatched.end() || found->second == 0) {
      parts.foreign.push_back(WholeLine(content, *line));
      continue;
    }
    --found->second;
    in_order = in_order && (*record)[next_in_order] == line->text;
    ++next_in_order;
  }
  parts.missing_rows = record->size() - next_in_order;
  parts.rows_as_written = in_order && parts.missing_rows == 0;
  return parts;
}

std::string ComposeUserLines(std::string_view old_content, const SectionRows* record) {
  const HostsParts parts = SplitHosts(old_content, record);
  std::string out;
  out.reserve(old_content.size() + kLineEnd.size());
  AppendUserLines(out, parts);
  return out;
}

std::string ComposeHostsWithSection(std::string_view old_content, const DomainList& mappings,
                                    const RefusedHosts& refused, const SectionRows* record) {
  std::size_t section_size = kSectionMarker.size() + kLineEnd.size();
  for (const auto& mapping : mappings) {
    section_size += mapping.address.size() + 1 + mapping.host.size() + kLineEnd.size();
  }
  const HostsParts parts = SplitHosts(old_content, record);
  std::string out;
  out.reserve(old_content.size() + kLineEnd.size() * (parts.foreign.size() + 1) + section_size);
  AppendUserLines(out, parts);
  AppendLine(out, kSectionMarker);
  for (const auto& mapping : mappings) {
    if (!IsWritableMapping(mapping, refused)) continue;
    out.append(mapping.address);
    out.push_back(' ');
    AppendLine(out, mapping.host);
  }
  return out;
}

}  // namespace kalvane
