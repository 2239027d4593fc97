#pragma once

#include <windows.h>
#include <winsock2.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {

// Tells a window when a change can have brought the network back, by posting `message` to it: a
// network interface is added or connects, or an address is added or becomes usable (its duplicate
// address detection done). A change that takes a network down (an interface that disconnects or
// goes, an address that goes) posts nothing: no cycle can reach the service through it. The
// system calls back on a thread of its own; only the look at the changed interface or address and
// the post are done there, so the window thread handles the notice in its usual order. Ending the
// object cancels the notifications and waits for a callback that is under way.
//
// It uses NotifyIpInterfaceChange and NotifyUnicastIpAddressChange (Windows Vista and later),
// looked up at run time: without the first there are no notices (Active() false) and the program
// relies on its retries.
class NetworkChangeNotice {
 public:
  NetworkChangeNotice(HWND window, UINT message);
  ~NetworkChangeNotice();
  NetworkChangeNotice(const NetworkChangeNotice&) = delete;
  NetworkChangeNotice& operator=(const NetworkChangeNotice&) = delete;

  // Notices are registered.
  bool Active() const { return active_; }

 private:
  // What the system's thread needs; its address is the callbacks' context.
  struct PostTarget {
    HWND window;
    UINT message;
    FARPROC get_interface_entry;  // GetIpInterfaceEntry; nullptr where missing (Wine 8)
    FARPROC get_address_entry;    // GetUnicastIpAddressEntry; nullptr where missing
  };

  PostTarget target_;
  UniqueModule iphlpapi_;
  HANDLE interface_registration_ = nullptr;
  HANDLE address_registration_ = nullptr;
  bool active_ = false;
};

}  // namespace kalvane
