#pragma once

// The names by which another start of the program finds the running one: the main window's class
// and the message that asks it to come to the front.

namespace kalvane {

inline constexpr wchar_t kMainWindowClass[] = L"KalvaneMainWindow";
// Posted by a second start of the program: come to the front, out of the tray if need be.
inline constexpr wchar_t kActivateMessageName[] = L"Kalvane.Activate";

}  // namespace kalvane
