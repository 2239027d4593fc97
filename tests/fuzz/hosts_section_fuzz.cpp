// The hosts composer on any hosts bytes and any mapping list, as an attacker on the path may send
// it. Checked on every input:
// - the user's lines above the first marker come out byte for byte, in order;
// - with mappings, the result holds exactly one marker line, and nothing after the user's lines
//   but that marker and the section;
// - no section line holds a control byte other than TAB, and none names the service host;
// - composing again over the result gives the same bytes;
// - cutting the section out of the result gives back the user's lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/hosts_section.h"

namespace {

constexpr std::string_view kServiceHost = "dns.kalvane.example";

void Check(bool property) {
  if (!property) __builtin_trap();
}

std::vector<std::string_view> LinesUpToMarker(std::string_view bytes, std::string_view& rest) {
  std::vector<std::string_view> lines;
  kalvane::HostsLineReader reader(bytes);
  rest = {};
  while (auto line = reader.Next()) {
    if (line->text == kalvane::kSectionMarker) {
      const auto after =
          static_cast<std::size_t>(line->text.data() - bytes.data()) + line->text.size();
      rest = bytes.substr(after);
      break;
    }
    lines.push_back(line->text);
  }
  return lines;
}

bool HasControlByte(std::string_view line) {
  for (const char ch : line) {
    const auto byte = static_cast<unsigned char>(ch);
    if ((byte < 0x20 && ch != '\t') || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kalvane::DomainList mappings(input.ConsumeIntegralInRange<std::size_t>(0, 8));
  for (auto& mapping : mappings) {
    mapping.host = input.ConsumeRandomLengthString(64);
    mapping.address = input.ConsumeRandomLengthString(32);
  }
  const std::string old_content = input.ConsumeRemainingBytesAsString();
  if (mappings.empty()) return 0;

  const std::string composed =
      kalvane::ComposeHostsWithSection(old_content, mappings, kServiceHost);

  std::string_view old_rest;
  std::string_view new_rest;
  const auto old_lines = LinesUpToMarker(old_content, old_rest);
  const auto new_lines = LinesUpToMarker(composed, new_rest);
  Check(old_lines == new_lines);
  Check(composed.starts_with(kalvane::ComposeUserLines(old_content)));

  // The marker's own CR LF, then one CR LF-ended line per writable mapping, and nothing else.
  Check(new_rest.starts_with("\r\n"));
  new_rest.remove_prefix(2);
  std::size_t section_lines = 0;
  kalvane::HostsLineReader section(new_rest);
  while (auto line = section.Next()) {
    ++section_lines;
    Check(line->end == "\r\n");
    Check(line->text != kalvane::kSectionMarker);
    Check(!HasControlByte(line->text));
    Check(!kalvane::LineNamesHost(line->text, kServiceHost));
  }
  Check(section_lines == kalvane::CountWritableMappings(mappings, kServiceHost));
  Check(new_rest.empty() || new_rest.ends_with("\r\n"));

  Check(kalvane::ComposeHostsWithSection(composed, mappings, kServiceHost) == composed);
  Check(kalvane::ComposeUserLines(composed) == kalvane::ComposeUserLines(old_content));
  Check(kalvane::HasSection(composed));
  return 0;
}
