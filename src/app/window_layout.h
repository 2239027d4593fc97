#pragma once

#include <array>
#include <string_view>

namespace kalvane {

// Control identifiers of the main window, as WM_COMMAND and GetDlgItem see them. The numbers never
// change, so that a program that drives the window (an automation tool) finds the same controls in
// every version.
enum ControlId : int {
  kUpdatingCheck = 1001,  // "账号更新": account updating on or off
  kDomainEdit = 1002,     // the domain name
  kPasswordEdit = 1003,   // the password (or the digest loaded from abc.txt)
  kWebPageButton = 1004,  // "官网": opens the maker's web page
  kSaveButton = 1005,     // "保存": stores the account and starts an update
  kDomainLabel = 1006,    // "域名：", the domain box's caption
  kPasswordLabel = 1007,  // "密码：", the password box's caption
};

struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

struct PixelRect {
  int left;
  int top;
  int width;
  int height;
  bool operator==(const PixelRect&) const = default;
};

// Where a control of the window lies; the controls themselves are made from the window's control
// table (window_controls-win32.cpp).
struct ControlPlace {
  ControlId id;
  TwipsRect twips;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr TwipsRect kClientTwips{0, 0, 4125, 1995};
inline constexpr std::u16string_view kWindowCaption = u"Kalvane";

inline constexpr std::array<ControlPlace, 7> kControlPlaces{{
    {kDomainLabel, {240, 480, 855, 255}},
    {kDomainEdit, {1080, 480, 2295, 270}},
    {kPasswordLabel, {240, 960, 855, 255}},
    {kPasswordEdit, {1080, 960, 2295, 270}},
    {kWebPageButton, {1320, 1560, 1215, 255}},
    {kSaveButton, {2640, 1560, 1215, 255}},
    {kUpdatingCheck, {360, 120, 1455, 255}},
}};

// Twips to pixels at `dpi`, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                      : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

constexpr PixelRect ToPixels(const TwipsRect& twips, int dpi) {
  return {TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
          TwipsToPixels(twips.width, dpi), TwipsToPixels(twips.height, dpi)};
}

}  // namespace kalvane
