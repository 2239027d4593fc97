#pragma once

// What one process may learn of another: whether it runs elevated, and the file it runs.

#include <windows.h>

#include <string>

#include "base/status.h"

namespace kalvane {

// True when `process` (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs with an elevated
// token; false when it does not or its token cannot be read.
bool IsElevatedProcess(HANDLE process);
// The same for the process `process_id`; false when it cannot be opened.
bool IsElevatedProcess(DWORD process_id);

// The full path of the image `process` (opened with PROCESS_QUERY_LIMITED_INFORMATION) runs.
Result<std::wstring> ProcessImagePath(HANDLE process);

}  // namespace kalvane
