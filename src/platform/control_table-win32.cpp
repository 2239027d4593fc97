#include "platform/control_table-win32.h"

namespace kalvane {

void CreateControlTable(HWND window, HINSTANCE instance, std::span<const ControlRow> controls) {
  for (const ControlRow& control : controls) {
    CreateWindowExW(control.ex_style, control.window_class, control.text,
                    WS_CHILD | WS_VISIBLE | control.style, 0, 0, 0, 0, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
  }
}

void SetControlTableFont(HWND window, std::span<const ControlRow> controls, HFONT font) {
  for (const ControlRow& control : controls) {
    SendMessageW(GetDlgItem(window, control.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

}  // namespace kalvane
