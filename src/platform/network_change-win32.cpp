#include "platform/network_change-win32.h"

// In this order: the interface notifications need the IP definitions, and the MinGW headers
// declare them only when iphlpapi.h comes first.
#include <ws2ipdef.h>
// clang-format off
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include "platform/system_function-win32.h"

namespace kalvane {
namespace {

using NotifyIpInterfaceChangeFunction = DWORD(WINAPI*)(ADDRESS_FAMILY, PIPINTERFACE_CHANGE_CALLBACK,
                                                       PVOID, BOOLEAN, HANDLE*);
using CancelMibChangeNotify2Function = DWORD(WINAPI*)(HANDLE);

// On a thread of the system's: only the post.
template <typename PostTarget>
void WINAPI OnInterfaceChange(PVOID context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE type) {
  if (type != MibAddInstance && type != MibParameterNotification) return;
  const auto* target = static_cast<const PostTarget*>(context);
  PostMessageW(target->window, target->message, static_cast<WPARAM>(type), 0);
}

}  // namespace

NetworkChangeNotice::NetworkChangeNotice(HWND window, UINT message)
    : target_{window, message},
      iphlpapi_(LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
  const auto notify =
      FunctionIn<NotifyIpInterfaceChangeFunction>(iphlpapi_.get(), "NotifyIpInterfaceChange");
  if (notify == nullptr || FunctionIn<CancelMibChangeNotify2Function>(
                               iphlpapi_.get(), "CancelMibChangeNotify2") == nullptr) {
    return;
  }
  active_ =
      notify(AF_UNSPEC, OnInterfaceChange<PostTarget>, &target_, FALSE, &registration_) == NO_ERROR;
}

NetworkChangeNotice::~NetworkChangeNotice() {
  // Wine 8 accepts the registration but gives no handle (and never calls back).
  if (!active_ || registration_ == nullptr) return;
  // Waits for a callback under way, so that none runs on a notice that is gone.
  FunctionIn<CancelMibChangeNotify2Function>(iphlpapi_.get(),
                                             "CancelMibChangeNotify2")(registration_);
}

}  // namespace kalvane
