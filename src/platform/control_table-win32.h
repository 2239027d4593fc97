#pragma once

// A window's child controls as a table, one row a control, and the making of them from it. The
// main window and the status window describe their controls this way; each places them itself.

#include <windows.h>

#include <span>

namespace kalvane {

struct ControlRow {
  int id;                       // as WM_COMMAND and GetDlgItem see it
  const wchar_t* window_class;  // "BUTTON", "EDIT", WC_LISTVIEWW, ...
  const wchar_t* text;          // the caption; "" for none
  DWORD style;                  // besides WS_CHILD | WS_VISIBLE
  DWORD ex_style = 0;
};

// Creates the table's controls as children of `window`, in the table's order, which is also the
// focus order of those that take the focus (WS_TABSTOP). They start with no size, to be placed.
void CreateControlTable(HWND window, HINSTANCE instance, std::span<const ControlRow> controls);

// Gives each of the table's controls `font`; the caller keeps it while the controls use it.
void SetControlTableFont(HWND window, std::span<const ControlRow> controls, HFONT font);

}  // namespace kalvane
