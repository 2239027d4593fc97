#include "platform/folder_watch-win32.h"

namespace kalvane {

namespace {

// A hosts editor may write in place (last write, size) or save a new file and rename it over the
// old one (file name): each of those is a change.
constexpr DWORD kChanges =
    FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE;

}  // namespace

FolderWatch::FolderWatch(const FilePath& folder)
    : handle_(folder.empty() ? INVALID_HANDLE_VALUE
                             : FindFirstChangeNotificationW(folder.c_str(), FALSE, kChanges)) {}

void FolderWatch::Rearm() {
  if (handle_ && !FindNextChangeNotification(handle_.get())) handle_.reset();
}

}  // namespace kalvane
