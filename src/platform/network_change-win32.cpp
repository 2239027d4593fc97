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
using NotifyUnicastIpAddressChangeFunction = DWORD(WINAPI*)(ADDRESS_FAMILY,
                                                            PUNICAST_IPADDRESS_CHANGE_CALLBACK,
                                                            PVOID, BOOLEAN, HANDLE*);
using CancelMibChangeNotify2Function = DWORD(WINAPI*)(HANDLE);
using GetIpInterfaceEntryFunction = DWORD(WINAPI*)(PMIB_IPINTERFACE_ROW);
using GetUnicastIpAddressEntryFunction = DWORD(WINAPI*)(PMIB_UNICASTIPADDRESS_ROW);

template <typename Function>
Function As(FARPROC function) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(function));
}

template <typename PostTarget>
void Post(const PostTarget* target, MIB_NOTIFICATION_TYPE type) {
  PostMessageW(target->window, target->message, static_cast<WPARAM>(type), 0);
}

// On a thread of the system's. The row names the interface only: whether it is connected now is
// read afresh; one that cannot be read (or a system without GetIpInterfaceEntry, as Wine 8)
// counts as up: one cycle too many is harmless.
template <typename PostTarget>
void WINAPI OnInterfaceChange(PVOID context, PMIB_IPINTERFACE_ROW row, MIB_NOTIFICATION_TYPE type) {
  const auto* target = static_cast<const PostTarget*>(context);
  if (type == MibAddInstance) return Post(target, type);
  if (type != MibParameterNotification || row == nullptr) return;
  MIB_IPINTERFACE_ROW now{};
  now.Family = row->Family;
  now.InterfaceLuid = row->InterfaceLuid;
  now.InterfaceIndex = row->InterfaceIndex;
  const auto get = As<GetIpInterfaceEntryFunction>(target->get_interface_entry);
  if (get == nullptr || get(&now) != NO_ERROR || now.Connected) Post(target, type);
}

// An address that is added, or that becomes preferred once its duplicate check is done.
template <typename PostTarget>
void WINAPI OnAddressChange(PVOID context, PMIB_UNICASTIPADDRESS_ROW row,
                            MIB_NOTIFICATION_TYPE type) {
  const auto* target = static_cast<const PostTarget*>(context);
  if (type == MibAddInstance) return Post(target, type);
  if (type != MibParameterNotification || row == nullptr) return;
  MIB_UNICASTIPADDRESS_ROW now{};
  now.Address = row->Address;
  now.InterfaceLuid = row->InterfaceLuid;
  now.InterfaceIndex = row->InterfaceIndex;
  const auto get = As<GetUnicastIpAddressEntryFunction>(target->get_address_entry);
  if (get == nullptr || get(&now) != NO_ERROR || now.DadState == IpDadStatePreferred) {
    Post(target, type);
  }
}

}  // namespace

NetworkChangeNotice::NetworkChangeNotice(HWND window, UINT message)
    : target_{window, message, nullptr, nullptr},
      iphlpapi_(LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
  HMODULE module = iphlpapi_.get();
  const auto notify_interface =
      FunctionIn<NotifyIpInterfaceChangeFunction>(module, "NotifyIpInterfaceChange");
  const auto notify_address =
      FunctionIn<NotifyUnicastIpAddressChangeFunction>(module, "NotifyUnicastIpAddressChange");
  target_.get_interface_entry = module ? GetProcAddress(module, "GetIpInterfaceEntry") : nullptr;
  target_.get_address_entry = module ? GetProcAddress(module, "GetUnicastIpAddressEntry") : nullptr;
  if (notify_interface == nullptr ||
      FunctionIn<CancelMibChangeNotify2Function>(module, "CancelMibChangeNotify2") == nullptr) {
    return;
  }
  active_ = notify_interface(AF_UNSPEC, OnInterfaceChange<PostTarget>, &target_, FALSE,
                             &interface_registration_) == NO_ERROR;
  // The address notice adds to the interface one; without it an interface that connects still
  // tells.
  if (active_ && notify_address != nullptr) {
    (void)notify_address(AF_UNSPEC, OnAddressChange<PostTarget>, &target_, FALSE,
                         &address_registration_);
  }
}

NetworkChangeNotice::~NetworkChangeNotice() {
  if (!active_) return;
  const auto cancel =
      FunctionIn<CancelMibChangeNotify2Function>(iphlpapi_.get(), "CancelMibChangeNotify2");
  // Wine 8 accepts the registrations but gives no handles (and never calls back). Cancelling
  // waits for a callback under way, so that none runs on a notice that is gone.
  if (address_registration_ != nullptr) cancel(address_registration_);
  if (interface_registration_ != nullptr) cancel(interface_registration_);
}

}  // namespace kalvane
