#pragma once

#include <array>
#include <string_view>

namespace kalvane {

// Control identifiers of the main window. The controls keep their kind and number as names (and
// their values, which the end-to-end tests address them by); each one's role is beside it.
enum ControlId : int {
  kCheck1 = 1001,    // "账号更新": account updating on or off
  kText1 = 1002,     // the domain name
  kText2 = 1003,     // the password (or the digest loaded from abc.txt)
  kCommand1 = 1004,  // "官网": opens the maker's web page
  kCommand3 = 1005,  // "保存": Save, which stores the account and starts an update
  kLabel1 = 1006,    // "域名：", the domain box's caption
  kLabel2 = 1007,    // "密码：", the password box's caption
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

// The controls in focus order for the ones that take focus: Text1, Text2, Command1, Command3,
// Check1 (labels take none).
inline constexpr std::array<ControlLayout, 7> kControls{{
    {kLabel1, ControlKind::kLabel, u"域名：", {240, 480, 855, 255}},
    {kText1, ControlKind::kTextBox, u"", {1080, 480, 2295, 270}},
    {kLabel2, ControlKind::kLabel, u"密码：", {240, 960, 855, 255}},
    {kText2, ControlKind::kPasswordBox, u"", {1080, 960, 2295, 270}},
    {kCommand1, ControlKind::kButton, u"官网", {1320, 1560, 1215, 255}},
    {kCommand3, ControlKind::kButton, u"保存", {2640, 1560, 1215, 255}},
    {kCheck1, ControlKind::kCheckBox, u"账号更新", {360, 120, 1455, 255}},
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
