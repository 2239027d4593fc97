#include "status/status_window-win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ansi_code_page-win32.h"
#include "platform/message_pump-win32.h"
#include "platform/wide_text-win32.h"
#include "status/status_controls-win32.h"

namespace kalvane {
namespace {

const SystemAnsiCodePage kCp1252(1252);

StatusModel TwoRows() {
  StatusModel model;
  model.outcome = u"已更新 2 条映射 (08:15)";
  model.next_due = u"下次更新：08:20:10";
  model.rows = MappingRows(
      std::make_shared<const DomainList>(
          DomainList{{"a.example", "10.0.0.9"}, {"c\xe9.example", "10.0.0.3"}}),
      std::make_shared<const std::vector<RowProof>>(std::vector<RowProof>{
          {ProofVerdict::kTakesEffect, {}}, {ProofVerdict::kResolvesElsewhere, {u"10.0.0.4"}}}),
      kCp1252);
  model.history = {{u"08:15:09", u"已更新 2 条映射", u"+1 -1 ~1"},
                   {u"08:10:09", u"无法连接服务器：连接被拒绝", u""},
                   {u"08:05:09", u"已更新 2 条映射", u"+2 -0 ~0"}};
  return model;
}

// A plain top-level window standing in for the main window.
struct Owner {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"Kalvane", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ~Owner() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
};

// The window opened over `owner`; nothing, and the test fails, when it could not be opened.
std::unique_ptr<StatusWindow> OpenOver(HWND owner) {
  Result<std::unique_ptr<StatusWindow>> opened =
      StatusWindow::Open(GetModuleHandleW(nullptr), owner, TwoRows());
  EXPECT_TRUE(opened.ok()) << opened.status().system_error();
  return opened.ok() ? std::move(opened).value() : nullptr;
}

std::wstring Text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring Cell(HWND list, int item, int column) {
  wchar_t text[256] = {};
  LVITEMW entry{};
  entry.iSubItem = column;
  entry.pszText = text;
  entry.cchTextMax = 256;
  SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&entry));
  return text;
}

// The list as lines, the column captions first, the cells parted by '|'.
std::vector<std::wstring> Lines(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const auto columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  std::vector<std::wstring> lines(1 + SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int column = 0; column < columns; ++column) {
    wchar_t text[64] = {};
    LVCOLUMNW caption{};
    caption.mask = LVCF_TEXT;
    caption.pszText = text;
    caption.cchTextMax = 64;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&caption));
    const std::wstring bar = column > 0 ? L"|" : L"";
    lines[0] += bar + text;
    for (int item = 1; item < static_cast<int>(lines.size()); ++item) {
      lines[item] += bar + Cell(list, item - 1, column);
    }
  }
  return lines;
}

std::u16string ClipboardText() {
  std::u16string text;
  if (!OpenClipboard(nullptr)) return u"(clipboard not open)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data)); chars != nullptr) {
      text = FromWide(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

TEST(StatusWindow, ShowsTheModelInItsControls) {
  const Owner owner;
  const auto window = OpenOver(owner.hwnd);
  ASSERT_NE(window, nullptr);
  HWND hwnd = window->hwnd();
  EXPECT_EQ(Text(hwnd), L"Kalvane 状态");
  EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner.hwnd);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_THICKFRAME);

  const std::pair<int, const wchar_t*> texts[] = {{kStatusOutcome, L"已更新 2 条映射 (08:15)"},
                                                  {kStatusNextDue, L"下次更新：08:20:10"},
                                                  {kStatusRowsLabel, L"当前映射"},
                                                  {kStatusHistoryLabel, L"历史"},
                                                  {kStatusCopy, L"复制(&C)"},
                                                  {kStatusClose, L"关闭"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(Text(GetDlgItem(hwnd, id)), text);

  HWND rows = GetDlgItem(hwnd, kStatusRows);
  HWND history = GetDlgItem(hwnd, kStatusHistory);
  EXPECT_EQ(Lines(rows),
            (std::vector<std::wstring>{L"名称|地址|生效", L"a.example|10.0.0.9|是",
                                       L"c\u00e9.example|10.0.0.3|否：解析为 10.0.0.4"}));
  EXPECT_EQ(Lines(history), (std::vector<std::wstring>{
                                L"时间|结果|变化",
                                L"08:15:09|已更新 2 条映射|+1 -1 ~1",
                                L"08:10:09|无法连接服务器：连接被拒绝|",
                                L"08:05:09|已更新 2 条映射|+2 -0 ~0",
                            }));

  // A newer outcome replaces what the window shows.
  StatusModel later = TwoRows();
  later.outcome = u"无法连接服务器：找不到服务器地址 (08:20)";
  later.next_due.clear();
  later.rows = {};
  later.history.insert(later.history.begin(),
                       {u"08:20:10", u"无法连接服务器：找不到服务器地址", u""});
  window->Show(later);
  EXPECT_EQ(Text(GetDlgItem(hwnd, kStatusOutcome)), L"无法连接服务器：找不到服务器地址 (08:20)");
  EXPECT_EQ(Text(GetDlgItem(hwnd, kStatusNextDue)), L"");
  EXPECT_EQ(SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(history, LVM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(Cell(history, 0, 1), L"无法连接服务器：找不到服务器地址");

  // A million rows: the list asks for the cells it shows, the last row's among them.
  DomainList many(1'000'000, {"h.example", "10.0.0.1"});
  many.back() = {"last.example", "10.0.0.2"};
  later.rows = MappingRows(std::make_shared<const DomainList>(std::move(many)), nullptr, kCp1252);
  window->Show(later);
  EXPECT_EQ(SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0), 1'000'000);
  EXPECT_EQ(Cell(rows, 999'999, 0), L"last.example");
  EXPECT_EQ(Cell(rows, 999'999, 1), L"10.0.0.2");
  EXPECT_EQ(Cell(rows, 1'000'000, 0), L"") << "past the end: no cell";
}

TEST(StatusWindow, CopiesTheOutcomeTheRowsAndTheHistory) {
  const Owner owner;
  const auto window = OpenOver(owner.hwnd);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(CopyToClipboard(owner.hwnd, u"something else").ok());
  SendMessageW(GetDlgItem(window->hwnd(), kStatusCopy), BM_CLICK, 0, 0);
  EXPECT_EQ(ClipboardText(), StatusReportText(TwoRows()));
}

// Delivers what is pending for the thread, as the message loop would.
void PumpPending(HWND main_window) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    DispatchWithDialogKeys(main_window, message);
}

void PressKey(HWND main_window, WPARAM key) {
  HWND focus = GetFocus();
  MSG down{focus, WM_KEYDOWN, key, 0x00010001, 0, {}};
  DispatchWithDialogKeys(main_window, down);
  PumpPending(main_window);
}

TEST(StatusWindow, TabMovesThroughTheControlsInOrderAndEscCloses) {
  const Owner owner;
  auto window = OpenOver(owner.hwnd);
  ASSERT_NE(window, nullptr);
  PumpPending(owner.hwnd);
  SetFocus(GetDlgItem(window->hwnd(), kStatusOutcome));
  std::vector<int> visited;
  for (int i = 0; i < 5; ++i) {
    PressKey(owner.hwnd, VK_TAB);
    visited.push_back(GetDlgCtrlID(GetFocus()));
  }
  EXPECT_EQ(visited, (std::vector<int>{kStatusRows, kStatusHistory, kStatusCopy, kStatusClose,
                                       kStatusOutcome}));

  // From the multi-line outcome box, which takes every key it is given, as from a list.
  for (const int id : {kStatusOutcome, kStatusRows}) {
    window = OpenOver(owner.hwnd);
    ASSERT_NE(window, nullptr);
    HWND hwnd = window->hwnd();
    PumpPending(owner.hwnd);
    SetFocus(GetDlgItem(hwnd, id));
    ASSERT_EQ(GetDlgCtrlID(GetFocus()), id);
    PressKey(owner.hwnd, VK_ESCAPE);
    EXPECT_FALSE(window->IsOpen()) << id;
    EXPECT_FALSE(IsWindow(hwnd)) << id;
  }
}

TEST(StatusWindow, OpensOverAnOwnerInTheTrayAndClosesWithItsButtonOrTheOwner) {
  const Owner owner;
  // The main window in the tray is minimised and hidden: the window opens all the same.
  ShowWindow(owner.hwnd, SW_SHOWMINIMIZED);
  ShowWindow(owner.hwnd, SW_HIDE);
  auto window = OpenOver(owner.hwnd);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window->hwnd()));
  // Hidden with its owner's minimising, it comes back when asked for again.
  ShowWindow(window->hwnd(), SW_HIDE);
  window->BringForward();
  EXPECT_TRUE(IsWindowVisible(window->hwnd()));
  SendMessageW(GetDlgItem(window->hwnd(), kStatusClose), BM_CLICK, 0, 0);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_TRUE(IsWindow(owner.hwnd));

  window = OpenOver(owner.hwnd);
  ASSERT_NE(window, nullptr);
  HWND hwnd = window->hwnd();
  DestroyWindow(owner.hwnd);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
}  // namespace kalvane
