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

enum class ControlKind { kCheckBox, kLabel, kTextBox, kPasswordBox, kButton };

struct ControlLayout {
  ControlId id;
  ControlKind kind;
  std::u16string_view caption;
  TwipsRect twips;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr TwipsRect kClientTwips{0, 0, 4125, 1995};
inline constexpr std::u16string_view kWindowCaption = u"Kalvane";

// The controls, created in this order, which is also the Tab order of the ones that take focus:
// domain, password, web page, Save, account updating (labels take none).
inline constexpr std::array<ControlLayout, 7> kControls{{
    {kDomainLabel, ControlKind::kLabel, u"域名：", {240, 480, 855, 255}},
    {kDomainEdit, ControlKind::kTextBox, u"", {1080, 480, 2295, 270}},
    {kPasswordLabel, ControlKind::kLabel, u"密码：", {240, 960, 855, 255}},
    {kPasswordEdit, ControlKind::kPasswordBox, u"", {1080, 960, 2295, 270}},
    {kWebPageButton, ControlKind::kButton, u"官网", {1320, 1560, 1215, 255}},
    {kSaveButton, ControlKind::kButton, u"保存", {2640, 1560, 1215, 255}},
    {kUpdatingCheck, ControlKind::kCheckBox, u"账号更新", {360, 120, 1455, 255}},
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
