#include "status/status_window-win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <utility>

#include "platform/dpi-win32.h"
#include "platform/last_error-win32.h"
#include "platform/system_function-win32.h"
#include "platform/window_procedure-win32.h"
#include "status/status_controls-win32.h"

namespace kalvane {
namespace {

constexpr DWORD kStatusWindowStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

// A dialog template with no controls, no menu, the standard dialog class and no title: the
// controls and the title come after creation, so that they carry the window's own font and DPI.
static_assert(sizeof(DLGTEMPLATE) == 18);
struct alignas(DWORD) EmptyDialogTemplate {
  DLGTEMPLATE header{kStatusWindowStyle, 0, 0, 0, 0, 0, 0};
  WORD menu = 0;
  WORD window_class = 0;
  WORD title = 0;
};
static_assert(offsetof(EmptyDialogTemplate, menu) == sizeof(DLGTEMPLATE));

// Under PerMonitorV2 the system rescales a dialog box and its fonts by itself when the DPI
// changes; this window lays itself out instead, as the main window does. The call exists from
// Windows 10 1703 on; before that nothing is rescaled anyway.
void KeepDpiChangesToTheWindow(HWND window) {
  using SetBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  static const auto set_behavior =
      LoadedSystemFunction<SetBehaviorFn>(L"user32.dll", "SetDialogDpiChangeBehavior");
  if (set_behavior != nullptr) set_behavior(window, kDisableAll, kDisableAll);
}

}  // namespace

Result<std::unique_ptr<StatusWindow>> StatusWindow::Open(HINSTANCE instance, HWND owner,
                                                         const StatusModel& model) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);

  std::unique_ptr<StatusWindow> window(new StatusWindow());
  const EmptyDialogTemplate dialog;
  if (CreateDialogIndirectParamW(instance, &dialog.header, owner,
                                 &MemberDialogProc<StatusWindow, &StatusWindow::HandleMessage>,
                                 reinterpret_cast<LPARAM>(window.get())) == nullptr) {
    return LastErrorStatus();
  }
  window->PlaceOver(owner);
  window->Show(model);
  window->BringForward();
  return window;
}

StatusWindow::~StatusWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void StatusWindow::Show(const StatusModel& model) {
  model_ = model;
  if (hwnd_ != nullptr) FillStatusControls(hwnd_, model_);
}

void StatusWindow::BringForward() {
  if (hwnd_ == nullptr) return;
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
}

INT_PTR StatusWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(hwnd);
      return TRUE;  // the focus goes to the first control in the focus order
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      return FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) LayOutStatusControls(hwnd_, dpi_, font_.get());
      return TRUE;
    case WM_GETMINMAXINFO: {
      const SIZE least = StatusWindowMinimum(dpi_);
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize = {least.cx, least.cy};
      return TRUE;
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return TRUE;
    default:
      return FALSE;
  }
}

void StatusWindow::OnInitDialog(HWND hwnd) {
  hwnd_ = hwnd;
  KeepDpiChangesToTheWindow(hwnd_);
  SetWindowTextW(hwnd_, kStatusWindowTitle);
  CreateStatusControls(hwnd_,
                       reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)));
  dpi_ = WindowDpi(hwnd_);
  font_ = MessageFontForDpi(dpi_);
  SetStatusFont(hwnd_, font_.get());
}

void StatusWindow::PlaceOver(HWND owner) {
  // Centred in the work area of the owner's monitor (the owner may be hidden in the tray), at
  // that monitor's DPI.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
  }
  const RECT& area = monitor.rcWork;
  SetWindowPos(hwnd_, nullptr, area.left, area.top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  const UINT dpi = WindowDpi(hwnd_);
  if (dpi != dpi_) {
    dpi_ = dpi;
    UniqueFont font = MessageFontForDpi(dpi_);
    SetStatusFont(hwnd_, font.get());
    font_ = std::move(font);  // the old font goes once no control holds it
  }
  const SIZE size = StatusWindowSize(dpi_);
  const LONG width = std::min<LONG>(size.cx, area.right - area.left);
  const LONG height = std::min<LONG>(size.cy, area.bottom - area.top);
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  LayOutStatusControls(hwnd_, dpi_, font_.get());
}

void StatusWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  UniqueFont font = MessageFontForDpi(dpi_);
  SetStatusFont(hwnd_, font.get());
  font_ = std::move(font);
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOutStatusControls(hwnd_, dpi_, font_.get());
}

INT_PTR StatusWindow::OnNotify(const NMHDR& header) {
  if (header.code == LVN_GETDISPINFOW) {
    AnswerStatusListCell(model_, header);
    return TRUE;
  }
  if (header.code == LVN_ODFINDITEMW) {
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, -1);  // typing selects nothing: the rows are unsorted
    return TRUE;
  }
  return FALSE;
}

void StatusWindow::OnCommand(int control, int notification) {
  if (control == kStatusClose) {
    // Esc, the close box and "关闭" alike; the object stays for the owner to drop or reopen.
    DestroyWindow(hwnd_);
  } else if (control == kStatusCopy && notification == BN_CLICKED) {
    if (!CopyToClipboard(hwnd_, StatusReportText(model_)).ok()) MessageBeep(MB_ICONWARNING);
  }
}

}  // namespace kalvane
