#include "platform/control_table-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>

namespace kalvane {
namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

TEST(ControlTable, MakesEachRowAVisibleChildInTableOrderAndGivesThemAllTheFont) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  constexpr std::array<ControlSpec, 3> kTable{{
      {7, L"Edit", L"", ES_PASSWORD | WS_TABSTOP, WS_EX_CLIENTEDGE},
      {5, L"Static", L"标签", SS_LEFT},
      {6, L"Button", L"确定(&O)", BS_AUTOCHECKBOX | WS_TABSTOP},
  }};
  CreateControlTable(parent, GetModuleHandleW(nullptr), kTable);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SetControlTableFont(parent, kTable, font);

  HWND child = GetWindow(parent, GW_CHILD);
  for (const ControlSpec& row : kTable) {
    ASSERT_NE(child, nullptr) << row.id;
    EXPECT_EQ(GetDlgCtrlID(child), row.id) << "the table's order is the windows' order";
    EXPECT_EQ(ClassOf(child), row.window_class);
    wchar_t text[64] = {};
    GetWindowTextW(child, text, 64);
    EXPECT_STREQ(text, row.text);
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | row.style), WS_CHILD | WS_VISIBLE | row.style)
        << row.id;
    EXPECT_EQ(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, row.ex_style) << row.id;
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), font) << row.id;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "one control a row";
  DestroyWindow(parent);
}

}  // namespace
}  // namespace kalvane
