#pragma once

// The status window's controls: created in focus order, placed for the window's size and DPI,
// filled from the journal's snapshot; and the clipboard the window copies its text to.

#include <windows.h>

#include <string_view>

#include "base/status.h"
#include "platform/unique_handle-win32.h"
#include "status/status_journal.h"

namespace kalvane {

// The controls in focus order; labels and the next due time take no focus.
enum StatusControlId : int {
  kStatusOutcome = 2001,       // read-only edit: the last outcome, never cut short
  kStatusNextDue = 2002,       // when the next cycle is due
  kStatusRowsLabel = 2003,     // "当前映射"
  kStatusRows = 2004,          // list view: "名称", "地址", "生效"
  kStatusHistoryLabel = 2005,  // "历史"
  kStatusHistory = 2006,       // list view: "时间", "结果", "变化", newest first
  kStatusCopy = 2007,          // "复制(&C)"
  kStatusClose = IDCANCEL,     // "关闭"; Esc and the close box send the same command
};

// Creates the controls as children of `window`, in focus order. They are placed by
// LayOutStatusControls.
void CreateStatusControls(HWND window, HINSTANCE instance);

// Gives every control `font`; the caller keeps it while the controls use it.
void SetStatusFont(HWND window, HFONT font);

// Places the controls in the window's client area for `dpi`, with `font` the controls' font.
void LayOutStatusControls(HWND window, UINT dpi, HFONT font);

// The window's outer size when it opens, and the least it may be sized to, at `dpi`.
SIZE StatusWindowSize(UINT dpi);
SIZE StatusWindowMinimum(UINT dpi);

// Shows the model: the outcome, the next due time and how many rows each list has. The lists ask
// for the cells they show through LVN_GETDISPINFOW, which AnswerStatusListCell answers from the
// same model, kept by the caller for as long as it is shown.
void FillStatusControls(HWND window, const StatusModel& model);

// Fills in the cell that one of the lists asks for; false when the request is for no cell of the
// model (no text asked for, an item or a column it does not have, another control).
// `request` is the header of the list's LVN_GETDISPINFOW.
bool AnswerStatusListCell(const StatusModel& model, const NMHDR& request);

// Puts `text` on the clipboard as CF_UNICODETEXT, with `owner` as the clipboard's owner. Fails
// when the clipboard could not be opened (another program holds it) or took nothing.
Status CopyToClipboard(HWND owner, std::u16string_view text);

}  // namespace kalvane
