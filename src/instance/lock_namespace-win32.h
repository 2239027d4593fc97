#pragma once

// The program's private object namespace, where the single-instance lock's objects live: only an
// elevated administrator can make it or open it.

#include <windows.h>

#include "base/status.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

// A private namespace's handle, closed with ClosePrivateNamespace.
struct PrivateNamespaceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h);
};
using UniquePrivateNamespace = UniqueHandle<PrivateNamespaceTraits>;

// True when the system has private namespaces (Wine 8 has not).
bool HasPrivateNamespaces();

// The namespace "Kalvane", made by the first start and opened by the later ones. Its boundary
// holds the Administrators SID and, where the system can add one, a high mandatory integrity
// label; its security admits only Administrators and SYSTEM. A process without an enabled
// Administrators group, or below high integrity, can neither make it first nor open it: that
// fails, as it does on a system without private namespaces.
Result<UniquePrivateNamespace> OpenProgramNamespace();

}  // namespace kalvane
