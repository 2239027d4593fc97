#pragma once

#include <windows.h>

#include "base/file_path.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

struct ChangeNotificationTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindCloseChangeNotification(h); }
};
using UniqueChangeNotification = UniqueHandle<ChangeNotificationTraits>;

// A watch on one folder (not its subfolders) for files written, created, deleted, renamed or
// resized in it. Its handle is signalled when such a change happens; the owner waits on it in its
// message loop (MsgWaitForMultipleObjectsEx) and, once signalled, calls Rearm before it looks at
// the folder, so that a change made while it looks signals the handle again. Changes that come
// while the handle is signalled are not lost: they are one signal.
class FolderWatch {
 public:
  explicit FolderWatch(const FilePath& folder);
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // False when the folder could not be watched (missing, no rights), or a re-arm failed; the
  // handle is then nullptr, which a wait must leave out.
  bool Watching() const { return static_cast<bool>(handle_); }
  HANDLE handle() const { return Watching() ? handle_.get() : nullptr; }

  // Resets the handle to wait for the next change. A failure ends the watch.
  void Rearm();
  // Ends the watch (before the exit clean-up, so that its own writes are not seen).
  void Stop() { handle_.reset(); }

 private:
  UniqueChangeNotification handle_;
};

}  // namespace kalvane
