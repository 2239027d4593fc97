#pragma once

// What one process may learn of another: whether it runs elevated, and the file it runs.

#include <windows.h>

#include <string>

#include "base/status.h"

namespace kalvane {

// Succeeds when `process` (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs with an elevated
// token; kRejected when it does not, and the failure of the query when its token cannot be read.
Status CheckElevated(HANDLE process);
// The same for the process `process_id`, and the failure of the open when it cannot be opened.
Status CheckElevated(DWORD process_id);

// The full path of the image `process` (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs.
Result<std::wstring> ProcessImagePath(HANDLE process);

}  // namespace kalvane
