#include "platform/dpi-win32.h"

#include "platform/system_function-win32.h"

namespace kalvane {
namespace {

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi =
      LoadedSystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  const UINT dpi = get_dpi != nullptr ? get_dpi(window) : 0;
  return dpi != 0 ? dpi : SystemDpi();
}

RECT WindowRectForClient(const RECT& client, DWORD style, DWORD ex_style, UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust =
      LoadedSystemFunction<AdjustFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT rect = client;
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi)) {
    rect = client;
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return rect;
}

UniqueFont MessageFontForDpi(UINT dpi) {
  using SystemParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto for_dpi =
      LoadedSystemFunction<SystemParametersForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  bool ok = for_dpi != nullptr &&
            for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi) != FALSE;
  if (!ok) {
    ok = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE;
    if (ok)
      metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                              static_cast<int>(SystemDpi()));
  }
  if (!ok) return UniqueFont(static_cast<HFONT>(nullptr));
  return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace kalvane
