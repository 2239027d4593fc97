#pragma once

#include <string_view>

#include "sync/domain_list.h"

namespace kalvane {

// The page the service answers with: the body of its HTTP answer, read as the service writes it.

// The service confirms the account with "<p>OK</p>" anywhere in the body.
bool AccountConfirmed(std::string_view body);

// The rows between "<p>BEGIN</p>" and "<p>END</p>": each "<p>" host "&nbsp;" address "</p>" and a
// two-byte line end. Reading stops at "<p>END</p>", at the end of the body, or at the first row
// that breaks this form (no "&nbsp;" or no "</p>" after it); the rows before it are kept. A body
// without "<p>BEGIN</p>" holds no rows.
DomainList ReadDomainList(std::string_view body);

}  // namespace kalvane
