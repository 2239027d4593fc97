#pragma once

// The status window, "Kalvane 状态": the last outcome and when the next cycle is due, the rows
// held in the hosts file and the history (status_journal.h), with "复制(&C)" and "关闭". It is a
// modeless dialog box owned by the main window, so that the message loop gives it the dialog
// keys (Tab, Esc) as it does every dialog box of the thread.

#include <windows.h>

#include <memory>

#include "base/status.h"
#include "platform/unique_handle-win32.h"
#include "status/status_journal.h"

namespace kalvane {

inline constexpr wchar_t kStatusWindowTitle[] = L"Kalvane 状态";

class StatusWindow {
 public:
  // Opens the window over `owner`, shows `model` and brings it to the front; the failure when
  // the window could not be made. Closing it (关闭, Esc, the close box) destroys the window and
  // leaves this object, which then reports !IsOpen(); destroying the owner destroys it too.
  static Result<std::unique_ptr<StatusWindow>> Open(HINSTANCE instance, HWND owner,
                                                    const StatusModel& model);
  ~StatusWindow();
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  // Shows a newer model while the window is open; the copy takes the model last shown.
  void Show(const StatusModel& model);
  // Restores the window if need be and brings it to the front.
  void BringForward();

  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND hwnd() const { return hwnd_; }

 private:
  StatusWindow() = default;

  INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  void OnInitDialog(HWND hwnd);
  void PlaceOver(HWND owner);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnCommand(int control, int notification);
  // A list asks for a cell it shows, or where to jump when the user types.
  INT_PTR OnNotify(const NMHDR& header);

  HWND hwnd_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueFont font_;
  StatusModel model_;
};

}  // namespace kalvane
