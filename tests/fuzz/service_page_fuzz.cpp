// The service page reader on arbitrary bytes: it must end, and every row must come from the body.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sync/service_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  (void)kalvane::AccountConfirmed(body);
  const kalvane::DomainList list = kalvane::ReadDomainList(body);
  std::size_t row_bytes = 0;
  for (const kalvane::DomainMapping& mapping : list) {
    row_bytes +=
        mapping.host.size() + mapping.address.size() + 15;  // "<p>", "&nbsp;", "</p>", CR LF
  }
  if (row_bytes > body.size() + 15) __builtin_trap();
  return 0;
}
