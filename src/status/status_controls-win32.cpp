#include "status/status_controls-win32.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>

#include "platform/control_table-win32.h"
#include "platform/last_error-win32.h"
#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

// Both lists hold no items of their own (LVS_OWNERDATA): they ask the window for the cells they
// show (AnswerStatusListCell), so that a list of a million rows opens, refreshes and closes as fast
// as one of ten.
constexpr DWORD kListStyle =
    LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_TABSTOP;

constexpr std::array<ControlRow, 8> kStatusControls{{
    {kStatusOutcome, L"EDIT", L"",
     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {kStatusNextDue, L"STATIC", L"", SS_LEFT | SS_NOPREFIX},
    {kStatusRowsLabel, L"STATIC", L"当前映射", SS_LEFT | SS_NOPREFIX},
    {kStatusRows, WC_LISTVIEWW, L"当前映射", kListStyle, WS_EX_CLIENTEDGE},
    {kStatusHistoryLabel, L"STATIC", L"历史", SS_LEFT | SS_NOPREFIX},
    {kStatusHistory, WC_LISTVIEWW, L"历史", kListStyle, WS_EX_CLIENTEDGE},
    {kStatusCopy, L"BUTTON", L"复制(&C)", BS_PUSHBUTTON | WS_TABSTOP},
    {kStatusClose, L"BUTTON", L"关闭", BS_PUSHBUTTON | WS_TABSTOP},
}};

// Column captions, their shares of a list's width in percent, and the field of a row they show.
template <typename Row>
struct Column {
  const wchar_t* caption;
  int percent;
  std::u16string Row::*field;
};
constexpr std::array<Column<MappingRow>, 3> kRowColumns{{
    {L"名称", 42, &MappingRow::host},
    {L"地址", 24, &MappingRow::address},
    {L"生效", 34, &MappingRow::effect},
}};
constexpr std::array<Column<HistoryRow>, 3> kHistoryColumns{{
    {L"时间", 26, &HistoryRow::time},
    {L"结果", 54, &HistoryRow::result},
    {L"变化", 20, &HistoryRow::change},
}};

template <typename Row, std::size_t N>
void AddColumns(HWND list, const std::array<Column<Row>, N>& columns) {
  for (std::size_t i = 0; i < N; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].caption);
    column.cx = 100;
    column.iSubItem = static_cast<int>(i);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

template <typename Row, std::size_t N>
void SizeColumns(HWND list, const std::array<Column<Row>, N>& columns, int width) {
  for (std::size_t i = 0; i < N; ++i) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width * columns[i].percent / 100, 0));
  }
}

// The list shows `count` rows from now on, keeping where it was scrolled to; what it shows is asked
// for again.
void SetRowCount(HWND list, std::size_t count) {
  const auto rows = static_cast<WPARAM>(std::min<std::size_t>(count, INT_MAX));
  SendMessageW(list, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
  InvalidateRect(list, nullptr, TRUE);
}

// Puts `text` into the list's buffer, cut to its size.
void CopyCell(const LVITEMW& item, std::u16string_view text) {
  const auto room = static_cast<std::size_t>(item.cchTextMax - 1);
  const std::size_t length = std::min(text.size(), room);
  std::copy_n(text.begin(), length, item.pszText);
  item.pszText[length] = L'\0';
}

// The cell of `columns`'s table that `item` asks for, from `rows` (anything indexable).
template <typename Rows, typename Row, std::size_t N>
bool AnswerCell(const Rows& rows, const std::array<Column<Row>, N>& columns, const LVITEMW& item) {
  const auto index = static_cast<std::size_t>(item.iItem);
  const auto column = static_cast<std::size_t>(item.iSubItem);
  if (item.iItem < 0 || index >= rows.size() || item.iSubItem < 0 || column >= N) return false;
  const Row row = rows[index];
  CopyCell(item, row.*columns[column].field);
  return true;
}

int Scale(int pixels_at_96, UINT dpi) {
  return MulDiv(pixels_at_96, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

int LineHeight(HWND window, HFONT font, UINT dpi) {
  int height = 0;
  if (HDC dc = GetDC(window); dc != nullptr) {
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc, &metrics)) height = metrics.tmHeight;
    if (old != nullptr) SelectObject(dc, old);
    ReleaseDC(window, dc);
  }
  return height > 0 ? height : Scale(16, dpi);
}

void Place(HWND window, int id, int left, int top, int width, int height) {
  SetWindowPos(GetDlgItem(window, id), nullptr, left, top, width > 0 ? width : 0,
               height > 0 ? height : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { GlobalFree(h); }
};

class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

}  // namespace

void CreateStatusControls(HWND window, HINSTANCE instance) {
  CreateControlTable(window, instance, kStatusControls);
  AddColumns(GetDlgItem(window, kStatusRows), kRowColumns);
  AddColumns(GetDlgItem(window, kStatusHistory), kHistoryColumns);
}

void SetStatusFont(HWND window, HFONT font) { SetControlTableFont(window, kStatusControls, font); }

void LayOutStatusControls(HWND window, UINT dpi, HFONT font) {
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right;
  const int height = client.bottom;
  const int margin = Scale(11, dpi);
  const int gap = Scale(7, dpi);
  const int line = LineHeight(window, font, dpi);
  const int button_width = Scale(88, dpi);
  const int button_height = line + Scale(10, dpi);
  const int next_width = Scale(150, dpi);

  // The outcome and, to its right, the next due time.
  const int outcome_height = 3 * line + Scale(6, dpi);
  Place(window, kStatusOutcome, margin, margin, width - 2 * margin - gap - next_width,
        outcome_height);
  Place(window, kStatusNextDue, width - margin - next_width, margin + Scale(3, dpi), next_width,
        2 * line);

  // The two lists share the height between the outcome and the buttons, two parts to three.
  const int buttons_top = height - margin - button_height;
  const int label_height = line + Scale(3, dpi);
  int top = margin + outcome_height + gap;
  const int lists = buttons_top - gap - top - 2 * label_height - gap;
  const int rows_height = lists * 2 / 5;
  const int list_width = width - 2 * margin;
  Place(window, kStatusRowsLabel, margin, top, list_width, line);
  top += label_height;
  Place(window, kStatusRows, margin, top, list_width, rows_height);
  top += rows_height + gap;
  Place(window, kStatusHistoryLabel, margin, top, list_width, line);
  top += label_height;
  Place(window, kStatusHistory, margin, top, list_width, lists - rows_height);

  Place(window, kStatusCopy, width - margin - 2 * button_width - gap, buttons_top, button_width,
        button_height);
  Place(window, kStatusClose, width - margin - button_width, buttons_top, button_width,
        button_height);

  // The columns share the list's width less a vertical scroll bar's.
  const int columns_width = list_width - Scale(24, dpi);
  SizeColumns(GetDlgItem(window, kStatusRows), kRowColumns, columns_width);
  SizeColumns(GetDlgItem(window, kStatusHistory), kHistoryColumns, columns_width);
}

SIZE StatusWindowSize(UINT dpi) { return {Scale(560, dpi), Scale(460, dpi)}; }

SIZE StatusWindowMinimum(UINT dpi) { return {Scale(380, dpi), Scale(340, dpi)}; }

void FillStatusControls(HWND window, const StatusModel& model) {
  SetDlgItemTextW(window, kStatusOutcome, ToWide(model.outcome).c_str());
  SetDlgItemTextW(window, kStatusNextDue, ToWide(model.next_due).c_str());
  SetRowCount(GetDlgItem(window, kStatusRows), model.rows.size());
  SetRowCount(GetDlgItem(window, kStatusHistory), model.history.size());
}

bool AnswerStatusListCell(const StatusModel& model, const NMHDR& request) {
  const LVITEMW& item = reinterpret_cast<const NMLVDISPINFOW&>(request).item;
  if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) {
    return false;
  }
  switch (request.idFrom) {
    case kStatusRows:
      return AnswerCell(model.rows, kRowColumns, item);
    case kStatusHistory:
      return AnswerCell(model.history, kHistoryColumns, item);
    default:
      return false;
  }
}

Status CopyToClipboard(HWND owner, std::u16string_view text) {
  UniqueHandle<GlobalMemoryTraits> memory(
      GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory) return LastErrorStatus(StatusKind::kOutOfMemory);
  auto* data = static_cast<wchar_t*>(GlobalLock(memory.get()));
  if (data == nullptr) return LastErrorStatus();
  std::memcpy(data, text.data(), text.size() * sizeof(wchar_t));
  data[text.size()] = L'\0';
  GlobalUnlock(memory.get());

  const OpenClipboardScope clipboard(owner);
  if (!clipboard.open() || !EmptyClipboard()) return LastErrorStatus();
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return LastErrorStatus();
  memory.release();  // the clipboard owns it now
  return OkStatus();
}

}  // namespace kalvane
