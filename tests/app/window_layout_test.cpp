#include "app/window_layout.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

TEST(WindowLayout, TwipsBecomePixelsAtTheWindowsDpi) {
  // 15 twips a pixel at 96 DPI, 10 at 144.
  EXPECT_EQ(ToPixels(kClientTwips, 96), (PixelRect{0, 0, 275, 133}));
  EXPECT_EQ(ToPixels(kClientTwips, 144), (PixelRect{0, 0, 413, 200}));  // 412.5 and 199.5 round up
  EXPECT_EQ(ToPixels({1080, 480, 2295, 270}, 96), (PixelRect{72, 32, 153, 18}));
  EXPECT_EQ(ToPixels({360, 120, 1455, 255}, 120), (PixelRect{30, 10, 121, 21}));
  EXPECT_EQ(TwipsToPixels(-120, 96), -8);
}

}  // namespace
}  // namespace kalvane
