#pragma once

#include <windows.h>
#include <winsock2.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {

// Tells a window when a network interface is added or changes (connects, gets an address), by
// posting `message` to it; an interface that goes away posts nothing. A change that takes a
// network down posts as well: the notice cannot tell, and a cycle that then gets no answer only
// starts the quick retries, which see the network come back. The system calls back on a thread of
// its own; the only thing done there is the post, so the window thread handles the notice in its
// usual order. Ending the object cancels the notifications and waits for a callback that is under
// way.
//
// It uses NotifyIpInterfaceChange (Windows Vista and later), looked up at run time: where it is
// missing there are no notices (Active() false) and the program relies on its retries.
class NetworkChangeNotice {
 public:
  NetworkChangeNotice(HWND window, UINT message);
  ~NetworkChangeNotice();
  NetworkChangeNotice(const NetworkChangeNotice&) = delete;
  NetworkChangeNotice& operator=(const NetworkChangeNotice&) = delete;

  // Notices are registered.
  bool Active() const { return active_; }

 private:
  // Where the system's thread posts to; its address is the callback's context.
  struct PostTarget {
    HWND window;
    UINT message;
  };

  PostTarget target_;
  UniqueModule iphlpapi_;
  HANDLE registration_ = nullptr;
  bool active_ = false;
};

}  // namespace kalvane
