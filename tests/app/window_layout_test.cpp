#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalvane {
namespace {

TEST(WindowLayout, TwipsBecomePixelsAtTheWindowsDpi) {
  // 15 twips a pixel at 96 DPI, 10 at 144.
  EXPECT_EQ(ToPixels(kClientTwips, 96), (PixelRect{0, 0, 275, 133}));
  EXPECT_EQ(ToPixels(kClientTwips, 144), (PixelRect{0, 0, 413, 200}));  // 412.5 and 199.5 round up
  EXPECT_EQ(ToPixels({1080, 480, 2295, 270}, 96), (PixelRect{72, 32, 153, 18}));
  EXPECT_EQ(ToPixels({360, 120, 1455, 255}, 120), (PixelRect{30, 10, 121, 21}));
  EXPECT_EQ(TwipsToPixels(-120, 96), -8);
  // Focus order of the controls that take it.
  std::vector<int> order;
  for (const ControlLayout& control : kControls) {
    if (control.kind != ControlKind::kLabel) order.push_back(control.id);
  }
  EXPECT_EQ(order, (std::vector<int>{kText1, kText2, kCommand1, kCommand3, kCheck1}));
}

}  // namespace
}  // namespace kalvane
