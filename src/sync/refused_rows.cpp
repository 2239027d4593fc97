#include "sync/refused_rows.h"

#include <algorithm>
#include <span>

#include "base/text.h"

namespace kalvane {
namespace {

// Every name no row may map, and why. A fixed name refuses the names that start with it and a dot
// as well; the others come from RefusedHosts at run time.
struct RefusedName {
  RowRefusal why;
  std::string_view name;  // empty: the names come from RefusedHosts
};

constexpr RefusedName kRefusedNames[] = {
    // The service's own host: a row that sent it elsewhere would hand every later request, and
    // so every later answer, to whoever wrote it.
    {RowRefusal::kServiceHost, {}},
    // Web proxy auto-discovery: browsers and WinHTTP look for their proxy settings under this
    // name; a forged row sends every program's web traffic through the sender's proxy.
    {RowRefusal::kProxyDiscovery, "wpad"},
    // ISATAP: Windows looks for its IPv6 transition router under this name; a forged row routes
    // the machine's IPv6 traffic through the sender.
    {RowRefusal::kTunnelDiscovery, "isatap"},
    // The machine itself: programs reach services of this machine by this name, and would hand
    // what they send there (passwords included) to another.
    {RowRefusal::kLocalHost, "localhost"},
    // The machine's own computer name, which its programs and file sharing use the same way.
    {RowRefusal::kComputerName, {}},
    // Hosts the program itself depends on besides the service, such as the proxy in use.
    {RowRefusal::kOtherHost, {}},
};

bool IsControlByte(char ch) {
  const auto byte = static_cast<unsigned char>(ch);
  return (byte < 0x20 && ch != '\t') || byte == 0x7F;
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsControlByte);
}

std::string_view WithoutTrailingDot(std::string_view name) {
  if (name.ends_with('.')) name.remove_suffix(1);
  return name;
}

bool SameHostName(std::string_view a, std::string_view b) {
  b = WithoutTrailingDot(b);
  return !b.empty() && EqualsAsciiNoCase(WithoutTrailingDot(a), b);
}

// `name` is `first`, or starts with `first` and a dot ("wpad.corp.example").
bool IsOrStartsWithName(std::string_view name, std::string_view first) {
  name = WithoutTrailingDot(name);
  if (name.size() < first.size() || !EqualsAsciiNoCase(name.substr(0, first.size()), first)) {
    return false;
  }
  return name.size() == first.size() || name[first.size()] == '.';
}

bool NamesAny(std::string_view field, std::span<const std::string> names) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return SameHostName(field, name); });
}

bool Refuses(const RefusedName& entry, std::string_view field, const RefusedHosts& refused) {
  switch (entry.why) {
    case RowRefusal::kServiceHost:
      return SameHostName(field, refused.service_host);
    case RowRefusal::kComputerName:
      return NamesAny(field, refused.computer_names);
    case RowRefusal::kOtherHost:
      return NamesAny(field, refused.others);
    default:
      return IsOrStartsWithName(field, entry.name);
  }
}

// Calls `visit` with each field of the line, as the resolver parts them.
template <typename Visit>
void ForEachField(std::string_view line, Visit visit) {
  std::size_t pos = 0;
  while (pos < line.size()) {
    if (IsBlank(line[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    visit(line.substr(pos, end - pos));
    pos = end;
  }
}

RowRefusal RefusalOfLine(std::string_view line, const RefusedHosts& refused) {
  RowRefusal found = RowRefusal::kNone;
  ForEachField(line, [&](std::string_view field) {
    for (const RefusedName& entry : kRefusedNames) {
      if (found == RowRefusal::kNone && Refuses(entry, field, refused)) found = entry.why;
    }
  });
  return found;
}

}  // namespace

RowRefusal RefusalOf(const DomainMapping& mapping, const RefusedHosts& refused) {
  if (HasControlByte(mapping.host) || HasControlByte(mapping.address)) {
    return RowRefusal::kControlCharacter;
  }
  // The written line is the two fields parted by a space: it names a host when either does.
  const RowRefusal by_address = RefusalOfLine(mapping.address, refused);
  return by_address != RowRefusal::kNone ? by_address : RefusalOfLine(mapping.host, refused);
}

bool LineNamesHost(std::string_view line, std::string_view host) {
  bool named = false;
  ForEachField(line, [&](std::string_view field) { named = named || SameHostName(field, host); });
  return named;
}

}  // namespace kalvane
