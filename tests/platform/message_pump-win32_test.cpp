#include "platform/message_pump-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

constexpr wchar_t kBoxCaption[] = L"Kalvane pump test";
constexpr UINT_PTR kGiveUp = 99;  // what the box returns when the key did nothing

// What the timer inside the message box's modal loop does: press `key` in the box, then let a
// nested wait pump the thread's messages, as an update cycle started by the refresh timer does.
struct NestedWait {
  WindowsEventPump* pump = nullptr;
  WPARAM key = 0;
  int ticks = 0;
};

// The timer is the main window's; the window carries the nested wait in its user data.
void CALLBACK OnTick(HWND main, UINT, UINT_PTR, DWORD) {
  auto* nested = reinterpret_cast<NestedWait*>(GetWindowLongPtrW(main, GWLP_USERDATA));
  HWND box = FindWindowW(L"#32770", kBoxCaption);
  if (box == nullptr) return;
  if (++nested->ticks > 20) {
    EndDialog(box, kGiveUp);  // the key was lost: end the test's box all the same
    return;
  }
  if (nested->ticks != 1) return;
  HWND focus = GetFocus();
  PostMessageW(focus != nullptr ? focus : box, WM_KEYDOWN, nested->key, 1);
  PostMessageW(focus != nullptr ? focus : box, WM_KEYUP, nested->key, 0xC0000001);
  nested->pump->PumpOnce();
}

// Enter and Esc pressed in a message box while a nested wait pumps inside the box's own loop
// close it as they would without the wait: the dialog keys go to the box, not to the main window.
TEST(DispatchWithDialogKeys, EnterAndEscReachAMessageBoxWhileANestedWaitPumps) {
  HWND main = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0,
                              200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(main, nullptr);
  WindowsEventPump pump;
  pump.SetDialogWindow(main);
  for (const auto& [key, expected] : {std::pair{VK_RETURN, IDOK}, std::pair{VK_ESCAPE, IDCANCEL}}) {
    NestedWait nested{&pump, static_cast<WPARAM>(key)};
    SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&nested));
    ASSERT_NE(SetTimer(main, 1, 50, OnTick), 0u);
    const int answer = MessageBoxW(main, L"press a key", kBoxCaption, MB_OKCANCEL);
    KillTimer(main, 1);
    EXPECT_EQ(answer, expected) << "key " << key;
  }
  DestroyWindow(main);
}

}  // namespace
}  // namespace kalvane
